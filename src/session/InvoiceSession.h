#pragma once

#include "facturae/CheckFinding.h"
#include "invoice/AdministrationCentres.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/UnsavedChanges.h"
#include "session/InvoiceFiles.h"
#include "session/InvoiceIssuing.h"
#include "session/RunCredentials.h"
#include "session/TaxQr.h"
#include "settings/AutoFirmaSettings.h"
#include "settings/FirmaSettings.h"
#include "signing/DocumentSigning.h"
#include "storage/InvoiceImport.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class DocumentRenderer;
class SigningCertificate;

// The steps of one invoice, in one place for the main window and the
// command-line tool: the fresh start, the import, "Generar Factura", signing
// and the administrative centres. The session asks nothing: where a person
// must choose, the caller passes the choice (a file chooser that returns an
// empty text when cancelled) and shows what comes back.
class InvoiceSession {
public:
    explicit InvoiceSession(QString appDir);

    InvoiceRecord& record() { return m_record; }
    const InvoiceRecord& record() const { return m_record; }
    const QString& appDir() const { return m_appDir; }

    // The files the invoice belongs to, as the operations below leave them.
    const InvoiceFiles& files() const { return m_files; }
    // Whether the invoice changed since it was last started, read, kept as a
    // draft or issued. Loading a whole invoice is not a change; every
    // operation that reads or keeps the invoice marks it saved.
    UnsavedChanges& changes() { return m_changes; }
    const UnsavedChanges& changes() const { return m_changes; }

    // Asks for a file; an empty text means the person cancelled.
    using FileChooser = std::function<QString()>;

    // The state right after the window is shown: no import running, an empty
    // lines table open, both dates today, the issuer and the usual
    // withholding rate from Registro.Ini when it exists. Throws AppError when
    // the stored usual rate is not one, after the rest is done (the rate is
    // then 0).
    void start(const QDate& today = QDate::currentDate());
    // Why Registro.Ini could not be read at the last start, if it could not:
    // it then reads as empty and is never written (what the program
    // remembers in it is kept for the run instead).
    const QString& settingsProblem() const { return m_settingsProblem; }

    // An import takes the file's IRPF, else the usual rate of Registro.Ini.
    // "Capturar Datos": the fixed Importa/Factura.Ini when it exists (no file
    // name kept), otherwise the file chooseFile gives. Returns false when the
    // choice was cancelled: nothing changed. Throws AppError when the file
    // cannot be imported; the invoice is then as it was.
    bool importInvoice(const FileChooser& chooseFile);
    // Whether the last import was the fixed file and ticked "Admón. del
    // estado." that was not ticked: the window then asks for the centres.
    bool importAsksForCentres() const { return m_importAsksForCentres; }
    // Imports path as a file chosen by a person (its name and folder are kept
    // for the document's name).
    void importChosenFile(const QString& path);

    // The reasons of exempt and not-subject lines and the cause of a line at
    // 0 %, as Mis datos last saved them. Every import and document reads them
    // again; the window calls this when Mis datos closes.
    void loadTreatmentSettings();
    // The Facturae version of the documents written, over [FACTURAE] VERSION
    // of Registro.Ini (read for each document); none: the file's.
    void setFacturaeVersion(std::optional<FacturaeVersion> version) { m_facturaeVersion = version; }

    // "Generar Factura". The bank entity must be filled; the document goes
    // beside the import file when there is one, otherwise where chooseTarget
    // says. A document saved to a chosen file is signed next when signing
    // goes through a certificate file, or through AutoFirma with its folder
    // set in Registro.Ini (its settings are then in the record).
    // Every document written is issued into the invoice book first (see
    // InvoiceIssuing); KeptInBook: issued and kept, but the file could not be
    // written (problem says why; the book's copy can be saved elsewhere).
    enum class GenerateStatus { Written, MissingBankData, Cancelled, KeptInBook };
    struct Generated {
        GenerateStatus status = GenerateStatus::Cancelled;
        QString path;                  // the document written
        bool signNext = false;         // start AutoFirma on path (never on a document with errors)
        CheckFindings findings;        // what the check said about the document
        std::optional<BookEntry> kept; // the invoice in the book
        QString notKept;               // why the book could not keep it, when it could not
        QString problem;               // KeptInBook: why the file was not written
    };
    // How issuing into the book asks and what it uses (the replace question,
    // the billing record's mapping, the book's and records' clocks).
    InvoiceIssuing::Options& issuing() { return m_issuing; }
    // The certificate opened for the run: issuing signs each record with it
    // in the mode without sending (issuing().ledger.signer is its signer).
    RunCredentials& credentials() { return m_credentials; }

