#include "session/InvoiceSession.h"

#include "book/DocumentDigest.h"
#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "common/FileIdentity.h"
#include "facturae/DocumentCheck.h"
#include "facturae/FacturaeWriter.h"
#include "facturae/TaxIdCheck.h"
#include "facturae/XmlDocument.h"
#include "session/DocumentRenderer.h"
#include "session/IssuedTaxQr.h"
#include "settings/AppFiles.h"
#include "settings/AutoFirmaSettings.h"
#include "settings/InvoiceNumbering.h"
#include "settings/RegistroIni.h"
#include "signing/AutoFirmaLaunch.h"
#include "signing/SigningCertificate.h"
#include "storage/DraftFile.h"
#include "storage/IniFile.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <exception>

namespace {

QString signedCopyNotKept(const QString& signedFile, const QString& reason) {
    return QStringLiteral("La factura está firmada en %1, pero su copia firmada no se ha "
                          "guardado en el libro de facturas: %2")
        .arg(QDir::toNativeSeparators(signedFile), reason);
}

AppError documentWithErrors(const QString& document) {
    return AppError(QStringLiteral("La factura «%1» tiene errores y no se firma")
                        .arg(QDir::toNativeSeparators(document)));
}

} // namespace

const QString InvoiceSession::MissingBankDataMessage =
    QStringLiteral("¡¡¡ Debe cumplimentar los datos bancarios !!!");

InvoiceSession::InvoiceSession(QString appDir) : m_appDir(std::move(appDir)) {
    m_issuing.recordDraft = InvoiceIssuing::recordFromDocument(m_appDir);
    m_issuing.ledger.signer = m_credentials.signer();
}

void InvoiceSession::start(const QDate& today) {
    m_record.setImportando(false);
    m_record.lines().open();
    m_record.setIssueDate(today);
    m_record.setDueDate(today);
    m_record.setText(RecordField::WithholdingRate, QStringLiteral("0")); // if the usual one is none
    m_settingsProblem = RegistroIni::loadIssuerAtStart(m_record, m_appDir);
    m_record.setText(RecordField::WithholdingRate, RegistroIni::usualWithholdingRate(m_appDir));
}

void InvoiceSession::startNew(const QDate& today) {
    // However it ends, the invoice on screen is a fresh one.
    const UnsavedChanges::Pause pause(m_changes);
    struct Fresh {
        InvoiceSession& session;
        ~Fresh() { session.keptAt(QString()); }
    } fresh{*this};
    QString series = m_record.text(RecordField::InvoiceSeries);
    QString number = m_record.text(RecordField::InvoiceNumber);
    // Nothing left behind (the program's start), another issuer's invoice, or
    // a corrective, whose series is not the one of ordinary invoices.
    if ((series.isEmpty() && number.isEmpty()) || !issuedByUser() || m_record.correction()) {
        series = InvoiceNumbering::ownSeries(m_appDir);
        number.clear();
    }
    m_record.reset();
    // A stored usual rate that is none is said once the number is proposed.
    std::exception_ptr badRate;
    try {
        start(today);
    } catch (const AppError&) {
        badRate = std::current_exception();
    }
    m_record.setText(RecordField::InvoiceSeries, series);
    m_record.setText(RecordField::InvoiceNumber,
                     InvoiceIssuing::nextNumber(m_appDir, m_record.text(RecordField::IssuerTaxId),
                                                series, number, m_issuing.book));
    if (badRate)
        std::rethrow_exception(badRate);
}

void InvoiceSession::openAsNew(const QString& value, const QDate& today) {
    const UnsavedChanges::Pause pause(m_changes);
    // The stored value is a draft's text; it is read as a draft is.
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("orvane-nueva-XXXXXX.ini")));
    if (!file.open() || file.write(value.toUtf8()) != value.toUtf8().size() || !file.flush())
        throw AppError(
            QStringLiteral("No se puede preparar la factura nueva: %1").arg(file.errorString()));
    m_record.reset();
    start(today);
    InvoiceImport::importFile(m_record, file.fileName(), true, usualRate());
    // A new invoice: no file it came from, today's date, the next number.
    m_files.importedFrom.clear();
    m_record.setImportFile(QString(), QString());
    const QDate issued = m_record.issueDate();
    const QDate due = m_record.dueDate();
    m_record.setIssueDate(today);
    m_record.setDueDate(issued.isValid() && due.isValid() ? today.addDays(issued.daysTo(due))
                                                          : today);
    const QString series = m_record.text(RecordField::InvoiceSeries);
    m_record.setText(RecordField::InvoiceNumber,
                     InvoiceIssuing::nextNumber(m_appDir, m_record.text(RecordField::IssuerTaxId),
                                                series, m_record.text(RecordField::InvoiceNumber),
                                                m_issuing.book));
    keptAt(QString());
}

