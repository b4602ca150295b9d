#pragma once

#include "common/AppError.h"
#include "signing/CertificateSummary.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;

// The password does not open the certificate file: the person may try again.
class WrongPasswordError : public AppError {
public:
    using AppError::AppError;
};

// A certificate with its private key, opened from a PKCS#12 file (.p12/.pfx),
// with the other certificates the file holds. Move-only; frees its keys.
class SigningCertificate {
public:
    SigningCertificate(SigningCertificate&& other) noexcept;
    SigningCertificate& operator=(SigningCertificate&& other) noexcept;
    SigningCertificate(const SigningCertificate&) = delete;
    SigningCertificate& operator=(const SigningCertificate&) = delete;
    ~SigningCertificate();

    // Opens the file with the password and wipes the password's bytes before
    // returning, whatever happens. Throws AppError with a Spanish message for
    // an unreadable file, a file that is no PKCS#12, a wrong password
    // (WrongPasswordError), a file
    // without a private key or with more than one (which would sign is not
    // for us to guess), or a key that is not RSA. The certificate is the one
    // whose public key is the private key's; of the others only authorities
    // (basicConstraints CA) are kept, as intermediates.
    static SigningCertificate open(const QString& path, QByteArray& password);

    // Throws AppError when the certificate cannot sign at that moment: not
    // valid then, or a key usage that excludes signatures.
    void checkUsableAt(const QDateTime& moment) const;

    CertificateSummary summary() const { return CertificateSummary::of(m_certificate); }
    // The file it was opened from.
    const QString& path() const { return m_path; }
    X509* certificate() const { return m_certificate; }
    EVP_PKEY* privateKey() const { return m_key; }
    // DER of the authorities of the file, self-signed roots left out.
    const QList<QByteArray>& intermediates() const { return m_intermediates; }

private:
    SigningCertificate() = default;

    QString m_path;
    EVP_PKEY* m_key = nullptr;
    X509* m_certificate = nullptr;
    QList<QByteArray> m_intermediates;
};

// Overwrites the bytes of a secret in place (all sharing copies included) and
// empties it.
void wipeSecret(QByteArray& secret);

// The DER bytes of a certificate; empty when it cannot be encoded.
QByteArray certificateDer(X509* certificate);
// The certificate's issuer name as RFC 2253 text, in UTF-8, and its serial
// number in decimal: what a signature names it by.
QByteArray certificateIssuer(X509* certificate);
QByteArray certificateSerial(X509* certificate);

// Whether the certificate may make signatures: without a keyUsage extension
// every use is allowed; with one, it must name digitalSignature or
// nonRepudiation.
bool certificateAllowsSigning(X509* certificate);
// Keys smaller than this are warned about, when signing and when checking.
inline constexpr int MinimumRsaBits = 2048;
// The size of the certificate's RSA key in bits; 0 for any other key.
int rsaKeyBits(X509* certificate);
