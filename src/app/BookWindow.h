#pragma once

#include "book/BookRows.h"
#include "invoice/Correction.h"
#include "ledger/RecordLedger.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class BookDatabase;
class BookTableModel;
class InvoiceSession;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

// "Libro de facturas" (menu Factura, Ctrl+B): the invoices issued, found by
// number, customer or tax id, by issue dates and by series, sorted by any
// column, with the totals of what is listed. From the chosen invoice: its
// readable copy, its stored document saved to a file, and (once wired) a new
// invoice made from it. An absent or unusable book is said so in place of
// the list.
class BookWindow : public QDialog {
    Q_OBJECT
public:
    // The book of the session's folder (that of Registro.Ini).
    explicit BookWindow(InvoiceSession& session, QWidget* parent = nullptr);
    ~BookWindow() override;

    // How the readable copy is shown; by default its own loop.
    using ModalRunner = std::function<void(QDialog&)>;
    void setModalRunner(ModalRunner runner) { m_modalRunner = std::move(runner); }

    // What "Abrir como nueva" does with the chosen invoice and its stored
    // value; the window then closes. Without one the button stays off.
    using OpenAsNew = std::function<void(const BookEntry& entry, const QString& value)>;
    void setOpenAsNew(OpenAsNew handler);
    // What "Rectificar…" (Ctrl+R) does with the chosen invoice, its stored
    // value and the corrective's description; the window then closes.
    // Without one the button stays off.
    using Rectify = std::function<void(const BookEntry& entry, const QString& value,
                                       const Correction& correction)>;
    void setRectify(Rectify handler);

    BookTableModel& model() const { return *m_model; }

    // The clock and producer Anular makes its record with; the system's and
    // the built-in data by default.
    void setLedgerOptions(RecordLedger::Options options) { m_ledgerOptions = std::move(options); }

    void VerImprimirClick();      // the readable copy of the chosen invoice
    void GuardarDocumentoClick(); // its stored XML or XSIG, to a file
    void AbrirComoNuevaClick();   // a new invoice from it
    void AnularClick();           // cancels it with its billing record, after asking
    void RectificarClick();       // a corrective invoice of it

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void applyFilter();
    void showAnswer();
    void showSeries();
    void showProblem(const QString& message);
    void updateActions();
    std::optional<BookEntry> chosen() const;
    // An issued invoice not cancelled yet, in its current version.
    static bool mayCancel(const BookEntry& entry);
    // The invoice's stored value; none, said so, for one the book took from
    // its document alone (purpose: what it was wanted for).
    std::optional<QString> storedValue(const BookEntry& entry, const QString& purpose);
    BookDatabase& book();

    InvoiceSession& m_session;
    BookTableModel* m_model = nullptr;
    std::unique_ptr<BookDatabase> m_book; // the window's own connection, for documents
    QLineEdit* m_search = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QComboBox* m_series = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_problem = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_view = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_openAsNew = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_rectify = nullptr;
    bool m_cancelOffered = false; // a records mode is chosen
    RecordLedger::Options m_ledgerOptions;
    QString m_done; // what the last action did, kept over the next answer
    QTimer* m_typing = nullptr;
    ModalRunner m_modalRunner;
    OpenAsNew m_openAsNewHandler;
    Rectify m_rectifyHandler;
};
