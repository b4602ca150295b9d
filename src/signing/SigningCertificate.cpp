#include "signing/SigningCertificate.h"

#include "common/AppError.h"
#include "signing/XmlSecurity.h"

#include <QDir>
#include <QFile>

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <utility>

QByteArray certificateDer(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    if (length <= 0)
        return {};
    QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

QByteArray certificateIssuer(X509* certificate) {
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, X509_get_issuer_name(certificate), 0,
                       XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    QByteArray text(data, int(length));
    BIO_free(bio);
    return text;
}

QByteArray certificateSerial(X509* certificate) {
    BIGNUM* number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr);
    char* decimal = BN_bn2dec(number);
    QByteArray text(decimal);
    OPENSSL_free(decimal);
    BN_free(number);
    return text;
}

void wipeSecret(QByteArray& secret) {
    if (!secret.isEmpty())
        OPENSSL_cleanse(const_cast<char*>(secret.constData()), size_t(secret.size()));
    secret.clear();
}

namespace {

struct SecretGuard {
    QByteArray& secret;
    ~SecretGuard() { wipeSecret(secret); }
};

QString displayDate(const QDateTime& utc) {
    return utc.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}

} // namespace

SigningCertificate::SigningCertificate(SigningCertificate&& other) noexcept
    : m_key(std::exchange(other.m_key, nullptr)),
      m_certificate(std::exchange(other.m_certificate, nullptr)),
      m_intermediates(std::move(other.m_intermediates)) {}

SigningCertificate& SigningCertificate::operator=(SigningCertificate&& other) noexcept {
    std::swap(m_key, other.m_key);
    std::swap(m_certificate, other.m_certificate);
    std::swap(m_intermediates, other.m_intermediates);
    return *this;
}

SigningCertificate::~SigningCertificate() {
    EVP_PKEY_free(m_key);
    X509_free(m_certificate);
}

SigningCertificate SigningCertificate::open(const QString& path, QByteArray& password) {
    SecretGuard guard{password};
    XmlSecurity::ensureStarted();
    const QString shown = QDir::toNativeSeparators(path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("No se puede leer el certificado %1: %2")
                           .arg(shown, file.errorString()));
    if (file.size() > 1024 * 1024)
        throw AppError(
            QStringLiteral("%1 no es un fichero de certificado PKCS#12 (.p12/.pfx)").arg(shown));
    const QByteArray bytes = file.readAll();

    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(bytes.constData());
    PKCS12* p12 = d2i_PKCS12(nullptr, &cursor, long(bytes.size()));
    if (!p12) {
        ERR_clear_error();
        throw AppError(
            QStringLiteral("%1 no es un fichero de certificado PKCS#12 (.p12/.pfx)").arg(shown));
    }

    // OpenSSL takes an empty password as either no password or an empty one.
    const char* pass = password.isEmpty() ? "" : password.constData();
    const int passLength = int(password.size());
    if (PKCS12_mac_present(p12)) {
        const bool macOk = PKCS12_verify_mac(p12, pass, passLength) == 1 ||
                           (password.isEmpty() && PKCS12_verify_mac(p12, nullptr, 0) == 1);
        if (!macOk) {
            PKCS12_free(p12);
            ERR_clear_error();
            throw WrongPasswordError(
                QStringLiteral("La contraseña del certificado no es correcta"));
        }
    }

    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* others = nullptr;
    const int parsed = PKCS12_parse(p12, pass, &key, &certificate, &others);
    PKCS12_free(p12);
    SigningCertificate result;
    result.m_key = key;
    result.m_certificate = certificate;
    for (int i = 0; others && i < sk_X509_num(others); ++i) {
        X509* other = sk_X509_value(others, i);
        if (X509_check_issued(other, other) != X509_V_OK)
            result.m_intermediates << certificateDer(other);
    }
    sk_X509_pop_free(others, X509_free);
    if (parsed != 1) {
        const QString reason = XmlSecurity::takeOpenSslError();
        throw AppError(QStringLiteral("No se puede abrir el certificado %1 (cifrado no admitido "
                                      "o fichero dañado): %2")
                           .arg(shown, reason));
    }
    if (!key)
        throw AppError(QStringLiteral("El fichero %1 no contiene la clave privada del certificado")
                           .arg(shown));
    if (!certificate)
        throw AppError(
            QStringLiteral("El fichero %1 no contiene el certificado de su clave privada")
                .arg(shown));
    if (X509_check_private_key(certificate, key) != 1) {
        ERR_clear_error();
        throw AppError(
            QStringLiteral("La clave privada de %1 no corresponde a su certificado").arg(shown));
    }
    if (!EVP_PKEY_is_a(key, "RSA"))
        throw AppError(QStringLiteral("La clave del certificado no es RSA; solo se firman "
                                      "facturas con claves RSA"));
    return result;
}

void SigningCertificate::checkValidAt(const QDateTime& moment) const {
    const CertificateSummary info = summary();
    if (info.validFrom.isValid() && moment < info.validFrom)
        throw AppError(QStringLiteral("El certificado aún no es válido: lo es desde el %1")
                           .arg(displayDate(info.validFrom)));
    if (info.validTo.isValid() && moment > info.validTo)
        throw AppError(
            QStringLiteral("El certificado caducó el %1").arg(displayDate(info.validTo)));
}
