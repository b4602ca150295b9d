#include "signing/DocumentSigning.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "common/FileIdentity.h"
#include "common/SafeSave.h"
#include "facturae/XmlDocument.h"
#include "signing/AutoFirmaLaunch.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesSigner.h"

#include <QDir>

namespace DocumentSigning {

QString defaultOutput(const QString& input) {
    return AutoFirmaLaunch::signedFileName(input);
}

QString issuerTaxId(const XmlDocument& document) {
    return XmlNodes::text(
               XmlNodes::descend(document.root(), {"Parties", "SellerParty", "TaxIdentification",
                                                   "TaxIdentificationNumber"}))
        .trimmed();
}

QString issuerTaxId(const QByteArray& document) {
    return issuerTaxId(XmlDocument(document));
}

QString taxIdMismatch(const QByteArray& document, const CertificateSummary& certificate) {
    return taxIdMismatch(XmlDocument(document), certificate);
}

QString taxIdMismatch(const XmlDocument& document, const CertificateSummary& certificate) {
    const QString issuer = issuerTaxId(document);
    if (issuer.isEmpty() || certificate.matchesTaxId(issuer))
        return {};
    QStringList ids;
    if (!certificate.personalTaxId.isEmpty())
        ids << certificate.personalTaxId;
    if (!certificate.companyTaxId.isEmpty())
        ids << certificate.companyTaxId;
    const QString certificateIds =
        ids.isEmpty() ? QStringLiteral("ninguno") : ids.join(QStringLiteral(" / "));
    return QStringLiteral("El NIF del emisor de la factura (%1) no coincide con el del "
                          "certificado (%2)")
        .arg(issuer, certificateIds);
}

namespace {

void save(const QString& path, const QByteArray& bytes) {
    QString reason;
    if (!SafeSave::write(path, bytes, &reason))
        throw AppError(QStringLiteral("No se puede guardar la factura firmada en %1: %2")
                           .arg(QDir::toNativeSeparators(path), reason));
}

// The signed copy never takes the place of what it is made from.
void refuseToReplaceAnInput(const QString& input, const QString& output, bool defaultName,
                            const QString& certificate, const QStringList& otherInputs) {
    const QString shown = QDir::toNativeSeparators(output);
    if (FileIdentity::sameFile(output, input)) {
        if (defaultName)
            throw AppError(QStringLiteral("La factura firmada se guardaría con el mismo nombre que "
                                          "%1; cambie la extensión del fichero (por ejemplo, a "
                                          ".xml) antes de firmarlo")
                               .arg(shown));
        throw AppError(QStringLiteral("No se puede guardar la factura firmada en %1: es la misma "
                                      "factura sin firmar, que se perdería")
                           .arg(shown));
    }
    if (FileIdentity::sameFile(output, certificate))
        throw AppError(QStringLiteral("No se puede guardar la factura firmada en %1: es el fichero "
                                      "del certificado")
                           .arg(shown));
    if (const QString other = FileIdentity::sameAsAny(output, otherInputs); !other.isEmpty())
        throw AppError(QStringLiteral("No se puede guardar la factura firmada en %1: es el fichero "
                                      "%2, que también se lee")
                           .arg(shown, QDir::toNativeSeparators(other)));
}

// The errors of a check, for a message.
QString errorsOf(const SignatureReport& report) {
    QStringList problems;
    for (const SignatureFinding& finding : report.findings) {
        if (finding.severity == SignatureFinding::Severity::Error)
            problems << finding.message;
    }
    return problems.join(QStringLiteral("; "));
}

} // namespace

SignResult signFile(const QString& input, const SigningCertificate& certificate,
                    const QString& output, const QStringList& otherInputs,
                    const Inspection& inspect, const QDateTime& now) {
    SignResult result;
    result.output = output.isEmpty() ? defaultOutput(input) : output;
    refuseToReplaceAnInput(input, result.output, output.isEmpty(), certificate.path(), otherInputs);
    // Read and parsed once: what is inspected is what is signed.
    QByteArray signedDocument;
    {
        const QByteArray document = BoundedFile::readDocument(input);
        XmlDocument parsed(document);
        if (inspect)
            inspect(parsed, document);
        certificate.checkUsableAt(now);
        signedDocument = XadesSigner::sign(parsed, document, certificate, now);
    } // the tree is let go before the signed bytes are parsed for their check
    // The signed bytes are checked before they are written, so a faulty
    // signature never reaches the disk; the save itself is checked to the
    // disk's sync (SafeSave).
    result.report = SignatureVerifier::verify(signedDocument);
    if (!result.report.valid())
        throw AppError(QStringLiteral("La factura firmada no ha superado su comprobación y no se "
                                      "ha guardado: %1")
                           .arg(errorsOf(result.report)));
    save(result.output, signedDocument);
    result.signedBytes = signedDocument;
    return result;
}

QByteArray signRecord(const QByteArray& document, const SigningCertificate& certificate,
                      const SignatureProfile& profile, const QDateTime& now) {
    certificate.checkUsableAt(now);
    QByteArray signedDocument = XadesSigner::sign(document, certificate, now, profile);
    SignatureVerifier::Options options;
    options.at = now;
    options.profile = profile;
    // Only the signature counts here: whether the certificate's authority is
    // trusted is for whoever reads the record.
    options.systemRoots = false;
    const SignatureReport report = SignatureVerifier::verify(signedDocument, options);
    if (!report.valid())
        throw AppError(QStringLiteral("La firma del registro no ha superado su comprobación: %1")
                           .arg(errorsOf(report)));
    return signedDocument;
}

SignatureReport verifyFile(const QString& path, const SignatureVerifier::Options& options) {
    QByteArray bytes;
    try {
        bytes = BoundedFile::readDocument(path);
    } catch (const AppError& problem) {
        SignatureReport report;
        report.findings << signatureFinding(QStringLiteral("file"),
                                            SignatureFinding::Severity::Error, QString(),
                                            problem.message());
        return report;
    }
    return SignatureVerifier::verify(bytes, options);
}

} // namespace DocumentSigning