    // A chosen file that cannot take the document (its own import file, a
    // folder, a pipe or a device) is explained through refuse, and a new
    // choice is asked for until one is fine or the person cancels.
    using Explainer = std::function<void(const QString&)>;
    // With review, the document about to be saved is checked first; when the
    // check finds anything, review sees it and returns whether to save (its
    // answer only counts when there are errors). Nothing is saved on false.
    using FindingsReview = std::function<bool(const CheckFindings&)>;
    // With replace, a document that already exists where the new one goes is
    // replaced only when replace says so; signedCopy is the signed file of
    // that name beside it (empty when there is none), which is never touched.
    // Declined, a chosen file is asked for again; beside the import file
    // nothing is saved.
    using ReplaceQuestion = std::function<bool(const QString& document, const QString& signedCopy)>;
    Generated generate(const FileChooser& chooseTarget, const Explainer& refuse = {},
                       const FindingsReview& review = {}, const ReplaceQuestion& replace = {});
    // The signed file ("F.XSIG" or "F.xsig") of a document beside it, or
    // empty when there is none.
    static QString signedCopyOf(const QString& document);
    // The tool's generate: the same checks and the same check of the
    // document, to target, or beside the import file when target is empty.
    // review sees the findings, if any, and says whether to save despite
    // errors (without review: save). Throws AppError (with the bank message
    // when the entity is missing). Returns where the document goes and what
    // the check found, Written or Cancelled.
    Generated generateTo(const QString& target, const FindingsReview& review = {});

    static const QString MissingBankDataMessage;
    bool hasBankData() const;
    // Where "Generar Factura" saves without asking: RutaDelFichero +
    // NombreFichero + ".XML", or empty when both are empty and a person chooses.
    QString saveTargetBesideImport() const;
    // Where the document of an import file chosen by a person goes.
    static QString documentBesideImport(const QString& importFile);
    // Why the document cannot be written to path, or empty when it can: the
    // file the invoice was imported from (also through a link or another
    // name for it), the program's settings files (Registro.Ini,
    // Concellos.Ini), a signed invoice's name (.XSIG) and anything but a
    // regular file are never replaced.
    QString targetProblem(const QString& path) const;
    // The same for a draft chosen in a dialog: never the import file shown
    // nor a settings file.
    QString draftTargetProblem(const QString& path) const;

    // The window's fresh invoice, at start and for "Nueva factura": start()
    // again from an empty record, in the user's own series with the number
    // after the last one used in it (Registro.Ini, NUMERACION), for the
    // person to change. The series is the one of the invoice left behind when
    // that was the user's own (its issuer's tax id is the one in "Mis
    // datos"), otherwise the one the user's own documents were written in last.
    void startNew(const QDate& today = QDate::currentDate());

    // "Abrir como nueva" from the book: value (an invoice as the book keeps
    // it, a draft's text) becomes the invoice on screen as a new one, dated
    // today (its due date as far after as before) with the next number of its
    // series. Throws AppError when it cannot be read; the invoice is then
    // a fresh one.
    void openAsNew(const QString& value, const QDate& today = QDate::currentDate());

    // Drafts: the whole invoice written as an import file, with the keys for
    // what a person adds on screen; importChosenFile() reads one back.
    // Throws AppError when the file cannot be written.
    void saveDraft(const QString& path);

    // Signing. loadSigningSettings() reads the AUTOFIRMA section of
    // Registro.Ini (autoFirmaSettings()) and tells whether a folder is set.
    // sign() composes the arguments for document, starts AutoFirma and
    // waits; it returns the start's error text, empty when it started.
    // sign() checks document first and starts nothing when the check finds
    // errors (or cannot read it): the returned text says so.
    bool loadSigningSettings();
    const AutoFirmaSettings& autoFirmaSettings() const { return m_autoFirma; }
    // Why the loaded settings must not start AutoFirma, or empty (see
    // AutoFirmaSettings::problem); sign() refuses them with this text.
    QString signingSettingsProblem() const;
    // Throws AppError, starting nothing, when the settings are not valid or
    // the signed copy would be the document itself.
    QString sign(const QString& document);
    // What sign() starts, for a caller that does not wait; its output is
    // files().signedOutput from then on.
    struct SigningJob {
        QString folder, program;
        QStringList arguments;
        QString output; // the signed file AutoFirma is to write
    };
    // checked: the findings of that document's check when the caller has
    // already run it (and shown them); otherwise the document is checked here.
    SigningJob prepareSigning(const QString& document, const CheckFindings* checked = nullptr);

