#include "sending/AeatErrorCodes.h"

#include <QHash>

namespace {

const QHash<int, QString>& table() {
    static const QHash<int, QString> texts{
        {2000, QStringLiteral("la huella del registro no coincide con sus datos; compruebe el "
                              "registro con «Registro de facturación» antes de volver a enviarlo")},
        {2004, QStringLiteral("la fecha y hora de generación del registro se aparta de la hora de "
                              "la Agencia Tributaria más de lo admitido; ponga en hora el reloj "
                              "del equipo")},
        {2007, QStringLiteral("el registro se presentó como el primero de la cadena, pero la "
                              "Agencia Tributaria ya tiene registros de este emisor y de este "
                              "sistema informático")},
        {3000, QStringLiteral("la Agencia Tributaria ya tenía este registro de facturación "
                              "(registro duplicado)")},
        {3001, QStringLiteral("la factura ya estaba anulada en la Agencia Tributaria")},
        {3002, QStringLiteral("la Agencia Tributaria no tiene el registro de facturación al que "
                              "se refiere (por ejemplo, la factura que se quiere anular)")},
        {4104, QStringLiteral("la Agencia Tributaria no identifica el NIF del obligado a emitir "
                              "de la cabecera; compruebe el NIF de «Mis datos»")},
        {20009, QStringLiteral("error interno en el servidor de la Agencia Tributaria")},
    };
    return texts;
}

} // namespace

QString AeatErrorCodes::knownText(int code) {
    return table().value(code);
}

QString AeatErrorCodes::explain(int code, const QString& agencyDescription) {
    QString text = knownText(code);
    if (text.isEmpty())
        text = agencyDescription.trimmed();
    // The caller ends the sentence.
    while (text.endsWith(u'.'))
        text.chop(1);
    if (text.isEmpty())
        text = QStringLiteral("sin descripción");
    return QStringLiteral("Código %1: %2").arg(code).arg(text);
}
