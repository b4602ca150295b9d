#pragma once

#include <QSslConfiguration>
#include <QString>
#include <QUrl>

class SigningCertificate;
struct ServiceSettings;

// Everything the client needs for one service: its address, the secure
// connection (client certificate and key, trusted authorities) and the time
// allowed for an answer.
struct ClientSetup {
    static constexpr int DefaultTimeoutSeconds = 120;

    QUrl address;
    QSslConfiguration tls;
    QString certificateFile; // named in messages; empty when no certificate is offered
    int timeoutSeconds = DefaultTimeoutSeconds;

    // The system's authorities plus settings.extraAuthorities; the client
    // certificate, its chain and key from certificate (opened by Orvane's own
    // PKCS#12 reader), or none when certificate is null. Throws AppError when
    // the authorities' file cannot be read or holds no certificate.
    static ClientSetup make(const ServiceSettings& settings, const SigningCertificate* certificate,
                            const QString& certificateFile);
};
