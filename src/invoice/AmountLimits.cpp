#include "invoice/AmountLimits.h"

#include "common/AppError.h"

#include <QRegularExpression>

namespace AmountLimits {

namespace {

using Status = ValueForms::NumberRead::Status;

struct FieldInfo {
    const char* noun; // with its article, as a sentence starts
    bool feminine;
    const char* range; // empty: no limit of its own
};

FieldInfo infoOf(NumberField field) {
    switch (field) {
    case NumberField::Cantidad:
        return {"La cantidad", true, "entre -100.000.000.000 y 100.000.000.000"};
    case NumberField::Precio:
        return {"El precio", false, "entre -100.000.000.000 y 100.000.000.000"};
    case NumberField::Importe:
        return {"El importe", false, ""};
    case NumberField::Dto:
        return {"El descuento", false, "entre -100 y 100 (negativo, un cargo)"};
    case NumberField::Descuento:
        return {"El descuento en euros", false, ""};
    case NumberField::Total:
        return {"El total", false, ""};
    case NumberField::Iva:
        return {"El tipo de IVA", false, "entre 0 y 100"};
    case NumberField::Withholding:
        return {"El tipo de retención del I.R.P.F.", false, "entre 0 y 100"};
    }
    return {"El número", false, ""};
}

const Decimal& hundred() {
    static const Decimal value = Decimal::fromInteger(100);
    return value;
}

const Decimal& largestMagnitude() {
    static const Decimal value = Decimal::fromInteger(100000000000LL);
    return value;
}

// "1.500" -> "1500" and "1,5".
QString ambiguityHint(const QString& typed) {
    QString digits = typed.trimmed();
    QString decimal = digits;
    digits.remove(u'.');
    decimal.replace(u'.', u',');
    while (decimal.endsWith(u'0'))
        decimal.chop(1);
    if (decimal.endsWith(u','))
        decimal.chop(1);
    return QStringLiteral("escriba %1 si son miles o %2 si es una cifra con decimales")
        .arg(digits, decimal);
}

// What to write instead of a file's text that is not a number: the same
// value in the files' form when it can be told, else the form itself.
QString fileNumberHint(const QString& t) {
    static const QRegularExpression pointDecimal(QStringLiteral("^[+-]?([0-9]+)\\.([0-9]+)$"));
    static const QRegularExpression pointGroups(QStringLiteral("^[+-]?[0-9]{1,3}(\\.[0-9]{3})+$"));
    static const QRegularExpression commaGroups(
        QStringLiteral("^[+-]?[0-9]{1,3}(,[0-9]{3})+(\\.[0-9]+)?$"));
    if (const auto m = pointDecimal.match(t); m.hasMatch()) {
        // "1.500": a thousand and five hundred, or one and a half?
        if (m.capturedLength(1) <= 3 && m.capturedLength(2) == 3)
            return ambiguityHint(t);
        return QStringLiteral("escriba la coma decimal: %1").arg(QString(t).replace(u'.', u','));
    }
    if (pointGroups.match(t).hasMatch())
        return QStringLiteral("si son miles, escríbalo sin puntos: %1")
            .arg(QString(t).remove(u'.'));
    if (commaGroups.match(t).hasMatch())
        return QStringLiteral("escriba la coma decimal y los miles sin separar: %1")
            .arg(QString(t).remove(u',').replace(u'.', u','));
    return QStringLiteral("escriba un número con la coma decimal, como 1234,50 o 1.234,50");
}

QString problem(NumberField field, const QString& text, const ValueForms::NumberRead& read) {
    if (read.status == Status::Ok && withinLimits(field, read.value))
        return QString(); // the usual case, without building any text
    const FieldInfo info = infoOf(field);
    const QString noun = QString::fromUtf8(info.noun);
    const QString quoted = QStringLiteral("«%1»").arg(text.trimmed());
    const QString range = QString::fromUtf8(info.range);
    switch (read.status) {
    case Status::NotANumber:
        return QStringLiteral("%1 %2 no es un número (use la coma decimal: 12,50)")
            .arg(noun, quoted);
    case Status::TooManyDecimals:
        return QStringLiteral("%1 %2 tiene más de 8 decimales").arg(noun, quoted);
    case Status::AmbiguousPoint:
        return QStringLiteral("%1 %2 es %3: %4")
            .arg(noun, quoted,
                 info.feminine ? QStringLiteral("ambigua") : QStringLiteral("ambiguo"),
                 ambiguityHint(text));
    case Status::TooLarge:
        return range.isEmpty() ? QStringLiteral("%1 %2 es demasiado grande").arg(noun, quoted)
                               : QStringLiteral("%1 %2 debe estar %3").arg(noun, quoted, range);
    case Status::Ok:
        if (!withinLimits(field, read.value))
            return QStringLiteral("%1 %2 debe estar %3").arg(noun, quoted, range);
        return QString();
    }
    return QString();
}

} // namespace

bool withinLimits(NumberField field, const Decimal& value) {
    switch (field) {
    case NumberField::Cantidad:
    case NumberField::Precio:
        return value.abs() <= largestMagnitude();
    case NumberField::Dto:
        return value.abs() <= hundred();
    case NumberField::Iva:
    case NumberField::Withholding:
        return !value.isNegative() && value <= hundred();
    case NumberField::Importe:
    case NumberField::Descuento:
    case NumberField::Total:
        return true;
    }
    return true;
}

QString typedProblem(NumberField field, const QString& typed, const ValueForms::NumberRead& read) {
    return problem(field, typed, read);
}

QString importProblem(NumberField field, const QString& key, const QString& text,
                      const ValueForms::NumberRead& read) {
    if (read.status == Status::NotANumber)
        return QStringLiteral("%1: «%2» no es un número; %3").arg(key, text, fileNumberHint(text));
    const QString message = problem(field, text, read);
    if (message.isEmpty())
        return message;
    // "PRECIO3: el precio «...» ..."
    return key + QStringLiteral(": ") + message.left(1).toLower() + message.mid(1);
}

Decimal typedValue(NumberField field, const QString& typed) {
    const ValueForms::NumberRead read = ValueForms::readTypedNumber(typed);
    const QString message = typedProblem(field, typed, read);
    if (!message.isEmpty())
        throw AppError(message);
    return read.value;
}

} // namespace AmountLimits
