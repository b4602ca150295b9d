#include "sending/SubmissionMessage.h"

#include "common/AppError.h"
#include "sending/ServiceNames.h"
#include "sending/XmlNode.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

namespace {

const QByteArray EnvelopeStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soapenv:Header/><soapenv:Body>";
const QByteArray EnvelopeEnd = "</soapenv:Body></soapenv:Envelope>\n";

[[noreturn]] void refuse(const QString& why) {
    throw AppError(
        QStringLiteral("El mensaje para la Agencia Tributaria no se puede enviar: %1").arg(why));
}

// The body without its byte-order mark and XML declaration: what goes inside
// the envelope's Body.
QByteArray bodyElement(const QByteArray& body) {
    qsizetype start = body.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (body.mid(start, 5) == "<?xml") {
        const qsizetype end = body.indexOf("?>", start);
        if (end < 0)
            refuse(QStringLiteral("la declaración XML del cuerpo no termina"));
        static const QRegularExpression encoding(QStringLiteral("encoding\\s*=\\s*[\"']([^\"']*)"));
        const QRegularExpressionMatch match =
            encoding.match(QString::fromLatin1(body.mid(start, end - start)));
        if (match.hasMatch() && match.captured(1).compare(u"UTF-8", Qt::CaseInsensitive) != 0)
            refuse(QStringLiteral("el cuerpo está en %1 y debe estar en UTF-8")
                       .arg(match.captured(1)));
        start = end + 2;
    }
    while (start < body.size() && QByteArrayView(" \t\r\n").contains(body.at(start)))
        ++start;
    return body.mid(start);
}

RecordId recordId(const XmlNode& record) {
    const bool alta = record.name == u"RegistroAlta";
    const XmlNode* id = record.child(ServiceNames::Information, QLatin1String("IDFactura"));
    if (!id)
        refuse(QStringLiteral("un registro no tiene IDFactura"));
    RecordId result;
    if (alta) {
        result.issuerNif =
            id->childText(ServiceNames::Information, QLatin1String("IDEmisorFactura"));
        result.number = id->childText(ServiceNames::Information, QLatin1String("NumSerieFactura"));
        result.issueDate =
            id->childText(ServiceNames::Information, QLatin1String("FechaExpedicionFactura"));
    } else {
        result.operation = RecordId::Operation::Anulacion;
        result.issuerNif =
            id->childText(ServiceNames::Information, QLatin1String("IDEmisorFacturaAnulada"));
        result.number =
            id->childText(ServiceNames::Information, QLatin1String("NumSerieFacturaAnulada"));
        result.issueDate = id->childText(ServiceNames::Information,
                                         QLatin1String("FechaExpedicionFacturaAnulada"));
    }
    if (result.issuerNif.isEmpty() || result.number.isEmpty() || result.issueDate.isEmpty())
        refuse(QStringLiteral("un registro no tiene completo su IDFactura"));
    return result;
}

} // namespace

SubmissionMessage SubmissionMessage::fromBody(const QByteArray& body) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(body);
    if (utf8.hasError())
        refuse(QStringLiteral("el cuerpo no está en UTF-8"));

    XmlNode root;
    try {
        root = XmlNode::parse(body);
    } catch (const AppError& error) {
        refuse(error.message());
    }
    if (!root.is(ServiceNames::Submission, QLatin1String("RegFactuSistemaFacturacion")))
        refuse(QStringLiteral("el cuerpo es «%1» y debe ser RegFactuSistemaFacturacion")
                   .arg(root.name));

    SubmissionMessage message;
    QSet<RecordId> seen;
    for (const XmlNode& wrapper : root.children) {
        if (!wrapper.is(ServiceNames::Submission, QLatin1String("RegistroFactura")))
            continue;
        for (const XmlNode& record : wrapper.children) {
            if (!record.is(ServiceNames::Information, QLatin1String("RegistroAlta")) &&
                !record.is(ServiceNames::Information, QLatin1String("RegistroAnulacion")))
                continue;
            const RecordId id = recordId(record);
            if (seen.contains(id))
                refuse(QStringLiteral("el registro %1 está dos veces en el mismo envío")
                           .arg(id.describe()));
            seen.insert(id);
            message.m_records.append(id);
        }
    }
    if (message.m_records.isEmpty())
        refuse(QStringLiteral("no lleva ningún registro de facturación"));
    if (message.m_records.size() > MaxRecords)
        refuse(QStringLiteral("lleva %1 registros y un envío admite como mucho %2")
                   .arg(message.m_records.size())
                   .arg(MaxRecords));

    const QByteArray element = bodyElement(body);
    message.m_envelope.reserve(EnvelopeStart.size() + element.size() + EnvelopeEnd.size());
    message.m_envelope.append(EnvelopeStart).append(element).append(EnvelopeEnd);
    return message;
}
