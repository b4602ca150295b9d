#include "sending/ServiceReply.h"

#include "common/AppError.h"
#include "sending/ServiceNames.h"
#include "sending/XmlNode.h"

#include <QRegularExpression>

namespace {

using ServiceNames::Answer;
using ServiceNames::Information;

ServiceReply unreadable(const QString& why) {
    ServiceReply reply;
    reply.problem = why;
    return reply;
}

SoapFault readFault(const XmlNode& node) {
    // faultcode and faultstring are unqualified in SOAP 1.1.
    SoapFault fault;
    fault.faultCode = node.childText(QLatin1String(""), QLatin1String("faultcode"));
    fault.faultString = node.childText(QLatin1String(""), QLatin1String("faultstring"));
    // Only Server (and its dotted refinements) says "try again"; Client,
    // VersionMismatch, MustUnderstand all mean the same message would fail again.
    const QString local = fault.faultCode.section(u':', -1);
    fault.clientSide = !(local == u"Server" || local.startsWith(u"Server."));
    static const QRegularExpression coded(QStringLiteral("^\\s*Codigo\\[(\\d+)\\]\\.?\\s*(.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = coded.match(fault.faultString);
    if (match.hasMatch()) {
        fault.agencyCode = match.captured(1).toInt();
        fault.text = match.captured(2).trimmed();
    } else {
        fault.text = fault.faultString;
    }
    return fault;
}

bool readLine(const XmlNode& node, AnswerLine& line) {
    const XmlNode* id = node.child(Answer, QLatin1String("IDFactura"));
    const XmlNode* operation = node.child(Answer, QLatin1String("Operacion"));
    if (!id || !operation)
        return false;
    line.id.issuerNif = id->childText(Information, QLatin1String("IDEmisorFactura"));
    line.id.number = id->childText(Information, QLatin1String("NumSerieFactura"));
    line.id.issueDate = id->childText(Information, QLatin1String("FechaExpedicionFactura"));
    const QString type = operation->childText(Information, QLatin1String("TipoOperacion"));
    if (type == u"Alta")
        line.id.operation = RecordId::Operation::Alta;
    else if (type == u"Anulacion")
        line.id.operation = RecordId::Operation::Anulacion;
    else
        return false;

    const QString state = node.childText(Answer, QLatin1String("EstadoRegistro"));
    if (state == u"Correcto")
        line.state = AnswerLine::State::Correcto;
    else if (state == u"AceptadoConErrores")
        line.state = AnswerLine::State::AceptadoConErrores;
    else if (state == u"Incorrecto")
        line.state = AnswerLine::State::Incorrecto;
    else
        return false;
    line.errorCode = node.childText(Answer, QLatin1String("CodigoErrorRegistro")).toInt();
    line.errorDescription = node.childText(Answer, QLatin1String("DescripcionErrorRegistro"));
    if (const XmlNode* duplicate = node.child(Answer, QLatin1String("RegistroDuplicado"))) {
        line.duplicate = true;
        line.duplicateState =
            duplicate->childText(Information, QLatin1String("EstadoRegistroDuplicado"));
        line.duplicateRequestId =
            duplicate->childText(Information, QLatin1String("IdPeticionRegistroDuplicado"));
    }
    return true;
}

} // namespace

ServiceReply ServiceReply::parse(const QByteArray& bytes) {
    XmlNode root;
    try {
        root = XmlNode::parse(bytes);
    } catch (const AppError& error) {
        return unreadable(QStringLiteral("la respuesta no es XML: %1").arg(error.message()));
    }
    if (!root.is(ServiceNames::SoapEnvelope, QLatin1String("Envelope")))
        return unreadable(QStringLiteral("la respuesta no es un sobre SOAP"));
    const XmlNode* body = root.child(ServiceNames::SoapEnvelope, QLatin1String("Body"));
    if (!body || body->children.isEmpty())
        return unreadable(QStringLiteral("la respuesta no tiene cuerpo"));
    const XmlNode& content = body->children.first();

    ServiceReply reply;
    if (content.is(ServiceNames::SoapEnvelope, QLatin1String("Fault"))) {
        reply.kind = Kind::Fault;
        reply.fault = readFault(content);
        return reply;
    }
    if (!content.is(Answer, QLatin1String("RespuestaRegFactuSistemaFacturacion")))
        return unreadable(
            QStringLiteral("la respuesta es «%1», no una respuesta al envío").arg(content.name));

    reply.kind = Kind::Answer;
    ServiceAnswer& answer = reply.answer;
    answer.csv = content.childText(Answer, QLatin1String("CSV"));
    answer.submissionState = content.childText(Answer, QLatin1String("EstadoEnvio"));
    bool numeric = false;
    const int wait = content.childText(Answer, QLatin1String("TiempoEsperaEnvio")).toInt(&numeric);
    if (numeric && wait >= 0)
        answer.waitSeconds = wait;
    for (const XmlNode& node : content.children) {
        if (!node.is(Answer, QLatin1String("RespuestaLinea")))
            continue;
        AnswerLine line;
        // A line that cannot be read leaves its record unanswered, so it is sent again.
        if (readLine(node, line))
            answer.lines.append(line);
    }
    return reply;
}
