#pragma once

#include "invoice/InvoiceRecord.h"

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

    InvoiceRecord& record() { return m_record; }
    const QString& appDir() const { return m_appDir; }

    // How the window shows its modal windows (about, administration). Tests
    // replace it; by default the window runs the dialog's own loop.
    using ModalRunner = std::function<void(QDialog&)>;
    void setModalRunner(ModalRunner runner);

    static const QString OpenFilters;
    static const QString ImportFilter;
    static const QString UnsignedFilter;
    static const QString SaveFilter;

    // Event handlers.
    void FormShow();
    bool FormKeyPress(QWidget* target);
    void AdvSmoothButton2Click(); // "Capturar Datos"
    void Button2Click();          // "Generar Factura"
    void Button4Click();          // "Firmar Factura"
    void VALIDARClick();          // "Validar"
    void Button5Click();          // "Contacto"
    void AdvSmoothButton4Click(); // quit
    void ComboBox1CloseUp();
    void ComboBox1Exit();
    void Edit17Enter();
    void CheckBox1MouseUp(Qt::MouseButton button);
    void administrationTicked(InvoiceRecord& record) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildButtonBar();
    QWidget* buildHiddenFields();
    void setUpTabOrder();
    void launchAutoFirma(const QString& input);
    void takeWithholdingRate();
    void runModal(QDialog& dialog);

    QString m_appDir;
    InvoiceRecord m_record;
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
