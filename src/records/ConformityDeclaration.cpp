#include "records/ConformityDeclaration.h"

#include "records/DeclarationTexts.h"
#include "records/ProducerData.h"

#include <QDate>

namespace {

QString orPending(const QString& value) {
    return value.trimmed().isEmpty() ? ConformityDeclaration::Pending : value.trimmed();
}

QString yesNo(bool value) {
    return value ? QStringLiteral("Sí") : QStringLiteral("No");
}

// "5 de diciembre de 2023": day, month and year in that order, whatever the
// machine's language.
QString longDate(const QDate& date) {
    static const char* const months[] = {"enero",      "febrero", "marzo",     "abril",
                                         "mayo",       "junio",   "julio",     "agosto",
                                         "septiembre", "octubre", "noviembre", "diciembre"};
    if (!date.isValid())
        return QString();
    return QStringLiteral("%1 de %2 de %3")
        .arg(date.day())
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.year());
}

// "…cumple con lo dispuesto en A; en B; y en C."
QString statement(const ProducerData& producer, const DeclarationTexts& texts) {
    QString rules;
    for (qsizetype i = 0; i < texts.compliance.size(); ++i) {
        if (i > 0)
            rules +=
                i + 1 == texts.compliance.size() ? QStringLiteral("; y ") : QStringLiteral("; ");
        rules += QStringLiteral("en ") + texts.compliance[i];
    }
    return QStringLiteral("La persona o entidad productora identificada en esta declaración "
                          "declara, bajo su responsabilidad, que el sistema informático de "
                          "facturación «%1», en la versión %2, cumple con lo dispuesto %3.")
        .arg(orPending(producer.systemName), orPending(producer.version), rules);
}

} // namespace

const QString ConformityDeclaration::Title =
    QStringLiteral("DECLARACIÓN RESPONSABLE DEL SISTEMA INFORMÁTICO DE FACTURACIÓN");
const QString ConformityDeclaration::Pending = QStringLiteral("pendiente");

ConformityDeclaration ConformityDeclaration::compose(const ProducerData& producer,
                                                     const DeclarationTexts& texts) {
    ConformityDeclaration d;
    d.entries = {
        {QStringLiteral("Nombre del sistema informático"), orPending(producer.systemName)},
        {QStringLiteral("Código identificador del sistema informático"),
         orPending(producer.systemId)},
        {QStringLiteral("Identificador completo de la versión"), orPending(producer.version)},
        {QStringLiteral("Componentes del sistema informático"),
         orPending(producer.components.join(u'\n'))},
        {QStringLiteral("Descripción y principales funcionalidades"),
         orPending(producer.functions.join(u'\n'))},
        {QStringLiteral("Desarrollado para funcionar exclusivamente como VERI*FACTU"),
         yesNo(producer.onlyVerifactu)},
        {QStringLiteral("Permite su uso por varios obligados tributarios o por un mismo usuario "
                        "para la facturación de varios obligados tributarios"),
         yesNo(producer.multipleTaxpayersPossible)},
        {QStringLiteral("Tipos de firma de los registros de facturación y de evento cuando no se "
                        "usa como VERI*FACTU"),
         orPending(producer.signatureTypes)},
        {QStringLiteral("Razón social de la persona o entidad productora"),
         orPending(producer.name)},
        {QStringLiteral("NIF de la persona o entidad productora"), orPending(producer.taxId)},
        {QStringLiteral("Dirección postal completa de contacto"), orPending(producer.address)},
        {QStringLiteral("Declaración"), statement(producer, texts)},
        {QStringLiteral("Fecha de suscripción"), orPending(longDate(texts.subscribedOn))},
        {QStringLiteral("Lugar de suscripción"), orPending(texts.subscribedAt)},
    };
    return d;
}

ConformityDeclaration ConformityDeclaration::builtIn() {
    return compose(ProducerData::builtIn(), DeclarationTexts::builtIn());
}
