#include "book/BookText.h"

#include "common/Decimal.h"
#include "common/NumberSequence.h"

namespace BookText {

QString folded(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    }
    return out.toCaseFolded();
}

QString numberOrder(const QString& series, const QString& number) {
    // Digits are padded to a fixed width so that text order is value order;
    // longer runs than that are left as they are.
    constexpr qsizetype Width = 20;
    const NumberSequence::Parts parts = NumberSequence::split(number);
    const QString digits = parts.digits.toString();
    return series + QChar(1) + parts.prefix.toString() + QChar(1) +
           (digits.isEmpty() || digits.size() >= Width ? digits
                                                       : digits.rightJustified(Width, u'0'));
}

QString amount(qint64 cents) {
    return Decimal::fromScaled(cents, 2).displayText(2, 2);
}

} // namespace BookText
