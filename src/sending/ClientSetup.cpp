#include "sending/ClientSetup.h"

#include "common/AppError.h"
#include "sending/ServiceSettings.h"
#include "signing/SigningCertificate.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/pem.h>

namespace {

QList<QSslCertificate> readAuthorities(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("No se puede leer el fichero de autoridades de "
                                      "certificación %1 ([VERIFACTU] CA): %2")
                           .arg(shown, file.errorString()));
    const QList<QSslCertificate> authorities = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (authorities.isEmpty())
        throw AppError(QStringLiteral("El fichero %1 ([VERIFACTU] CA) no contiene ningún "
                                      "certificado PEM")
                           .arg(shown));
    return authorities;
}

// The key goes to Qt as unencrypted PKCS#8 text held only in memory, and that
// text is wiped as soon as Qt has read it.
QSslKey sslKeyOf(const SigningCertificate& certificate) {
    BIO* bio = BIO_new(BIO_s_secmem());
    if (!bio || PEM_write_bio_PrivateKey(bio, certificate.privateKey(), nullptr, nullptr, 0,
                                         nullptr, nullptr) != 1) {
        BIO_free(bio);
        throw AppError(QStringLiteral("No se puede preparar la clave del certificado para la "
                                      "conexión con la Agencia Tributaria"));
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    QByteArray pem(data, qsizetype(length));
    BIO_free(bio);
    QSslKey key(pem, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey);
    wipeSecret(pem);
    if (key.isNull())
        throw AppError(QStringLiteral("No se puede preparar la clave del certificado para la "
                                      "conexión con la Agencia Tributaria"));
    return key;
}

} // namespace

ClientSetup ClientSetup::make(const ServiceSettings& settings,
                              const SigningCertificate* certificate,
                              const QString& certificateFile) {
    ClientSetup setup;
    setup.address = settings.address;
    setup.tls = QSslConfiguration::defaultConfiguration();
    setup.tls.setProtocol(QSsl::TlsV1_2OrLater);
    setup.tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    QList<QSslCertificate> authorities = QSslConfiguration::systemCaCertificates();
    if (!settings.extraAuthorities.isEmpty())
        authorities += readAuthorities(settings.extraAuthorities);
    setup.tls.setCaCertificates(authorities);

    if (certificate) {
        QList<QSslCertificate> chain{
            QSslCertificate(certificateDer(certificate->certificate()), QSsl::Der)};
        for (const QByteArray& der : certificate->intermediates())
            chain.append(QSslCertificate(der, QSsl::Der));
        setup.tls.setLocalCertificateChain(chain);
        setup.tls.setPrivateKey(sslKeyOf(*certificate));
        setup.certificateFile = certificateFile;
    }
    return setup;
}