void InvoiceSession::saveDraft(const QString& path) {
    DraftFile::save(m_record, path);
    keptAt(path);
}

void InvoiceSession::keptAt(const QString& draftPath) {
    m_files.draftPath = draftPath;
    m_changes.markSaved();
}

bool InvoiceSession::importInvoice(const FileChooser& chooseFile) {
    QString path;
    {
        // A refused or cancelled import changes nothing (the file is read
        // whole before anything is applied), so the modified state stays as
        // it was.
        const UnsavedChanges::Pause pause(m_changes);
        path = importFirstFile(chooseFile);
    }
    if (path.isEmpty())
        return false;
    // A file a person chose is where the draft is kept; the fixed file is not.
    keptAt(m_record.nombreFichero().isEmpty() && m_record.rutaDelFichero().isEmpty() ? QString()
                                                                                     : path);
    return true;
}

QString InvoiceSession::importFirstFile(const FileChooser& chooseFile) {
    // While the dialog is open the record knows an import is running, as the
    // tick of the administration box must. The lines stay: cancelling the
    // dialog loses nothing, and an import replaces them only once the whole
    // file has been read.
    m_record.setImportando(true);
    m_importAsksForCentres = false;
    loadTreatmentSettings();
    const QString fixed = AppFiles::fixedImportFile(m_appDir);
    if (QFileInfo::exists(fixed)) {
        m_files.importedFrom = fixed;
        m_importAsksForCentres = InvoiceImport::importFile(m_record, fixed, false, usualRate());
        return fixed;
    }
    const QString path = chooseFile ? chooseFile() : QString();
    if (path.isEmpty()) {
        m_record.setImportando(false);
        return {};
    }
    m_files.importedFrom = path;
    InvoiceImport::importFile(m_record, path, true, usualRate());
    return path;
}

void InvoiceSession::importChosenFile(const QString& path) {
    {
        const UnsavedChanges::Pause pause(m_changes);
        m_importAsksForCentres = false;
        loadTreatmentSettings();
        m_files.importedFrom = path;
        InvoiceImport::importFile(m_record, path, true, usualRate());
    }
    keptAt(path);
}

void InvoiceSession::loadTreatmentSettings() {
    RegistroIni::loadTreatmentSettings(m_record, m_appDir);
}

// Read when a file needs it, so a rate just saved in the issuer-data window
// counts at once.
InvoiceImport::UsualRate InvoiceSession::usualRate() const {
    return [appDir = m_appDir] { return RegistroIni::usualWithholdingRate(appDir); };
}

bool InvoiceSession::hasBankData() const {
    return !m_record.text(RecordField::BankEntity).isEmpty();
}

QString InvoiceSession::saveTargetBesideImport() const {
    if (m_record.nombreFichero().isEmpty() && m_record.rutaDelFichero().isEmpty())
        return {};
    return m_record.rutaDelFichero() + m_record.nombreFichero() + QStringLiteral(".XML");
}

QString InvoiceSession::documentBesideImport(const QString& importFile) {
    return InvoiceImport::folderOf(importFile) + InvoiceImport::baseNameOf(importFile) +
           QStringLiteral(".XML");
}

QString InvoiceSession::protectedFileReason(const QString& path) const {
    if (FileIdentity::sameFile(path, m_files.importedFrom))
        return QStringLiteral("es el fichero de importación de esta factura");
    if (const QString name = AppFiles::settingsFileAt(m_appDir, path); !name.isEmpty())
        return QStringLiteral("es %1, la configuración del programa").arg(name);
    return {};
}

