#pragma once

#include "app/InvoiceArea.h"
#include "app/UnsavedQuestion.h"
#include "pdf/PdfRenderer.h"
#include "session/InvoiceSession.h"
#include "settings/RegistroIni.h"

#include <QDate>
#include <QMainWindow>
#include <QUrl>
#include <functional>
#include <memory>

class AutoFirmaSigning;
class CustomerCompleter;
class FirstStartHint;
class IssueFlow;
class IssuerWatch;
class MainStatusBar;
class PendingEdit;
class QAction;
class QDialog;
class QMenu;
class QScrollArea;
class RecordBinding;
class RecordRun;
class UnsavedChanges;

// The main window: the one invoice being prepared, its menus and the button
// bar that imports it, keeps it as a draft, writes its document, signs it and
// opens the validation page. The window only wires controls to the invoice
// record; the record and the routines it calls do the work.
// The commands are one table in MainMenus.cpp; their handlers live by
// subject: MainWindowFiles.cpp (new, import, drafts, leaving the invoice),
// MainWindowDocument.cpp (generate, check, sign, validate) and
// MainWindowDialogs.cpp (the windows it opens); InvoiceArea lays out the
// panels, AutoFirmaSigning and IssuerWatch keep their own state.
class TForm2 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm2(const QString& appDir, QWidget* parent = nullptr);
    ~TForm2() override;

    InvoiceSession& session() { return m_session; }
    InvoiceRecord& record() { return m_record; }
    const QString& appDir() const { return m_session.appDir(); }

    // How the window shows its modal windows (about, administration,
    // settings). Tests replace it; by default the window runs the dialog's
    // own loop.
    using ModalRunner = std::function<void(QDialog&)>;
    void setModalRunner(ModalRunner runner);
    // How the window opens a web address; true when the system took it.
    using UrlOpener = std::function<bool(const QUrl&)>;
    void setUrlOpener(UrlOpener opener);

    // The menus of the menu bar, for adding actions.
    enum class Menu { Archivo, Factura, Configuracion, Ayuda };
    QMenu* menu(Menu which) const;

    static const QString OpenFilters;
    static const QString ImportFilter;
    static const QString UnsignedFilter;
    static const QString SaveFilter;
    static const QString DraftFilter;

    // Today's date for the notice that the law asks for billing records; the
    // system's by default. Setting it shows the notice again.
    using Today = std::function<QDate()>;
    void setToday(Today today);
    // The notice shown in the status bar until a records mode is chosen.
    QString recordNotice() const;

    // What the status bar says.
    QString statusText() const;
    bool hasUnsavedChanges() const;
    bool isSigning() const;
    static const QString FacturaeFilters;

    // Event handlers, each asking through Prompts, calling the session and
    // showing what comes back.
    void FormShow();                    // starts a fresh invoice with the issuer from Registro.Ini
    bool FormKeyPress(QWidget* target); // Enter moves on like Tab, or presses a focused button
    void AdvSmoothButton2Click();       // "Capturar Datos": imports an invoice file
    void Button2Click();                // "Generar Factura": writes the document
    void Button4Click();                // "Firmar Factura": signs a chosen document
    void VALIDARClick();                // "Validar": opens the validation page, shows its address
    void Button5Click();                // "Contacto" / "Acerca de": shows the about window
    void DeclaracionResponsableClick(); // "Declaración responsable": to read, print or save
    void checkInvoice();                // "Comprobar factura": the check of the invoice on screen
    void ComprobarFirmaClick();         // "Comprobar firma": checks a chosen signed document
    void AdvSmoothButton4Click();       // asks, then quits
    void newInvoice();                  // "Nueva factura": starts again, numbered after the last
    void openInvoiceFile();             // "Abrir…": a draft or an import file from the dialog
    void saveDraft();                   // "Guardar borrador": keeps the invoice as a draft
    void editIssuerSettings();          // "Mis datos"
    void editAdministrations();         // "Administraciones"
    void editSigningSettings();         // "Firma"
    void editRecordSettings();          // "Registro de facturación" settings
    void RegistroFacturacionClick();    // Ayuda > "Registro de facturación": the chain's state
    void VerImprimirClick();            // "Ver / Imprimir": the invoice's readable copy
    void AbrirFacturaXmlClick();        // "Abrir factura XML…": any Facturae file's copy
    void LibroFacturasClick();          // "Libro de facturas": the invoices issued
    // "Abrir como nueva" in the book: value as a new invoice, after the
    // question about unsaved changes.
    void openAsNew(const QString& value);
    void ComboBox1CloseUp();                       // recalculates the totals with the chosen rate
    void ComboBox1Exit();                          // an empty rate becomes "0"
    void Edit17Enter();                            // works the IBAN out from the account boxes
    void CheckBox1MouseUp(Qt::MouseButton button); // right button: shows the centres
    // Opens the administration window over the invoice; accepted, its
    // centres are the invoice's.
    void askForCentres();

    // What the person answers before the invoice on screen is replaced or
    // closed, and what then happens to a value still being typed: Save takes
    // it (a refused one stops the command) and keeps the draft; Discard drops
    // it and goes on; Cancel stops. True when the command may go on.
    enum class UnsavedAnswer { Save, Discard, Cancel };
    bool leaveInvoice(UnsavedAnswer answer);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectSession();
    void connectParties();
    void connectAccount();
    void connectRate();
    void showCopy(const QByteArray& document, const QString& source);
    // What "Guardar PDF" proposes for the copy of source (empty: the invoice).
    QString pdfProposal(const QString& source) const;
    void setUpTabOrder();
    void fitToScreen();
    bool mayReplaceDocument(const QString& document, const QString& signedCopy);
    void signByChosenRoute(const QString& input, const CheckFindings& findings);
    void runModal(QDialog& dialog);
    // Guardar / Descartar / Cancelar, asked when the invoice on screen would
    // be replaced or closed with changes (mayLeaveInvoice).
    bool mayLeaveInvoice(UnsavedQuestion::Next next);
    UnsavedAnswer askUnsaved(UnsavedQuestion::Next next);
    // Saves the draft, asking where the first time; false when cancelled.
    bool keepDraft();
    // Runs an import that returns the file read (empty when cancelled), with
    // what it means for unsaved changes, the draft's file and the status bar.
    void runImport(const std::function<QString()>& import);
    QString chooseImportFile();
    // The invoice's series and number as a file name with extension.
    QString proposedName(const QString& extension) const;
    void reportImport(const QString& path);
    void whileIssuerMayChange(const std::function<void()>& runWindow);
    void updateCaption();
    void updateRecordNotice();

    InvoiceSession m_session;
    PdfRenderer m_pdfRenderer{m_session.appDir()};
    InvoiceRecord& m_record = m_session.record(); // the session's record, named for short
    InvoiceArea m_area;
    QWidget* m_buttonBar = nullptr;
    QScrollArea* m_scroll = nullptr;
    MainStatusBar* m_status = nullptr;
    RecordRun* m_recordRun = nullptr; // the run's certificate, events and alarm
    FirstStartHint* m_firstStartHint = nullptr;
    RecordBinding* m_binding = nullptr;
    UnsavedChanges* m_changes = nullptr;
    std::unique_ptr<PendingEdit> m_pending;
    AutoFirmaSigning* m_autoFirma = nullptr;
    std::unique_ptr<IssuerWatch> m_issuerWatch;
    std::unique_ptr<IssueFlow> m_issueFlow;
    CustomerCompleter* m_customers = nullptr;
    QList<QAction*> m_actions;
    QMenu* m_menus[4] = {};
    ModalRunner m_modalRunner;
    UrlOpener m_urlOpener;
    Today m_today = [] { return QDate::currentDate(); };
    QString m_draftPath;    // where "Guardar borrador" writes without asking
    QString m_lastDocument; // the document written last, offered for signing
    bool m_shown = false;
};
