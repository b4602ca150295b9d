#include "facturae/CorrectiveCodes.h"

namespace CorrectiveCodes {

namespace {

QString descriptionIn(const QList<Code>& codes, const QString& code) {
    for (const Code& c : codes) {
        if (c.code == code)
            return c.description;
    }
    return QString();
}

} // namespace

const QList<Code>& reasons() {
    // The schemas' own spelling, capitals and blanks included: the schema
    // refuses any other.
    static const QList<Code> codes = {
        {QStringLiteral("01"), QStringLiteral("Número de la factura")},
        {QStringLiteral("02"), QStringLiteral("Serie de la factura")},
        {QStringLiteral("03"), QStringLiteral("Fecha expedición")},
        {QStringLiteral("04"), QStringLiteral("Nombre y apellidos/Razón Social-Emisor")},
        {QStringLiteral("05"), QStringLiteral("Nombre y apellidos/Razón Social-Receptor")},
        {QStringLiteral("06"), QStringLiteral("Identificación fiscal Emisor/obligado")},
        {QStringLiteral("07"), QStringLiteral("Identificación fiscal Receptor")},
        {QStringLiteral("08"), QStringLiteral("Domicilio Emisor/Obligado")},
        {QStringLiteral("09"), QStringLiteral("Domicilio Receptor")},
        {QStringLiteral("10"), QStringLiteral("Detalle Operación")},
        {QStringLiteral("11"), QStringLiteral("Porcentaje impositivo a aplicar")},
        {QStringLiteral("12"), QStringLiteral("Cuota tributaria a aplicar")},
        {QStringLiteral("13"), QStringLiteral("Fecha/Periodo a aplicar")},
        {QStringLiteral("14"), QStringLiteral("Clase de factura")},
        {QStringLiteral("15"), QStringLiteral("Literales legales")},
        {QStringLiteral("16"), QStringLiteral("Base imponible")},
        {QStringLiteral("80"), QStringLiteral("Cálculo de cuotas repercutidas")},
        {QStringLiteral("81"), QStringLiteral("Cálculo de cuotas retenidas")},
        {QStringLiteral("82"),
         QStringLiteral("Base imponible modificada por devolución de envases / embalajes")},
        {QStringLiteral("83"),
         QStringLiteral("Base imponible modificada por descuentos y bonificaciones")},
        {QStringLiteral("84"),
         QStringLiteral(
             "Base imponible modificada por resolución firme, judicial o administrativa")},
        {QStringLiteral("85"), QStringLiteral("Base imponible modificada cuotas repercutidas no "
                                              "satisfechas. Auto de declaración de concurso")},
    };
    return codes;
}

const QList<Code>& correctionMethods() {
    static const QList<Code> codes = {
        {QStringLiteral("01"), QStringLiteral("Rectificación íntegra")},
        {QStringLiteral("02"), QStringLiteral("Rectificación por diferencias")},
        {QStringLiteral("03"), QStringLiteral("Rectificación por descuento por volumen de "
                                              "operaciones durante un periodo")},
        {QStringLiteral("04"), QStringLiteral("Autorizadas por la Agencia Tributaria")},
    };
    return codes;
}

QString reasonDescription(const QString& code) {
    return descriptionIn(reasons(), code);
}

QString correctionMethodDescription(const QString& code) {
    return descriptionIn(correctionMethods(), code);
}

} // namespace CorrectiveCodes