QString InvoiceSession::targetProblem(const QString& path) const {
    const QFileInfo target(path);
    QString reason = protectedFileReason(path);
    if (reason.isEmpty() &&
        target.suffix().compare(QStringLiteral("xsig"), Qt::CaseInsensitive) == 0)
        reason = QStringLiteral("ese nombre es el de una factura firmada (.XSIG)");
    else if (reason.isEmpty() && target.exists() && target.isDir())
        reason = QStringLiteral("es una carpeta, no un fichero");
    else if (reason.isEmpty() && target.exists() && !target.isFile())
        reason = QStringLiteral("no es un fichero normal");
    if (reason.isEmpty())
        return {};
    return QStringLiteral("No se puede guardar la factura en %1: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString InvoiceSession::signedCopyOf(const QString& document) {
    const QString upper = AutoFirmaLaunch::signedFileName(document);
    if (QFileInfo::exists(upper))
        return upper;
    const QString lower = upper.left(upper.size() - 4) + QStringLiteral("xsig");
    return QFileInfo::exists(lower) ? lower : QString();
}

QString InvoiceSession::draftTargetProblem(const QString& path) const {
    const QString reason = protectedFileReason(path);
    if (reason.isEmpty())
        return {};
    return QStringLiteral("No se puede guardar el borrador en %1: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

InvoiceSession::Generated InvoiceSession::generate(const FileChooser& chooseTarget,
                                                   const Explainer& refuse,
                                                   const FindingsReview& review,
                                                   const ReplaceQuestion& replace) {
    Generated result;
    if (!hasBankData()) {
        result.status = GenerateStatus::MissingBankData;
        return result;
    }
    // The treatments' reasons as the issuer-data window last saved them.
    loadTreatmentSettings();
    InvoiceIssuing issuing(m_record, m_appDir, m_issuing);
    QByteArray checked;
    auto reviewed = [&] {
        issuing.numberBlankInvoice();
        return checkBeforeSave(result, checked, review);
    };
    auto save = [&](const QString& target) { issueAndSave(issuing, result, checked, target); };
    // An earlier document is replaced only when the person says so.
    auto mayWrite = [&](const QString& target) {
        return !replace || !QFileInfo::exists(target) || replace(target, signedCopyOf(target));
    };
    const QString besideImport = saveTargetBesideImport();
    QString problem = besideImport.isEmpty() ? QString() : targetProblem(besideImport);
    if (!besideImport.isEmpty() && problem.isEmpty()) {
        if (mayWrite(besideImport) && reviewed())
            save(besideImport);
        return result;
    }
    QString path;
    for (;;) {
        if (!problem.isEmpty()) {
            if (!refuse)
                throw AppError(problem);
            refuse(problem + QStringLiteral(". Elija otro nombre para la factura."));
        }
        path = chooseTarget ? chooseTarget() : QString();
        if (path.isEmpty())
            return result;
        problem = targetProblem(path);
        if (problem.isEmpty() && mayWrite(path))
            break;
    }
    if (!reviewed())
        return result;
    save(path);
    if (result.status != GenerateStatus::Written)
        return result;
    // A folder of blanks counts as none here: the document is not signed.
    loadSigningSettings();
    result.signNext = (signingRoute().method == FirmaSettings::Method::Certificate ||
                       !m_autoFirma.folder.trimmed().isEmpty()) &&
                      !hasErrors(result.findings);
    return result;
}

// Checked once the target is known, right before the save; the document the
// check read is the one saved.
bool InvoiceSession::checkBeforeSave(Generated& result, QByteArray& checked,
                                     const FindingsReview& review) {
    if (!review)
        return true;
    checked = currentDocument();
    result.findings = checkDocument(checked);
    if (result.findings.isEmpty())
        return true;
    const bool goOn = review(result.findings);
    return goOn || !hasErrors(result.findings);
}

InvoiceSession::Generated InvoiceSession::generateTo(const QString& target,
                                                     const FindingsReview& review) {
    if (!hasBankData())
        throw AppError(MissingBankDataMessage);
    const QString path = target.isEmpty() ? saveTargetBesideImport() : target;
    if (path.isEmpty())
        throw AppError(QStringLiteral("Falta el fichero de salida"));
    if (const QString problem = targetProblem(path); !problem.isEmpty())
        throw AppError(problem);
    Generated result;
    result.path = path;
    InvoiceIssuing issuing(m_record, m_appDir, m_issuing);
    issuing.numberBlankInvoice();
    QByteArray checked;
    if (!checkBeforeSave(
            result, checked, review ? review : [](const CheckFindings&) { return true; }))
        return result;
    issueAndSave(issuing, result, checked, path);
    if (result.status == GenerateStatus::KeptInBook)
        throw AppError(result.problem);
    return result;
}

void InvoiceSession::issueAndSave(InvoiceIssuing& issuing, Generated& result,
                                  const QByteArray& checked, const QString& target) {
    const QByteArray document = checked.isNull() ? currentDocument() : checked;
    const InvoiceIssuing::Result issued =
        issuing.issue(document, QFileInfo(target).fileName(),
                      checked.isNull() ? std::nullopt : std::optional(result.findings));
    if (issued.outcome == InvoiceIssuing::Outcome::Declined) {
        result.status = GenerateStatus::Cancelled;
        return;
    }
    result.notKept = issued.notKept;
    if (issued.outcome != InvoiceIssuing::Outcome::NotKept)
        result.kept = issued.kept;
    // The number may have moved on meanwhile: the screen as it is now.
    m_issuedFrom = currentDocument();
    m_issued = issued.document;
    result.path = target;
    try {
        FacturaeWriter::save(issued.document, target);
    } catch (const AppError& e) {
        if (!result.kept)
            throw;
        noteNumberUsed();
        m_changes.markSaved();
        result.status = GenerateStatus::KeptInBook;
        result.problem =
            QStringLiteral("La factura %1 está emitida y guardada en el libro de facturas, pero "
                           "su documento no se ha podido guardar (%2). Guárdelo en otro sitio con "
                           "«Guardar documento…» del libro de facturas")
                .arg(result.kept->seriesNumber, e.message());
        return;
    }
    noteNumberUsed();
    m_files.lastDocument = target;
    m_changes.markSaved();
    result.status = GenerateStatus::Written;
}

bool InvoiceSession::loadSigningSettings() {
    m_autoFirma = AutoFirmaSettings::read(IniFile(AppFiles::registroIni(m_appDir)));
    return !m_autoFirma.folder.isEmpty();
}

CheckFindings InvoiceSession::checkInvoice() {
    return checkDocument(currentDocument());
}

// The document is written where the record lives; only the check, which
// reads nothing but its bytes, may run elsewhere.
CheckFindings InvoiceSession::checkDocument(const QByteArray& document) {
    CheckFindings findings;
    const auto check = [&] { findings = DocumentCheck::run(document); };
    if (m_longWork)
        m_longWork(QStringLiteral("Comprobando la factura…"), check);
    else
        check();
    return findings;
}

CheckFindings InvoiceSession::checkDocumentFile(const QString& path) {
    return DocumentCheck::run(BoundedFile::readDocument(path));
}

QString InvoiceSession::signingSettingsProblem() const {
    return m_autoFirma.problem();
}

InvoiceSession::SigningJob InvoiceSession::prepareSigning(const QString& document,
                                                          const CheckFindings* checked) {
    if (const QString problem = signingSettingsProblem(); !problem.isEmpty())
        throw AppError(problem);
    const QString input = QDir::toNativeSeparators(document);
    const QString output = AutoFirmaLaunch::signedFileName(input);
    // "F.XSIG" keeps its name when signed: the signer would write over the
    // file it reads.
    if (output == input || FileIdentity::sameFile(document, QDir::fromNativeSeparators(output)))
        throw AppError(QStringLiteral("La factura firmada se guardaría con el mismo nombre que %1; "
                                      "cambie la extensión del fichero (por ejemplo, a .xml) "
                                      "antes de firmarlo")
                           .arg(input));
    // AutoFirma is never started on a document that would be refused.
    refuseDocumentWithErrors(document, checked);
    m_files.signedOutput = output;
    return {m_autoFirma.folder, m_autoFirma.program,
            AutoFirmaLaunch::arguments(m_autoFirma.command, input, output, m_autoFirma.format),
            output};
}

void InvoiceSession::refuseDocumentWithErrors(const QString& document,
                                              const CheckFindings* checked) {
    if (hasErrors(checked ? *checked : checkDocumentFile(document)))
        throw documentWithErrors(document);
}

QString InvoiceSession::sign(const QString& document) {
    const SigningJob job = prepareSigning(document);
    return AutoFirmaLaunch::run(job.folder, job.program, job.arguments);
}

// The number a person's "Generar Factura" used is the one the next new
// invoice of its series follows.
void InvoiceSession::noteNumberUsed() {
    InvoiceNumbering::remember(m_appDir, m_record.text(RecordField::InvoiceSeries),
                               m_record.text(RecordField::InvoiceNumber),
                               issuedByUser() && !m_record.correction());
}

bool InvoiceSession::issuedByUser() const {
    const QString mine =
        TaxIdCheck::tidy(IssuerSettings::read(IniFile(AppFiles::registroIni(m_appDir))).taxId);
    return mine.isEmpty() || TaxIdCheck::tidy(m_record.text(RecordField::IssuerTaxId)) == mine;
}

FirmaSettings InvoiceSession::signingRoute() const {
    return FirmaSettings::read(IniFile(AppFiles::registroIni(m_appDir)));
}

SigningCertificate InvoiceSession::openCertificate(const QString& path, QByteArray& password) {
    return SigningCertificate::open(path, password);
}

QString InvoiceSession::issuerMismatch(const QString& document,
                                       const SigningCertificate& certificate) const {
    return DocumentSigning::taxIdMismatch(BoundedFile::readDocument(document),
                                          certificate.summary());
}

DocumentSigning::SignResult
InvoiceSession::signWithCertificate(const QString& document, const SigningCertificate& certificate,
                                    const QString& output, const QStringList& otherInputs,
                                    const CheckHeard& checked) {
    // The book finds the invoice by the digest of what was signed, and keeps
    // the signed bytes in hand: neither file is read again.
    QString digest;
    DocumentSigning::SignResult result = DocumentSigning::signFile(
        document, certificate, output, otherInputs,
        [&](const XmlDocument& read, const QByteArray& bytes) {
            const CheckFindings findings = DocumentCheck::run(read);
            const bool errors = hasErrors(findings);
            if (checked)
                checked(findings,
                        errors ? QString()
                               : DocumentSigning::taxIdMismatch(read, certificate.summary()));
            if (errors)
                throw documentWithErrors(document);
            digest = DocumentDigest::sha256(bytes);
        });
    m_files.signedOutput = result.output;
    if (const QString warning = keepSignedBytes(digest, result.signedBytes, result.output);
        !warning.isEmpty())
        result.report.findings.append(signatureFinding(
            QStringLiteral("book-signed"), SignatureFinding::Severity::Warning, {}, warning));
    return result;
}

QString InvoiceSession::keepSignedCopy(const QString& document, const QString& signedFile) {
    QString digest;
    QByteArray signedBytes;
    try {
        digest = DocumentDigest::sha256(BoundedFile::readDocument(document));
        signedBytes = BoundedFile::readDocument(signedFile);
    } catch (const AppError& e) {
        return signedCopyNotKept(signedFile, e.message());
    }
    return keepSignedBytes(digest, signedBytes, signedFile);
}

QString InvoiceSession::keepSignedBytes(const QString& unsignedDigest,
                                        const QByteArray& signedBytes, const QString& signedFile) {
    try {
        InvoiceIssuing::keepSigned(m_appDir, unsignedDigest, signedBytes,
                                   QFileInfo(signedFile).fileName(), m_issuing.book);
    } catch (const AppError& e) {
        return signedCopyNotKept(signedFile, e.message());
    }
    return {};
}

SignatureReport InvoiceSession::checkSignature(const QString& signedDocument) const {
    return DocumentSigning::verifyFile(signedDocument);
}

AdministrationCentres InvoiceSession::centres() const {
    return AdministrationCentres::fromRecord(m_record);
}

void InvoiceSession::setCentres(const AdministrationCentres& centres) {
    centres.storeIn(m_record);
}

QByteArray InvoiceSession::currentDocument() {
    loadTreatmentSettings();
    // Every document is written from here: an unknown version stops it.
    m_record.setFacturaeVersion(m_facturaeVersion ? *m_facturaeVersion
                                                  : RegistroIni::facturaeVersion(m_appDir));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(m_record.settledInvoice(), buffer);
    return buffer.data();
}

QByteArray InvoiceSession::shownDocument() {
    const QByteArray current = currentDocument();
    return !m_issued.isEmpty() && current == m_issuedFrom ? m_issued : current;
}

TaxQr InvoiceSession::taxQrOf(const QByteArray& document) const {
    return IssuedTaxQr::of(m_appDir, document, m_issuing.book);
}

void InvoiceSession::savePdf(const QByteArray& document, const QString& path, const TaxQr& qr,
                             const QStringList& sources) {
    if (!m_renderer)
        throw AppError(QStringLiteral("Esta versión no puede dibujar la copia PDF"));
    if (const QString same = FileIdentity::sameAsAny(path, sources); !same.isEmpty())
        throw AppError(QStringLiteral("No se puede guardar la copia PDF en %1: es la factura %2, "
                                      "que se perdería")
                           .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(same)));
    m_renderer->render(document, path, qr.isEmpty() ? taxQrOf(document) : qr);
}
