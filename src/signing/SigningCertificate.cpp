#include "signing/SigningCertificate.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "signing/XmlSecurity.h"

#include <QDir>

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

bool certificateAllowsSigning(X509* certificate) {
    const uint32_t usage = X509_get_key_usage(certificate);
    if (usage == UINT32_MAX) // no keyUsage extension
        return true;
    return (usage & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) != 0;
}

int rsaKeyBits(X509* certificate) {
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    return key && EVP_PKEY_is_a(key, "RSA") ? EVP_PKEY_get_bits(key) : 0;
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

int countKeys(const STACK_OF(PKCS12_SAFEBAG) * bags) {
    int keys = 0;
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
        case NID_keyBag:
        case NID_pkcs8ShroudedKeyBag:
            ++keys;
            break;
        case NID_safeContentsBag:
            keys += countKeys(PKCS12_SAFEBAG_get0_safes(bag));
            break;
        default:
            break;
        }
    }
    return keys;
}

// How many private keys the file holds: PKCS12_parse() would take the first
// and say nothing of the others.
int countKeys(PKCS12* p12, const char* pass, int passLength) {
    STACK_OF(PKCS7)* safes = PKCS12_unpack_authsafes(p12);
    int keys = 0;
    for (int i = 0; i < sk_PKCS7_num(safes); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes, i);
        STACK_OF(PKCS12_SAFEBAG)* bags = nullptr;
        switch (OBJ_obj2nid(safe->type)) {
        case NID_pkcs7_data:
            bags = PKCS12_unpack_p7data(safe);
            break;
        case NID_pkcs7_encrypted:
            bags = PKCS12_unpack_p7encdata(safe, pass, passLength);
            break;
        default:
            break;
        }
        keys += countKeys(bags);
        sk_PKCS12_SAFEBAG_pop_free(bags, PKCS12_SAFEBAG_free);
    }
    sk_PKCS7_pop_free(safes, PKCS7_free);
    ERR_clear_error();
    return keys;
}

bool isAuthority(X509* certificate) {
    return (X509_get_extension_flags(certificate) & EXFLAG_CA) != 0;
}

} // namespace

SigningCertificate::SigningCertificate(SigningCertificate&& other) noexcept
    : m_path(std::move(other.m_path)), m_key(std::exchange(other.m_key, nullptr)),
      m_certificate(std::exchange(other.m_certificate, nullptr)),
      m_intermediates(std::move(other.m_intermediates)) {}

SigningCertificate& SigningCertificate::operator=(SigningCertificate&& other) noexcept {
    std::swap(m_path, other.m_path);
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

    const QByteArray bytes =
        BoundedFile::read(path, BoundedFile::MaxCertificateBytes, QStringLiteral("el certificado"));

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

    if (countKeys(p12, pass, passLength) > 1) {
        PKCS12_free(p12);
        throw AppError(QStringLiteral("El fichero %1 contiene varias claves privadas y no se sabe "
                                      "con cuál firmar; exporte el certificado de firma a un "
                                      "fichero con su clave sola")
                           .arg(shown));
    }

    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* others = nullptr;
    const int parsed = PKCS12_parse(p12, pass, &key, &certificate, &others);
    PKCS12_free(p12);
    SigningCertificate result;
    result.m_path = path;
    result.m_key = key;
    result.m_certificate = certificate;
    // The signer's certificate is the one that matches the key, whatever it
    // is; any other person's certificate in the file stays out of KeyInfo.
    for (int i = 0; others && i < sk_X509_num(others); ++i) {
        X509* other = sk_X509_value(others, i);
        if (isAuthority(other) && X509_check_issued(other, other) != X509_V_OK)
            result.m_intermediates << certificateDer(other);
    }
    sk_X509_pop_free(others, X509_free);
    if (parsed != 1) {
        const QString reason = XmlSecurity::takeOpenSslError();
        throw AppError(QStringLiteral("No se puede abrir el certificado %1: usa un cifrado que no "
                                      "se admite o está dañado (detalle de OpenSSL: %2)")
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

void SigningCertificate::checkUsableAt(const QDateTime& moment) const {
    if (!certificateAllowsSigning(m_certificate))
        throw AppError(QStringLiteral("El certificado de %1 no sirve para firmar: su uso de clave "
                                      "no incluye la firma digital ni el no repudio (puede ser un "
                                      "certificado de cifrado); elija el certificado de firma")
                           .arg(QDir::toNativeSeparators(m_path)));
    const CertificateSummary info = summary();
    if (info.validFrom.isValid() && moment < info.validFrom)
        throw AppError(QStringLiteral("El certificado aún no es válido: lo es desde el %1")
                           .arg(displayDate(info.validFrom)));
    if (info.validTo.isValid() && moment > info.validTo)
        throw AppError(
            QStringLiteral("El certificado caducó el %1").arg(displayDate(info.validTo)));
}