    // The check of the document "Generar Factura" would write now. The check
    // itself (a long invoice's takes a moment) goes through the long-work
    // runner when there is one.
    CheckFindings checkInvoice();
    // Runs work that may take a moment: the window runs it beside itself
    // with a progress box showing label; without a runner it runs in line.
    using LongWork = std::function<void(const QString& label, const std::function<void()>& work)>;
    void setLongWork(LongWork run) { m_longWork = std::move(run); }
    // The check of a document file. Throws AppError when it cannot be read.
    static CheckFindings checkDocumentFile(const QString& path);
    // How invoices are signed: [FIRMA] of Registro.Ini (AutoFirma when unset).
    FirmaSettings signingRoute() const;
    // Signing with a certificate file. openCertificate() wipes the password
    // and throws AppError for a wrong password, a file without its key, an
    // unreadable file. issuerMismatch() is a warning text when the document's
    // issuer tax id is not the certificate's (empty otherwise).
    // signWithCertificate() reads the document once and checks what it read:
    // checked hears the findings and the issuer warning first; a document with
    // errors (or that cannot be read) is refused, as sign() refuses it, and so
    // are a certificate not valid now and a document already signed. It
    // signs what it checked, writes the signed copy beside the document
    // (".XSIG") or to output, checks it and returns where it is and what the
    // check of the signed copy found; nothing is written when it throws, nor
    // over the document, the certificate's file or otherInputs.
    static SigningCertificate openCertificate(const QString& path, QByteArray& password);
    QString issuerMismatch(const QString& document, const SigningCertificate& certificate) const;
    using CheckHeard =
        std::function<void(const CheckFindings& findings, const QString& issuerMismatch)>;
    DocumentSigning::SignResult signWithCertificate(const QString& document,
                                                    const SigningCertificate& certificate,
                                                    const QString& output = {},
                                                    const QStringList& otherInputs = {},
                                                    const CheckHeard& checked = {});
    // After document was signed into signedFile (by either route): the
    // signed copy is kept in the book when the book holds document
    // ("firmada"). A warning when the book could not keep it, else empty.
    // signWithCertificate() does it itself, its warning among the report's.
    QString keepSignedCopy(const QString& document, const QString& signedFile);

    // "Comprobar firma": what the check of a signed file finds.
    SignatureReport checkSignature(const QString& signedDocument) const;

    // The three administrative centres the record carries.
    AdministrationCentres centres() const;
    void setCentres(const AdministrationCentres& centres);

    // Output that needs a drawing library, provided by whoever can draw.
    void setRenderer(DocumentRenderer* renderer) { m_renderer = renderer; }
    DocumentRenderer* renderer() const { return m_renderer; }

    // The readable copy. currentDocument() is the Facturae document of the
    // invoice as it stands, in memory, as "Generar Factura" would write it
    // (the bank data are not required just to look at it). savePdf() draws a
    // document, this one or any file's, into a PDF at path through the
    // renderer, with qr as its tax QR (by default, taxQrOf(document)); path
    // is never one of sources, the files the document was read from (also
    // through a link or another name). Throws AppError, also when no renderer
    // is set.
    QByteArray currentDocument();
    // The document the copy of the invoice on screen shows: the one issued,
    // tax QR address included, while the invoice has not changed since it
    // was issued; otherwise currentDocument(), which has none.
    QByteArray shownDocument();
    // The tax QR and legend of a document this program issued with billing
    // records (its address made from a record of the book); none otherwise.
    TaxQr taxQrOf(const QByteArray& document) const;
    void savePdf(const QByteArray& document, const QString& path, const TaxQr& qr = {},
                 const QStringList& sources = {});

private:
    InvoiceImport::UsualRate usualRate() const;
    // What path is that no file the invoice writes may replace, or empty.
    QString protectedFileReason(const QString& path) const;
    // With review, checks the document about to be saved (kept in checked)
    // into result; false when it must not be saved.
    bool checkBeforeSave(Generated& result, QByteArray& checked, const FindingsReview& review);
    // Issues the document (checked, or written now) into the book, then
    // saves what the book holds to target.
    void issueAndSave(InvoiceIssuing& issuing, Generated& result, const QByteArray& checked,
                      const QString& target);
    void noteNumberUsed();
    // The invoice's issuer is the user of "Mis datos" (or "Mis datos" has no
    // tax id to tell).
    bool issuedByUser() const;
    // The check of a document written from the record, through the long-work
    // runner when there is one.
    CheckFindings checkDocument(const QByteArray& document);
    // Throws AppError when the check of the document file (checked, or run
    // now) finds errors or cannot read it: a document with errors is never
    // signed, by any route.
    static void refuseDocumentWithErrors(const QString& document, const CheckFindings* checked);
    // keepSignedCopy() on the bytes in hand: the unsigned document's digest
    // and the signed copy saved as signedFile.
    QString keepSignedBytes(const QString& unsignedDigest, const QByteArray& signedBytes,
                            const QString& signedFile);

    // The import of importInvoice(): the file read, or empty when cancelled.
    QString importFirstFile(const FileChooser& chooseFile);
    // Marks the invoice just read or kept as saved, with where its draft goes.
    void keptAt(const QString& draftPath);

    QString m_appDir;
    InvoiceRecord m_record;
    UnsavedChanges m_changes{m_record};
    InvoiceFiles m_files;
    // The settings AutoFirma is started with, as loadSigningSettings() read them.
    AutoFirmaSettings m_autoFirma{QString(), QString(), QStringLiteral("Sign -certgui"),
                                  QStringLiteral("-format FACTURAE")};
    bool m_importAsksForCentres = false;
    QString m_settingsProblem;
    DocumentRenderer* m_renderer = nullptr;
    LongWork m_longWork;
    RunCredentials m_credentials;
    InvoiceIssuing::Options m_issuing;
    // The last invoice issued: the document written from the screen and the
    // one the book keeps.
    QByteArray m_issuedFrom, m_issued;
    std::optional<FacturaeVersion> m_facturaeVersion;
};
