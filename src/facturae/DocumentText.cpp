#include "facturae/DocumentText.h"

#include "common/ValueForms.h"

namespace DocumentText {

QString amount(const Decimal& value) {
    return value.plainText(2, 2);
}

QString sixDecimalAmount(const Decimal& value) {
    return value.rounded(2).plainText(6, 6);
}

QString leftZeroPad(long long number, int width) {
    QString digits = QString::number(number);
    while (digits.size() < width)
        digits.prepend(u'0');
    return digits;
}

QString date(const QDate& d) {
    const QDate value = d.isValid() ? d : ValueForms::zeroDate();
    return QString::number(value.year()) + u'-' + leftZeroPad(value.month(), 2) + u'-' +
           leftZeroPad(value.day(), 2);
}

QString xmlSafe(const QString& text) {
    auto allowed = [](char16_t c) {
        return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
    };
    bool clean = true;
    for (const QChar c : text) {
        if (!allowed(c.unicode()) || c.isSurrogate()) {
            clean = false;
            break;
        }
    }
    if (clean)
        return text;

    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (!c.isSurrogate() && allowed(c.unicode())) {
            out += c;
        }
        // Lone surrogates cannot be written as UTF-8; they go too.
    }
    return out;
}

} // namespace DocumentText
