#include "signing/CertificateSummary.h"

#include <QRegularExpression>

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/obj_mac.h>
#include <openssl/x509.h>

namespace {

QString entryText(const X509_NAME* name, int nid) {
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0)
        return {};
    const ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, data);
    if (length < 0)
        return {};
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(utf8), length);
    OPENSSL_free(utf8);
    return text.trimmed();
}

QString oneLine(const X509_NAME* name) {
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    QString text = QString::fromUtf8(data, int(length));
    BIO_free(bio);
    return text;
}

// Semantic identifiers carry a three-letter type and a country before a
// hyphen: "IDCES-12345678Z", "VATES-B12345678", "PASES-...".
QString withoutIdentifierType(const QString& value) {
    static const QRegularExpression prefix(QStringLiteral("^[A-Z]{3}[A-Z]{2}-"));
    QString text = value;
    text.remove(prefix);
    return text;
}

QDateTime asDateTime(const ASN1_TIME* time) {
    struct tm parts {};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

QString normalisedTaxId(const QString& taxId) {
    QString text;
    for (QChar c : taxId) {
        if (c.isLetterOrNumber())
            text += c.toUpper();
    }
    // "ESB12345678" is the same tax id as "B12345678" with its country.
    if (text.size() > 9 && text.startsWith(QStringLiteral("ES")))
        text.remove(0, 2);
    return text;
}

} // namespace

CertificateSummary CertificateSummary::of(X509* certificate) {
    CertificateSummary summary;
    if (!certificate)
        return summary;
    const X509_NAME* subject = X509_get_subject_name(certificate);
    summary.holderName = entryText(subject, NID_commonName);
    summary.personName =
        (entryText(subject, NID_givenName) + u' ' + entryText(subject, NID_surname)).trimmed();
    summary.personalTaxId = withoutIdentifierType(entryText(subject, NID_serialNumber));
    summary.companyTaxId = withoutIdentifierType(entryText(subject, NID_organizationIdentifier));
    summary.companyName = entryText(subject, NID_organizationName);
    const X509_NAME* issuer = X509_get_issuer_name(certificate);
    summary.issuerName = entryText(issuer, NID_commonName);
    if (summary.issuerName.isEmpty())
        summary.issuerName = oneLine(issuer);
    summary.validFrom = asDateTime(X509_get0_notBefore(certificate));
    summary.validTo = asDateTime(X509_get0_notAfter(certificate));
    return summary;
}

CertificateSummary CertificateSummary::ofDer(const QByteArray& der) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    X509* certificate = d2i_X509(nullptr, &cursor, long(der.size()));
    ERR_clear_error();
    const CertificateSummary summary = of(certificate);
    X509_free(certificate);
    return summary;
}

QString CertificateSummary::name() const {
    if (!holderName.isEmpty())
        return holderName;
    return personName.isEmpty() ? companyName : personName;
}

bool CertificateSummary::matchesTaxId(const QString& taxId) const {
    const QString wanted = normalisedTaxId(taxId);
    if (wanted.isEmpty())
        return false;
    return wanted == normalisedTaxId(personalTaxId) || wanted == normalisedTaxId(companyTaxId);
}

QString CertificateSummary::describe() const {
    QString text = holderName.isEmpty() ? QStringLiteral("(sin nombre)") : holderName;
    QStringList ids;
    if (!personalTaxId.isEmpty())
        ids << QStringLiteral("NIF %1").arg(personalTaxId);
    if (!companyTaxId.isEmpty())
        ids << QStringLiteral("NIF de la entidad %1").arg(companyTaxId);
    if (!ids.isEmpty())
        text += QStringLiteral(" (%1)").arg(ids.join(QStringLiteral(", ")));
    if (validTo.isValid())
        text += QStringLiteral(", válido hasta el %1")
                    .arg(validTo.toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
    return text;
}
