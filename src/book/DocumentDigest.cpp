#include "book/DocumentDigest.h"

#include "common/AppError.h"

#include <QByteArray>

#include <openssl/evp.h>

namespace DocumentDigest {

QString sha256(QByteArrayView bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), size_t(bytes.size()), digest, &length, EVP_sha256(), nullptr) != 1)
        throw AppError(QStringLiteral("No se pudo calcular la huella SHA-256 de un documento."));
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char*>(digest), int(length)).toHex());
}

} // namespace DocumentDigest
