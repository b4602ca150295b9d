#include "pdf/ReadableText.h"

#include "common/Decimal.h"

#include <QDate>

#include <iterator>

namespace {

// The document's figure, when it is a plain decimal number the program can
// hold exactly (any document Orvane writes, and any the schemas allow).
bool figure(const QString& text, Decimal& value) {
    const QByteArray bytes = text.toUtf8();
    return Decimal::parseXml(bytes.constData(), bytes.size(), value) == Decimal::ParseStatus::Ok;
}

} // namespace

QString ReadableText::number(const QString& decimal) {
    Decimal value;
    if (!figure(decimal, value))
        return decimal.trimmed();
    return value.displayText(2, Decimal::Scale);
}

QString ReadableText::money(const QString& decimal, const QString& currencyCode) {
    const QString code = currencyCode.trimmed();
    const QString unit = code.isEmpty() || code == u"EUR" ? QStringLiteral("€") : code;
    const QString figure = number(decimal);
    return figure.isEmpty() ? figure : figure + u'\u00a0' + unit;
}

QString ReadableText::percent(const QString& decimal) {
    const QString figure = number(decimal);
    return figure.isEmpty() ? figure : figure + QStringLiteral("\u00a0%");
}

bool ReadableText::isZero(const QString& decimal) {
    Decimal value;
    return decimal.trimmed().isEmpty() || (figure(decimal, value) && value.isZero());
}

QString ReadableText::date(const QString& isoDate) {
    const QString t = isoDate.trimmed();
    const QDate d = QDate::fromString(t.left(10), Qt::ISODate);
    if (!d.isValid() ||
        (t.size() > 10 && t[10] != u'T' && t[10] != u'Z' && t[10] != u'+' && t[10] != u'-'))
        return t;
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

QString ReadableText::dateTime(const QString& isoDateTime) {
    const QString t = isoDateTime.trimmed();
    const qsizetype tee = t.indexOf(u'T');
    if (tee != 10)
        return date(t);
    const QString day = date(t.left(10));
    QString time = t.mid(11);
    QString zone;
    const qsizetype zoneAt = time.indexOf(u'Z');
    if (zoneAt >= 0) {
        zone = QStringLiteral("UTC");
        time = time.left(zoneAt);
    } else {
        const qsizetype sign = qMax(time.lastIndexOf(u'+'), time.lastIndexOf(u'-'));
        if (sign > 0) {
            zone = time.mid(sign);
            time = time.left(sign);
        }
    }
    const qsizetype fraction = time.indexOf(u'.');
    if (fraction >= 0)
        time = time.left(fraction);
    return zone.isEmpty() ? day + u' ' + time : day + u' ' + time + u' ' + zone;
}

QString ReadableText::iban(const QString& iban) {
    QString compact = iban;
    compact.remove(u' ');
    QString grouped;
    for (qsizetype i = 0; i < compact.size(); i += 4) {
        if (i > 0)
            grouped.append(u' ');
        grouped.append(compact.mid(i, 4));
    }
    return grouped;
}

QString ReadableText::taxName(const QString& typeCode) {
    static const char* const Names[] = {
        "IVA",    "IPSI",     "IGIC",   "IRPF", "Otro",  "ITPAJD", "IE",    "RA",
        "IGTECM", "IECDPCAC", "IIIMAB", "ICIO", "IMVDN", "IMSN",   "IMGSN", "IMPN",
        "REIVA",  "REIGIC",   "REIPSI", "IPS",  "RLEA",  "IVPEE",  "IPCNG", "IACNG",
        "IDEC",   "ILTCAC",   "IGFEI",  "IRNR", "ISS"};
    bool ok = false;
    const int code = typeCode.trimmed().toInt(&ok);
    if (ok && code >= 1 && code <= int(std::size(Names)))
        return QString::fromLatin1(Names[code - 1]);
    return typeCode.trimmed();
}

QString ReadableText::paymentMeans(const QString& code) {
    static const char* const Names[] = {"Al contado",
                                        "Recibo domiciliado",
                                        "Recibo",
                                        "Transferencia",
                                        "Letra aceptada",
                                        "Crédito documentario",
                                        "Contrato de adjudicación",
                                        "Letra de cambio",
                                        "Pagaré a la orden",
                                        "Pagaré no a la orden",
                                        "Cheque",
                                        "Reposición",
                                        "Especiales",
                                        "Compensación",
                                        "Giro postal",
                                        "Cheque conformado",
                                        "Cheque bancario",
                                        "Pago contra reembolso",
                                        "Pago mediante tarjeta"};
    bool ok = false;
    const int n = code.trimmed().toInt(&ok);
    if (ok && n >= 1 && n <= int(std::size(Names)))
        return QString::fromUtf8(Names[n - 1]);
    return code.trimmed();
}

QString ReadableText::centreRole(const QString& roleCode) {
    const QString c = roleCode.trimmed();
    if (c == u"01")
        return QStringLiteral("Oficina contable");
    if (c == u"02")
        return QStringLiteral("Órgano gestor");
    if (c == u"03")
        return QStringLiteral("Unidad tramitadora");
    if (c == u"04")
        return QStringLiteral("Órgano proponente");
    return c.isEmpty() ? QStringLiteral("Centro") : QStringLiteral("Centro ") + c;
}

QString ReadableText::documentTitle(const QString& documentType, const QString& invoiceClass) {
    const QString type = documentType.trimmed();
    QString title = type == u"FA"   ? QStringLiteral("FACTURA SIMPLIFICADA")
                    : type == u"AF" ? QStringLiteral("AUTOFACTURA")
                                    : QStringLiteral("FACTURA");
    const QString cls = invoiceClass.trimmed();
    if (cls == u"OR" || cls == u"CR")
        title += QStringLiteral(" RECTIFICATIVA");
    else if (cls == u"OC" || cls == u"CC")
        title += QStringLiteral(" RECAPITULATIVA");
    if (cls.startsWith(u'C'))
        title += QStringLiteral(" (COPIA)");
    return title;
}
