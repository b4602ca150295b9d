#include "invoice/Correction.h"

#include <QStringList>

namespace {

// What the document's InvoiceNumber and InvoiceSeriesCode hold.
constexpr int MaxReferenceLength = 20;

bool isReason(const QString& code) {
    bool ok = false;
    const int n = code.toInt(&ok);
    return ok && code.size() == 2 && ((n >= 1 && n <= 16) || (n >= 80 && n <= 85));
}

} // namespace

QString Correction::correctedSeriesNumber() const {
    return series.isEmpty() ? number : series + QLatin1Char('-') + number;
}

QDate Correction::monthStart(const QDate& date) {
    return QDate(date.year(), date.month(), 1);
}

QDate Correction::monthEnd(const QDate& date) {
    return QDate(date.year(), date.month(), date.daysInMonth());
}

void Correction::periodFromIssueMonth() {
    periodStart = monthStart(issueDate);
    periodEnd = monthEnd(issueDate);
}

const QStringList& Correction::kinds() {
    static const QStringList all = {QStringLiteral("R1"), QStringLiteral("R2"),
                                    QStringLiteral("R3"), QStringLiteral("R4")};
    return all;
}

QString Correction::kindDescription(const QString& kind) {
    if (kind == u"R1")
        return QStringLiteral("Error fundado en derecho y art. 80 Uno, Dos y Seis LIVA");
    if (kind == u"R2")
        return QStringLiteral("Art. 80.3 LIVA (concurso de acreedores)");
    if (kind == u"R3")
        return QStringLiteral("Art. 80.4 LIVA (créditos incobrables)");
    if (kind == u"R4")
        return QStringLiteral("Resto de causas");
    return QString();
}

QString Correction::problem() const {
    if (number.trimmed().isEmpty())
        return QStringLiteral("Falta el número de la factura que se rectifica.");
    if (number.size() > MaxReferenceLength || series.size() > MaxReferenceLength)
        return QStringLiteral("La serie y el número de la factura que se rectifica no pueden "
                              "pasar de %1 caracteres cada uno (%2).")
            .arg(MaxReferenceLength)
            .arg(correctedSeriesNumber());
    if (!issueDate.isValid())
        return QStringLiteral("Falta la fecha de la factura %1 que se rectifica.")
            .arg(correctedSeriesNumber());
    if (!isReason(reasonCode))
        return QStringLiteral("«%1» no es un motivo de rectificación: escriba un código de 01 a "
                              "16 o de 80 a 85.")
            .arg(reasonCode);
    if (method != u"01" && method != u"02" && method != u"03" && method != u"04")
        return QStringLiteral("«%1» no es un método de rectificación: escriba 01 (íntegra), "
                              "02 (por diferencias), 03 (descuento por volumen) o 04 "
                              "(autorizada por la Agencia Tributaria).")
            .arg(method);
    if (!kinds().contains(kind))
        return QStringLiteral("«%1» no es un tipo de factura rectificativa: escriba R1, R2, R3 o "
                              "R4.")
            .arg(kind);
    if (!periodStart.isValid() || !periodEnd.isValid() || periodEnd < periodStart)
        return QStringLiteral("El periodo que se rectifica debe tener inicio y fin, y el fin no "
                              "puede ser anterior al inicio.");
    return QString();
}
