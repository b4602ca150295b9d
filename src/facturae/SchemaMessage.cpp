#include "facturae/SchemaMessage.h"

#include <QRegularExpression>

namespace SchemaMessage {

namespace {

// "{http://...}Name" and "ds:Name" read as "Name".
QString bare(QString name) {
    const qsizetype brace = name.lastIndexOf(u'}');
    if (brace >= 0)
        name = name.mid(brace + 1);
    const qsizetype colon = name.lastIndexOf(u':');
    if (colon >= 0)
        name = name.mid(colon + 1);
    return name;
}

QString bareList(const QString& list) {
    QStringList names;
    for (const QString& part : list.split(u',', Qt::SkipEmptyParts))
        names << QStringLiteral("«%1»").arg(bare(part.trimmed()));
    return names.join(QStringLiteral(" o "));
}

} // namespace

QString spanish(const QString& libxmlMessage) {
    const QString m = libxmlMessage.trimmed();
    static const QRegularExpression element(
        QStringLiteral("^Element '([^']*)'(?:, attribute '([^']*)')?: (.*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch head = element.match(m);
    if (!head.hasMatch())
        return QStringLiteral("No cumple el esquema Facturae: %1").arg(m);
    const QString name = bare(head.captured(1));
    const QString rest = head.captured(3);
    QRegularExpressionMatch x;
    auto test = [&](const char* pattern) {
        x = QRegularExpression(QLatin1String(pattern),
                               QRegularExpression::DotMatchesEverythingOption)
                .match(rest);
        return x.hasMatch();
    };
    if (test("^This element is not expected\\. Expected is (?:one of )?\\( (.*) \\)\\.$"))
        return QStringLiteral("El elemento «%1» no va en este lugar; se esperaba %2.")
            .arg(name, bareList(x.captured(1)));
    if (test("^This element is not expected\\."))
        return QStringLiteral("El elemento «%1» no va en este lugar.").arg(name);
    if (test("^Missing child element\\(s\\)\\. Expected is (?:one of )?\\( (.*) \\)\\.$"))
        return QStringLiteral("Falta %1 dentro de «%2».").arg(bareList(x.captured(1)), name);
    if (test("^\\[facet '(?:minLength|length)'\\] The value (?:'' )?has a length of '0'"))
        return QStringLiteral("«%1» está vacío y es obligatorio.").arg(name);
    if (test("^\\[facet 'minLength'\\] The value (?:'(.*)' )?has a length of '(\\d+)'; this "
             "underruns "
             "the allowed minimum length of '(\\d+)'"))
        return QStringLiteral(
                   "«%1» es demasiado corto: «%2» tiene %3 caracteres y el mínimo es %4.")
            .arg(name, x.captured(1), x.captured(2), x.captured(3));
    if (test("^\\[facet 'maxLength'\\] The value (?:'.*' )?has a length of '(\\d+)'; this exceeds "
             "the "
             "allowed maximum length of '(\\d+)'"))
        return QStringLiteral("«%1» es demasiado largo: tiene %2 caracteres y el máximo es %3.")
            .arg(name, x.captured(1), x.captured(2));
    if (test("^\\[facet 'length'\\] The value (?:'(.*)' )?has a length of '(\\d+)'; this differs "
             "from "
             "the allowed length of '(\\d+)'"))
        return QStringLiteral("«%1» debe tener exactamente %4 caracteres y «%2» tiene %3.")
            .arg(name, x.captured(1), x.captured(2), x.captured(3));
    if (test("^\\[facet 'pattern'\\] The value '(.*)' is not accepted by the pattern"))
        return QStringLiteral("«%1»: el valor «%2» no tiene la forma exigida.")
            .arg(name, x.captured(1));
    if (test("^\\[facet 'enumeration'\\] The value '(.*)' is not an element of the set"))
        return QStringLiteral("«%1»: el valor «%2» no es uno de los admitidos.")
            .arg(name, x.captured(1));
    if (test("^'(.*)' is not a valid value of the (?:local )?(?:atomic|union) type(?: "
             "'([^']*)')?")) {
        const QString type = x.captured(2).toLower();
        QString what = QStringLiteral("no es un valor válido");
        if (type.contains(u"date"))
            what = QStringLiteral("no es una fecha válida (se escribe aaaa-mm-dd)");
        else if (type.contains(u"double") || type.contains(u"decimal") || type.contains(u"int"))
            what = QStringLiteral("no es un número válido (se escribe con punto decimal)");
        return QStringLiteral("«%1»: «%2» %3.").arg(name, x.captured(1), what);
    }
    if (test("^No matching global declaration available for the validation root"))
        return QStringLiteral("«%1» no es el elemento raíz de un documento Facturae.").arg(name);
    if (test("^Character content other than whitespace is not allowed"))
        return QStringLiteral("«%1» no admite texto, solo otros elementos.").arg(name);
    if (test("^The attribute '([^']*)' is required but missing"))
        return QStringLiteral("A «%1» le falta el atributo «%2».").arg(name, x.captured(1));
    if (!head.captured(2).isEmpty())
        return QStringLiteral("El atributo «%1» de «%2» no cumple el esquema Facturae: %3")
            .arg(head.captured(2), name, rest);
    return QStringLiteral("«%1» no cumple el esquema Facturae: %2").arg(name, rest);
}

} // namespace SchemaMessage
