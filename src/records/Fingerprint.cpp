#include "records/Fingerprint.h"

#include <openssl/evp.h>

#include <initializer_list>
#include <utility>

namespace Fingerprint {

namespace {

using Field = std::pair<const char*, const QString&>;

QByteArray joined(std::initializer_list<Field> fields) {
    QByteArray out;
    out.reserve(320);
    for (const auto& [name, value] : fields) {
        if (!out.isEmpty())
            out += '&';
        out += name;
        out += '=';
        out += value.trimmed().toUtf8();
    }
    return out;
}

} // namespace

QByteArray input(const RecordTexts& t) {
    if (t.anulacion)
        return joined({{"IDEmisorFacturaAnulada", t.issuerNif},
                       {"NumSerieFacturaAnulada", t.numSerie},
                       {"FechaExpedicionFacturaAnulada", t.issueDate},
                       {"Huella", t.previousHuella},
                       {"FechaHoraHusoGenRegistro", t.generatedAt}});
    return joined({{"IDEmisorFactura", t.issuerNif},
                   {"NumSerieFactura", t.numSerie},
                   {"FechaExpedicionFactura", t.issueDate},
                   {"TipoFactura", t.invoiceType},
                   {"CuotaTotal", t.cuotaTotal},
                   {"ImporteTotal", t.importeTotal},
                   {"Huella", t.previousHuella},
                   {"FechaHoraHusoGenRegistro", t.generatedAt}});
}

QByteArray input(const EventTexts& t) {
    return joined({{"NIF", t.producerNif},
                   {"ID", t.producerOtherId},
                   {"IdSistemaInformatico", t.systemId},
                   {"Version", t.version},
                   {"NumeroInstalacion", t.installationNumber},
                   {"NIF", t.issuerNif},
                   {"TipoEvento", t.eventType},
                   {"HuellaEvento", t.previousHuella},
                   {"FechaHoraHusoGenEvento", t.generatedAt}});
}

QString of(const QByteArray& input) {
    // OpenSSL's one-shot digest: the chain check hashes every record of a book.
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(input.constData(), std::size_t(input.size()), digest, &length, EVP_sha256(),
                   nullptr) != 1)
        qFatal("SHA-256 is not available");
    static const char hex[] = "0123456789ABCDEF";
    QString out(int(2 * length), Qt::Uninitialized);
    QChar* d = out.data();
    for (unsigned int i = 0; i < length; ++i) {
        *d++ = QLatin1Char(hex[digest[i] >> 4]);
        *d++ = QLatin1Char(hex[digest[i] & 0xF]);
    }
    return out;
}

bool isWellFormed(const QString& huella) {
    if (huella.size() != 64)
        return false;
    for (const QChar c : huella) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return false;
    }
    return true;
}

} // namespace Fingerprint
