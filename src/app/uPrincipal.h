#pragma once

#include "pdf/PdfRenderer.h"
#include "session/InvoiceSession.h"

#include <QMainWindow>
#include <functional>

class LinesGrid;
class PartyPanel;
class PaymentPanel;
class QDialog;
class RecordBinding;
class TotalsPanel;

// The main window: the one invoice being prepared, and the button bar that
// imports it, writes its document, signs it and opens the validation page.
// The window only wires controls to the invoice record; the record and the
// routines it calls do the work.
class TForm2 : public QMainWindow, public AdministrationTickHandler {
    Q_OBJECT
public:
    explicit TForm2(const QString& appDir, QWidget* parent = nullptr);
    ~TForm2() override;

    InvoiceSession& session() { return m_session; }
    InvoiceRecord& record() { return m_record; }
    const QString& appDir() const { return m_session.appDir(); }

    // How the window shows its modal windows (about, administration). Tests
    // replace it; by default the window runs the dialog's own loop.
    using ModalRunner = std::function<void(QDialog&)>;
    void setModalRunner(ModalRunner runner);

    static const QString OpenFilters;
    static const QString ImportFilter;
    static const QString UnsignedFilter;
    static const QString SaveFilter;
    static const QString FacturaeFilters;

    // Event handlers, each asking through Prompts, calling the session and
    // showing what comes back.
    void FormShow();                    // starts a fresh invoice with the issuer from Registro.Ini
    bool FormKeyPress(QWidget* target); // Enter moves on like Tab (outside the grid)
    void AdvSmoothButton2Click();       // "Capturar Datos": imports an invoice file
    void Button2Click();                // "Generar Factura": writes the document
    void Button4Click();                // "Firmar Factura": signs a chosen document
    void VALIDARClick();                // "Validar": opens the validation page
    void Button5Click();                // "Contacto": shows the about window
    void AdvSmoothButton4Click();       // asks, then quits
    void VerImprimirClick();            // "Ver / Imprimir": the invoice's readable copy
    void AbrirFacturaXmlClick();        // "Abrir factura XML…": any Facturae file's copy
    void ComboBox1CloseUp();            // recalculates the totals with the chosen rate
    void ComboBox1Exit();               // an empty rate becomes "0"
    void Edit17Enter();                 // works the IBAN out from the account boxes
    void CheckBox1MouseUp(Qt::MouseButton button);             // right button: shows the centres
    void administrationTicked(InvoiceRecord& record) override; // asks for the centres

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildButtonBar();
    QWidget* buildHiddenFields();
    void buildMenu();
    void showCopy(const QByteArray& document, const QString& source);
    void setUpTabOrder();
    void launchAutoFirma(const QString& input);
    void takeWithholdingRate();
    void runModal(QDialog& dialog);

    InvoiceSession m_session;
    PdfRenderer m_pdfRenderer{m_session.appDir()};
    InvoiceRecord& m_record = m_session.record(); // the session's record, named for short
    PartyPanel* m_issuer = nullptr;
    PartyPanel* m_customer = nullptr;
    PaymentPanel* m_payment = nullptr;
    TotalsPanel* m_totals = nullptr;
    LinesGrid* m_grid = nullptr;
    QWidget* m_fileReference = nullptr;
    QWidget* m_buttonBar = nullptr;
    RecordBinding* m_binding = nullptr;
    ModalRunner m_modalRunner;
    bool m_shown = false;
};
