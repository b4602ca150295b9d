#include "sending/CertificateProbe.h"

#include <QSslSocket>
#include <QTimer>

namespace {

bool refusesCertificate(QSsl::AlertType type, bool certificateOffered) {
    switch (type) {
    case QSsl::AlertType::CertificateRequired:
    case QSsl::AlertType::NoCertificate:
    case QSsl::AlertType::BadCertificate:
    case QSsl::AlertType::UnsupportedCertificate:
    case QSsl::AlertType::CertificateRevoked:
    case QSsl::AlertType::CertificateExpired:
    case QSsl::AlertType::CertificateUnknown:
    case QSsl::AlertType::UnknownCa:
    case QSsl::AlertType::AccessDenied:
        return true;
    case QSsl::AlertType::HandshakeFailure:
        // What a TLS 1.2 server says when a required certificate is missing.
        return !certificateOffered;
    default:
        return false;
    }
}

} // namespace

CertificateProbe::CertificateProbe(const QUrl& address, const QSslConfiguration& tls,
                                   QObject* parent)
    : QObject(parent), m_address(address), m_socket(new QSslSocket(this)),
      m_timer(new QTimer(this)) {
    m_socket->setSslConfiguration(tls);
    m_timer->setSingleShot(true);
    const bool offered = !tls.localCertificate().isNull();
    connect(m_socket, &QSslSocket::alertReceived, this,
            [this, offered](QSsl::AlertLevel level, QSsl::AlertType type, const QString&) {
                if (level == QSsl::AlertLevel::Fatal && refusesCertificate(type, offered))
                    m_refused = true;
            });
    connect(m_socket, &QSslSocket::encrypted, this,
            [this] { m_timer->start(VerdictMilliseconds); });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &CertificateProbe::finish);
    connect(m_socket, &QAbstractSocket::disconnected, this, &CertificateProbe::finish);
    connect(m_timer, &QTimer::timeout, this, &CertificateProbe::finish);
}

void CertificateProbe::start() {
    m_timer->start(VerdictMilliseconds * 4); // connection and handshake
    m_socket->connectToHostEncrypted(m_address.host(), quint16(m_address.port(443)));
}

void CertificateProbe::finish() {
    if (m_done)
        return;
    m_done = true;
    m_timer->stop();
    m_socket->abort();
    emit finished(m_refused);
}
