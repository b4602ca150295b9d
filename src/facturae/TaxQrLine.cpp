#include "facturae/TaxQrLine.h"

#include "common/AppError.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace TaxQrLine {

QString label() {
    return QStringLiteral("QR tributario:");
}

QString compose(const QString& text, const QString& address) {
    const QString line = label() + u' ' + address;
    const QString whole = text.isEmpty() ? line : text + u'\n' + line;
    if (whole.size() > MaxLength)
        throw AppError(QStringLiteral("La información adicional de la factura "
                                      "(InvoiceAdditionalInformation) admite 2.500 caracteres y, "
                                      "con la dirección del QR tributario, tendría %1: acorte el "
                                      "texto y vuelva a generarla. No se ha guardado nada")
                           .arg(whole.size()));
    return whole;
}

QString take(QString& text) {
    QString address;
    QStringList kept;
    for (const QString& line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(label()))
            kept << line;
        else if (address.isEmpty())
            address = trimmed.mid(label().size()).trimmed();
    }
    text = kept.join(u'\n').trimmed();
    return address;
}

QString inDocument(const QByteArray& document) {
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == u"InvoiceAdditionalInformation") {
            QString text = xml.readElementText();
            return xml.hasError() ? QString() : take(text);
        }
    }
    return {};
}

} // namespace TaxQrLine
