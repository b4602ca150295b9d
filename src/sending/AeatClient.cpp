#include "sending/AeatClient.h"

#include "common/AppError.h"
#include "sending/CertificateProbe.h"
#include "sending/SubmissionMessage.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

using Failure = TransportResult::Failure;

// The message as an upload that can be read once. QNetworkAccessManager posts
// a resettable body again by itself when the connection drops before the
// answer; that would send the same records twice behind the caller's back,
// and a resend is the caller's decision. Reading it once makes Qt report
// ContentReSendError instead.
class OneShotUpload : public QIODevice {
public:
    OneShotUpload(const QByteArray& bytes, QObject* parent) : QIODevice(parent), m_bytes(bytes) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override {
        return m_bytes.size() - m_position + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 count = std::min(maxSize, qint64(m_bytes.size()) - m_position);
        memcpy(data, m_bytes.constData() + m_position, size_t(count));
        m_position += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};

// Qt's own texts are English; the person reads these.
QString serverCertificateProblem(const QSslError& error) {
    switch (error.error()) {
    case QSslError::HostNameMismatch:
        return QStringLiteral("el certificado del servidor no es de esa dirección");
    case QSslError::CertificateExpired:
        return QStringLiteral("el certificado del servidor ha caducado");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("el certificado del servidor aún no es válido; compruebe la fecha "
                              "del equipo");
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("el certificado del servidor no procede de una autoridad de "
                              "confianza");
    default:
        return error.errorString();
    }
}

QString networkProblem(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("conexión rechazada");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("no se encuentra el servidor");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("la red no está disponible");
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ContentReSendError:
        return QStringLiteral("el servidor cerró la conexión");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("falló la negociación del cifrado");
    default:
        if (error >= QNetworkReply::ProxyConnectionRefusedError &&
            error <= QNetworkReply::ProxyAuthenticationRequiredError)
            return QStringLiteral("el proxy de la red no permite la conexión");
        return {};
    }
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
    m_busy = true;
    m_sent = message.records();
    m_tlsErrors.clear();
    m_timedOut = false;
    m_tooLarge = false;
    m_last.reset();

    QNetworkRequest request(m_setup.address);
    request.setSslConfiguration(m_setup.tls);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("text/xml; charset=utf-8"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, message.envelope().size());
    // The service description names an empty action; SOAP 1.1 quotes it.
    request.setRawHeader("SOAPAction", "\"\"");
    // A redirect would carry the records somewhere else: it is an error here.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto* upload = new OneShotUpload(message.envelope(), this);
    m_reply = m_network->post(request, upload);
    upload->setParent(m_reply);
    connect(m_reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        for (const QSslError& error : errors) {
            const QString problem = serverCertificateProblem(error);
            if (!m_tlsErrors.contains(problem))
                m_tlsErrors << problem;
        }
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
    result.detail =
        m_tlsErrors.isEmpty() ? networkProblem(m_reply->error()) : m_tlsErrors.join(u"; ");
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
        result.failure = Failure::TlsFailed;
        break;
    default:
        result.failure = Failure::ConnectionLost;
        break;
    }
    return result;
}

void AeatClient::onFinished() {
    m_deadline->stop();
    const TransportResult transport = transportResult();
    m_reply->deleteLater();
    // A handshake that failed on the server's certificate needs no probe.
    const bool unclear = transport.failure == Failure::ConnectionLost ||
                         (transport.failure == Failure::TlsFailed && m_tlsErrors.isEmpty());
    if (!unclear) {
        complete(transport);
        return;
    }
    auto* probe = new CertificateProbe(m_setup.address, m_setup.tls, this);
    connect(probe, &CertificateProbe::finished, this, [this, probe, transport](bool refused) {
        probe->deleteLater();
        TransportResult result = transport;
        if (refused)
            result.failure = Failure::CertificateRefused;
        complete(result);
    });
    probe->start();
}

void AeatClient::complete(const TransportResult& transport) {
    const SendContext context{m_setup.address.toDisplayString(), m_setup.certificateFile,
                              m_setup.timeoutSeconds};
    m_last = SendOutcome::classify(m_sent, transport, context);
    m_reply = nullptr;
    m_busy = false;
    emit finished(*m_last);
}
