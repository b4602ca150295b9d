#pragma once

#include <QObject>
#include <QSslConfiguration>
#include <QUrl>

class QSslSocket;
class QTimer;

// Tells whether the service refuses the client certificate. Over TLS 1.3 the
// refusal is an alert the server sends after the client thinks the handshake
// is done; when the client is already sending, the reset that follows can
// wipe the alert before it is read. A connection that sends nothing reads it
// reliably, so the client opens one after an exchange that failed without
// an answer.
class CertificateProbe : public QObject {
    Q_OBJECT
public:
    // How long to wait for the server's verdict once the handshake is done.
    static constexpr int VerdictMilliseconds = 3000;

    CertificateProbe(const QUrl& address, const QSslConfiguration& tls, QObject* parent = nullptr);
    void start();

signals:
    void finished(bool refused);

private:
    void finish();

    QUrl m_address;
    QSslSocket* m_socket;
    QTimer* m_timer;
    bool m_refused = false;
    bool m_done = false;
};
