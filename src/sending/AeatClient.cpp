#include "sending/AeatClient.h"

#include "common/AppError.h"
#include "sending/SubmissionMessage.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>

namespace {

using Failure = TransportResult::Failure;

// OpenSSL's names of the alerts a server sends when it will not take the
// client's certificate (missing, unknown authority, expired, revoked...).
bool certificateAlert(const QString& text) {
    static const char* const alerts[] = {
        "alert certificate required",    "alert bad certificate",     "alert unknown ca",
        "alert certificate unknown",     "alert certificate expired", "alert certificate revoked",
        "alert unsupported certificate", "alert access denied",
    };
    const QString lower = text.toLower();
    for (const char* alert : alerts) {
        if (lower.contains(QLatin1String(alert)))
            return true;
    }
    return false;
}

} // namespace

AeatClient::AeatClient(ClientSetup setup, QObject* parent)
    : QObject(parent), m_setup(std::move(setup)), m_network(new QNetworkAccessManager(this)),
      m_deadline(new QTimer(this)) {
    qRegisterMetaType<SendOutcome>();
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        if (m_reply) {
            m_timedOut = true;
            m_reply->abort();
        }
    });
}

AeatClient::~AeatClient() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void AeatClient::send(const SubmissionMessage& message) {
    if (isBusy())
        throw AppError(QStringLiteral("Ya hay un envío en curso a la Agencia Tributaria"));
    m_sent = message.records();
    m_tlsErrors.clear();
    m_timedOut = false;
    m_tooLarge = false;
    m_last.reset();

    QNetworkRequest request(m_setup.address);
    request.setSslConfiguration(m_setup.tls);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("text/xml; charset=utf-8"));
    // The service description names an empty action; SOAP 1.1 quotes it.
    request.setRawHeader("SOAPAction", "\"\"");
    // A redirect would carry the records somewhere else: it is an error here.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    m_reply = m_network->post(request, message.envelope());
    connect(m_reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        for (const QSslError& error : errors)
            m_tlsErrors << error.errorString();
    });
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > MaxReplyBytes && m_reply) {
            m_tooLarge = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &AeatClient::onFinished);
    m_deadline->start(std::chrono::seconds(m_setup.timeoutSeconds));
}

SendOutcome AeatClient::sendAndWait(const SubmissionMessage& message) {
    QEventLoop loop;
    connect(this, &AeatClient::finished, &loop, &QEventLoop::quit);
    send(message);
    if (!m_last)
        loop.exec();
    return *m_last;
}

TransportResult AeatClient::transportResult() const {
    TransportResult result;
    if (m_timedOut) {
        result.failure = Failure::TimedOut;
        return result;
    }
    if (m_tooLarge) {
        result.failure = Failure::TooLarge;
        return result;
    }
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        result.httpStatus = status.toInt();
        result.body = m_reply->readAll();
        return result;
    }
    result.detail = m_tlsErrors.isEmpty() ? m_reply->errorString() : m_tlsErrors.join(u"; ");
    switch (m_reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        result.failure = Failure::ConnectionFailed;
        break;
    case QNetworkReply::SslHandshakeFailedError:
        result.failure =
            certificateAlert(result.detail) ? Failure::CertificateRefused : Failure::TlsFailed;
        break;
    default:
        result.failure =
            certificateAlert(result.detail) ? Failure::CertificateRefused : Failure::ConnectionLost;
        break;
    }
    return result;
}

void AeatClient::onFinished() {
    m_deadline->stop();
    QNetworkReply* reply = m_reply;
    const SendContext context{m_setup.address.toDisplayString(), m_setup.certificateFile,
                              m_setup.timeoutSeconds};
    m_last = SendOutcome::classify(m_sent, transportResult(), context);
    m_reply = nullptr;
    reply->deleteLater();
    emit finished(*m_last);
}
