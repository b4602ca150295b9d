#include "common/NumberSequence.h"

namespace NumberSequence {

namespace {

// The digits without their leading zeros ("0" stays "0").
QStringView significant(QStringView digits) {
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.mid(1);
    return digits;
}

} // namespace

Parts split(QStringView number) {
    qsizetype start = number.size();
    while (start > 0 && number.at(start - 1).isDigit() && number.at(start - 1).unicode() < 128)
        --start;
    return {number.left(start), number.mid(start)};
}

QString next(const QString& text) {
    const Parts parts = split(text);
    if (parts.digits.isEmpty())
        return {};
    QString digits = parts.digits.toString();
    // Decimal addition on the text itself: no limit on the length.
    qsizetype i = digits.size() - 1;
    for (; i >= 0; --i) {
        if (digits[i] == u'9') {
            digits[i] = u'0';
        } else {
            digits[i] = QChar(digits[i].unicode() + 1);
            break;
        }
    }
    if (i < 0)
        digits.prepend(u'1');
    return parts.prefix.toString() + digits;
}

bool isLater(const QString& number, const QString& other) {
    const Parts a = split(number);
    const Parts b = split(other);
    if (a.digits.isEmpty() || b.digits.isEmpty() || a.prefix != b.prefix)
        return false;
    const QStringView x = significant(a.digits);
    const QStringView y = significant(b.digits);
    return x.size() != y.size() ? x.size() > y.size() : x.compare(y) > 0;
}

} // namespace NumberSequence
