#include "sending/SendOutcome.h"

#include "sending/AeatErrorCodes.h"

#include <QDir>
#include <QHash>

#include <algorithm>

namespace {

using Failure = TransportResult::Failure;
using Kind = SendOutcome::Kind;
using Outcome = RecordResult::Outcome;

const QString Pending =
    QStringLiteral("Los registros siguen pendientes y se enviarán de nuevo más tarde.");

RecordId matchKey(RecordId id) {
    id.issuerNif = id.issuerNif.toUpper();
    return id;
}

RecordResult resultOf(const RecordId& id, const AnswerLine& line) {
    RecordResult result;
    result.id = id;
    result.errorCode = line.errorCode;
    result.agencyDescription = line.errorDescription;
    const QString explained = AeatErrorCodes::explain(line.errorCode, line.errorDescription);
    if (line.duplicate) {
        result.outcome = Outcome::Duplicate;
        result.duplicateState = line.duplicateState;
        result.message =
            QStringLiteral("La Agencia Tributaria ya tenía el registro %1 (estado %2).")
                .arg(id.describe(), line.duplicateState);
        return result;
    }
    switch (line.state) {
    case AnswerLine::State::Correcto:
        result.outcome = Outcome::Accepted;
        result.message = QStringLiteral("Registro %1 aceptado.").arg(id.describe());
        break;
    case AnswerLine::State::AceptadoConErrores:
        result.outcome = Outcome::AcceptedWithErrors;
        result.message =
            QStringLiteral("Registro %1 aceptado con errores. %2.").arg(id.describe(), explained);
        break;
    case AnswerLine::State::Incorrecto:
        result.outcome = Outcome::Rejected;
        result.message = QStringLiteral("Registro %1 rechazado. %2.").arg(id.describe(), explained);
        break;
    }
    return result;
}

QString countText(qsizetype count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QString answeredSummary(const SendOutcome& outcome) {
    QHash<Outcome, qsizetype> counts;
    for (const RecordResult& record : outcome.records)
        ++counts[record.outcome];
    QStringList parts;
    if (counts.value(Outcome::Accepted))
        parts << countText(counts.value(Outcome::Accepted), "aceptado", "aceptados");
    if (counts.value(Outcome::AcceptedWithErrors))
        parts << countText(counts.value(Outcome::AcceptedWithErrors), "aceptado con errores",
                           "aceptados con errores");
    if (counts.value(Outcome::Rejected))
        parts << countText(counts.value(Outcome::Rejected), "rechazado", "rechazados");
    if (counts.value(Outcome::Duplicate))
        parts << countText(counts.value(Outcome::Duplicate), "ya registrado", "ya registrados");
    if (counts.value(Outcome::NoAnswer))
        parts << countText(counts.value(Outcome::NoAnswer), "sin respuesta (se enviará de nuevo)",
                           "sin respuesta (se enviarán de nuevo)");
    QString text = QStringLiteral("Respuesta de la Agencia Tributaria: %1.").arg(parts.join(u", "));
    if (!outcome.csv.isEmpty())
        text += QStringLiteral(" Justificante (CSV): %1.").arg(outcome.csv);
    return text;
}

QString certificateText(const SendContext& context) {
    if (context.certificateFile.isEmpty())
        return QStringLiteral(
            "La Agencia Tributaria exige un certificado electrónico y no se ha presentado "
            "ninguno: indique el certificado del emisor en Configuración > Firma");
    return QStringLiteral(
               "La Agencia Tributaria no ha aceptado el certificado %1: compruebe que es el "
               "certificado electrónico del emisor o de su representante, que no ha caducado ni "
               "ha sido revocado, y elíjalo en Configuración > Firma")
        .arg(QDir::toNativeSeparators(context.certificateFile));
}

// A failure after which the records wait for the next attempt: what happened,
// the network's detail, an advice, and that nothing is lost.
SendOutcome failed(Kind kind, bool mayHaveArrived, const QString& what, const QString& detail = {},
                   const QString& advice = {}) {
    SendOutcome outcome;
    outcome.kind = kind;
    outcome.mayHaveArrived = mayHaveArrived;
    outcome.message = detail.isEmpty() ? what : QStringLiteral("%1 (%2)").arg(what, detail);
    outcome.message += QStringLiteral(". ");
    if (!advice.isEmpty())
        outcome.message += advice + QStringLiteral(". ");
    outcome.message += Pending;
    return outcome;
}

} // namespace

QList<RecordResult> matchAnswer(const QList<RecordId>& sent, const ServiceAnswer& answer,
                                QStringList* unexpected) {
    QHash<RecordId, qsizetype> position;
    for (qsizetype i = 0; i < sent.size(); ++i)
        position.insert(matchKey(sent.at(i)), i);

    QList<RecordResult> results;
    results.reserve(sent.size());
    for (const RecordId& id : sent) {
        RecordResult result;
        result.id = id;
        result.message =
            QStringLiteral("La respuesta no menciona el registro %1: se enviará de nuevo.")
                .arg(id.describe());
        results.append(result);
    }
    QList<bool> answered(sent.size(), false);
    for (const AnswerLine& line : answer.lines) {
        const qsizetype at = position.value(matchKey(line.id), -1);
        if (at < 0 || answered.at(at)) {
            if (unexpected)
                unexpected->append(line.id.describe());
            continue;
        }
        answered[at] = true;
        results[at] = resultOf(sent.at(at), line);
    }
    return results;
}

SendOutcome SendOutcome::classify(const QList<RecordId>& sent, const TransportResult& transport,
                                  const SendContext& context) {
    const QString service = QStringLiteral("la Agencia Tributaria (%1)").arg(context.address);
    switch (transport.failure) {
    case Failure::TimedOut:
        return failed(Kind::RetryLater, true,
                      QStringLiteral("No ha llegado la respuesta de %1 en %2 segundos")
                          .arg(service)
                          .arg(context.timeoutSeconds));
    case Failure::TooLarge:
        return failed(
            Kind::RetryLater, true,
            QStringLiteral("La respuesta de %1 es demasiado grande y no se ha leído").arg(service));
    case Failure::ConnectionFailed:
        return failed(Kind::RetryLater, false,
                      QStringLiteral("No se ha podido conectar con %1").arg(service),
                      transport.detail, QStringLiteral("Compruebe la conexión a Internet"));
    case Failure::TlsFailed:
        return failed(
            Kind::RetryLater, false,
            QStringLiteral("No se ha podido establecer la conexión segura con %1").arg(service),
            transport.detail);
    case Failure::CertificateRefused:
        return failed(Kind::CertificateRefused, false, certificateText(context));
    case Failure::ConnectionLost:
        return failed(
            Kind::RetryLater, true,
            QStringLiteral("Se ha cortado la conexión con %1 antes de la respuesta").arg(service),
            transport.detail);
    case Failure::None:
        break;
    }

    // SOAP 1.1 sends a fault with HTTP 500, so the body is read first.
    const ServiceReply reply =
        transport.body.isEmpty() ? ServiceReply() : ServiceReply::parse(transport.body);
    if (reply.kind == ServiceReply::Kind::Fault) {
        SendOutcome outcome;
        outcome.httpStatus = transport.httpStatus;
        outcome.fault = reply.fault;
        QString said = reply.fault.agencyCode
                           ? AeatErrorCodes::explain(reply.fault.agencyCode, reply.fault.text)
                           : reply.fault.faultString.trimmed();
        while (said.endsWith(u'.'))
            said.chop(1);
        if (reply.fault.clientSide) {
            outcome.kind = Kind::ClientFault;
            outcome.message =
                QStringLiteral("La Agencia Tributaria ha rechazado el envío entero. %1. Los "
                               "registros siguen pendientes y no se enviarán de nuevo hasta que "
                               "lo pida: corrija antes lo que indica.")
                    .arg(said);
        } else {
            outcome.kind = Kind::RetryLater;
            outcome.mayHaveArrived = true;
            outcome.message =
                QStringLiteral("La Agencia Tributaria no ha podido atender el envío. %1. %2")
                    .arg(said, Pending);
        }
        return outcome;
    }
    if (transport.httpStatus == 200 && reply.kind == ServiceReply::Kind::Answer) {
        SendOutcome outcome;
        outcome.kind = Kind::Answered;
        outcome.httpStatus = 200;
        outcome.csv = reply.answer.csv;
        outcome.waitSeconds = reply.answer.waitSeconds;
        outcome.submissionState = reply.answer.submissionState;
        outcome.records = matchAnswer(sent, reply.answer, &outcome.unexpectedLines);
        const bool noneAnswered = std::all_of(
            outcome.records.cbegin(), outcome.records.cend(),
            [](const RecordResult& record) { return record.outcome == Outcome::NoAnswer; });
        if (outcome.submissionState == u"Incorrecto" && noneAnswered) {
            // Refused as a whole without a word per record: sending the same
            // message again would only be refused again.
            outcome.kind = Kind::ClientFault;
            outcome.records.clear();
            outcome.message = QStringLiteral(
                "La Agencia Tributaria ha rechazado el envío entero sin indicar el motivo de "
                "cada registro. Los registros siguen pendientes y no se enviarán de nuevo hasta "
                "que lo pida.");
            return outcome;
        }
        outcome.message = answeredSummary(outcome);
        return outcome;
    }

    if (transport.httpStatus == 401 || transport.httpStatus == 403) {
        SendOutcome outcome = failed(Kind::CertificateRefused, false, certificateText(context));
        outcome.httpStatus = transport.httpStatus;
        return outcome;
    }
    SendOutcome outcome =
        transport.httpStatus == 200
            ? failed(Kind::RetryLater, true,
                     QStringLiteral("No se entiende la respuesta de %1: %2")
                         .arg(service, reply.problem))
            : failed(Kind::RetryLater, transport.httpStatus >= 500,
                     QStringLiteral("La Agencia Tributaria (%1) ha respondido con el error HTTP %2")
                         .arg(context.address)
                         .arg(transport.httpStatus),
                     {},
                     // Not a fault of the service: most likely the wrong address.
                     transport.httpStatus < 500
                         ? QStringLiteral("Compruebe la dirección del servicio ([VERIFACTU] "
                                          "ENTORNO y URL en Registro.Ini)")
                         : QString());
    outcome.httpStatus = transport.httpStatus;
    return outcome;
}
