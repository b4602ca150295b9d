#include "signing/DocumentSigning.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "common/FileIdentity.h"
#include "common/SafeSave.h"
#include "signing/AutoFirmaLaunch.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesSigner.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

namespace DocumentSigning {

QString defaultOutput(const QString& input) {
    return AutoFirmaLaunch::signedFileName(input);
}

QString issuerTaxId(const QByteArray& document) {
    QXmlStreamReader reader(document);
    QStringList path;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            path << reader.name().toString();
            if (path.size() == 5 && path[1] == u"Parties" && path[2] == u"SellerParty" &&
                path[3] == u"TaxIdentification" && path[4] == u"TaxIdentificationNumber")
                return reader.readElementText().trimmed();
            break;
        case QXmlStreamReader::EndElement:
            path.removeLast();
            // The parties come before the invoices: no need to read further.
            if (path.size() == 1 && reader.name() == u"Parties")
                return {};
            break;
        default:
            break;
        }
    }
    return {};
}

QString taxIdMismatch(const QByteArray& document, const CertificateSummary& certificate) {
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

QByteArray readFile(const QString& path) {
    return BoundedFile::read(path, BoundedFile::MaxDocumentBytes);
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

} // namespace

SignResult signFile(const QString& input, const SigningCertificate& certificate,
                    const QString& output, const QStringList& otherInputs, const QDateTime& now) {
    SignResult result;
    result.output = output.isEmpty() ? defaultOutput(input) : output;
    refuseToReplaceAnInput(input, result.output, output.isEmpty(), certificate.path(), otherInputs);
    const QByteArray document = readFile(input);
    certificate.checkUsableAt(now);
    const QByteArray signedDocument = XadesSigner::sign(document, certificate, now);
    // Checked before it is written, so a faulty signature never reaches the
    // disk, and read back afterwards, so what is on the disk is what passed.
    result.report = SignatureVerifier::verify(signedDocument);
    if (!result.report.valid()) {
        QStringList problems;
        for (const SignatureFinding& finding : result.report.findings) {
            if (finding.severity == SignatureFinding::Severity::Error)
                problems << finding.message;
        }
        throw AppError(QStringLiteral("La factura firmada no ha superado su comprobación y no se "
                                      "ha guardado: %1")
                           .arg(problems.join(QStringLiteral("; "))));
    }
    save(result.output, signedDocument);
    if (readFile(result.output) != signedDocument)
        throw AppError(QStringLiteral("La factura firmada guardada en %1 no coincide con la "
                                      "firmada: el disco no la ha guardado bien")
                           .arg(QDir::toNativeSeparators(result.output)));
    return result;
}

SignatureReport verifyFile(const QString& path, const SignatureVerifier::Options& options) {
    QByteArray bytes;
    try {
        bytes = readFile(path);
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
