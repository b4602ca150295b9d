#pragma once

#include "sending/ClientSetup.h"
#include "sending/SendOutcome.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class SubmissionMessage;

// Posts one message at a time to the tax agency's service and classifies what
// comes back. A window calls send() and waits for finished(); the tool calls
// sendAndWait(), which runs a local event loop.
class AeatClient : public QObject {
    Q_OBJECT
public:
    // Largest answer read: 1,000 answer lines take well under a megabyte.
    static constexpr qint64 MaxReplyBytes = 8 * 1024 * 1024;

    explicit AeatClient(ClientSetup setup, QObject* parent = nullptr);
    ~AeatClient() override;

    // Starts posting; finished() follows, also for a failure. Throws AppError
    // while a message is still on its way.
    void send(const SubmissionMessage& message);
    SendOutcome sendAndWait(const SubmissionMessage& message);

    bool isBusy() const { return m_busy; }

signals:
    void finished(const SendOutcome& outcome);

private:
    void onFinished();
    TransportResult transportResult() const;
    void complete(const TransportResult& transport);

    ClientSetup m_setup;
    QNetworkAccessManager* m_network;
    QTimer* m_deadline;
    QPointer<QNetworkReply> m_reply;
    QList<RecordId> m_sent;
    QStringList m_tlsErrors;
    bool m_busy = false;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    std::optional<SendOutcome> m_last;
};
