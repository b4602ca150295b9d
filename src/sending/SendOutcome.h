#pragma once

#include "sending/RecordId.h"
#include "sending/ServiceReply.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

// What became of one record of a message.
struct RecordResult {
    enum class Outcome {
        Accepted,           // Correcto
        AcceptedWithErrors, // AceptadoConErrores: registered; the error is to be corrected
        Rejected,           // Incorrecto: not registered
        Duplicate,          // the agency already held it (code 3000): see duplicateState
        NoAnswer,           // the answer does not name it: its fate is unknown
    };

    RecordId id;
    Outcome outcome = Outcome::NoAnswer;
    int errorCode = 0;
    QString agencyDescription; // as the agency wrote it
    QString duplicateState;    // Correcta, AceptadaConErrores or Anulada
    QString message;           // Spanish, for the person
};

// What the transport saw of one exchange; the client fills it in.
struct TransportResult {
    enum class Failure {
        None,               // a reply came: httpStatus and body
        TimedOut,           // no whole reply within the time allowed
        TooLarge,           // the reply passed the size limit
        ConnectionFailed,   // nothing reached the service (refused, unknown host)
        TlsFailed,          // the secure connection could not be set up
        CertificateRefused, // the service did not accept the client certificate
        ConnectionLost,     // the connection ended after the message may have been sent
    };

    Failure failure = Failure::None;
    int httpStatus = 0;
    QByteArray body;
    QString detail; // the network layer's own words
};

// Where and how a message went, for the messages a person reads.
struct SendContext {
    QString address;
    QString certificateFile; // empty when no client certificate was offered
    int timeoutSeconds = 0;
};

// The classified outcome of sending one message.
struct SendOutcome {
    enum class Kind {
        Answered,           // the service answered: see records
        ClientFault,        // the service refused the message: do not send it again unchanged
        RetryLater,         // server fault, HTTP 5xx, timeout, lost connection, TLS failure
        CertificateRefused, // the client certificate was missing or refused
    };

    Kind kind = Kind::RetryLater;
    // No answer was read, but the service may have registered the records:
    // a resend may be answered as a duplicate of this very message.
    bool mayHaveArrived = false;
    QString message; // Spanish, one paragraph
    int httpStatus = 0;
    std::optional<SoapFault> fault;

    // Answered only.
    QString csv;
    int waitSeconds = ServiceAnswer::DefaultWaitSeconds;
    QString submissionState;
    QList<RecordResult> records; // one per record sent, in the order sent
    QStringList unexpectedLines; // answer lines that name no record of the message

    // The records stay pending and go again at the next allowed time.
    bool retryLater() const { return kind == Kind::RetryLater || kind == Kind::CertificateRefused; }

    static SendOutcome classify(const QList<RecordId>& sent, const TransportResult& transport,
                                const SendContext& context);
};

// Each record sent with the answer line of the same id and operation; lines
// naming no record sent go to unexpected.
QList<RecordResult> matchAnswer(const QList<RecordId>& sent, const ServiceAnswer& answer,
                                QStringList* unexpected = nullptr);

Q_DECLARE_METATYPE(SendOutcome)
