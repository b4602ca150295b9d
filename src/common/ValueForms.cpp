#include "common/ValueForms.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace ValueForms {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Counts the digits from pos on and moves pos past them.
qsizetype skipDigits(QStringView t, qsizetype& pos) {
    const qsizetype start = pos;
    while (pos < t.size() && isDigit(t[pos]))
        ++pos;
    return pos - start;
}

// Scans [+-]digits[,digits][(e|E)[+-]digits], or with grouping allowed also
// [+-]d{1,3}(.ddd)+[,digits], into plain ASCII with a decimal point.
std::optional<long double> parseWith(const QString& text, bool allowGrouping) {
    const QStringView t = trimBlanks(text);
    if (t.size() > 400)
        return std::nullopt;
    QByteArray ascii;
    ascii.reserve(t.size());
    qsizetype pos = 0;
    if (pos < t.size() && (t[pos] == u'+' || t[pos] == u'-'))
        ascii += char(t[pos++].unicode());
    qsizetype start = pos;
    const qsizetype lead = skipDigits(t, pos);
    if (lead == 0)
        return std::nullopt;
    ascii += t.mid(start, lead).toLatin1();
    bool grouped = false;
    if (allowGrouping && lead <= 3) {
        while (pos + 4 <= t.size() && t[pos] == u'.' && isDigit(t[pos + 1]) &&
               isDigit(t[pos + 2]) && isDigit(t[pos + 3]) &&
               (pos + 4 == t.size() || !isDigit(t[pos + 4]))) {
            ascii += t.mid(pos + 1, 3).toLatin1();
            pos += 4;
            grouped = true;
        }
    }
    if (pos < t.size() && t[pos] == u',') {
        ++pos;
        start = pos;
        const qsizetype fraction = skipDigits(t, pos);
        if (fraction == 0)
            return std::nullopt;
        ascii += '.';
        ascii += t.mid(start, fraction).toLatin1();
    }
    if (!grouped && pos < t.size() && (t[pos] == u'e' || t[pos] == u'E')) {
        ascii += 'e';
        ++pos;
        if (pos < t.size() && (t[pos] == u'+' || t[pos] == u'-'))
            ascii += char(t[pos++].unicode());
        start = pos;
        const qsizetype exponent = skipDigits(t, pos);
        if (exponent == 0)
            return std::nullopt;
        ascii += t.mid(start, exponent).toLatin1();
    }
    if (pos != t.size())
        return std::nullopt;

    char* end = nullptr;
    const long double value = std::strtold(ascii.constData(), &end);
    // Only finite numbers a double field can hold.
    if (end != ascii.constData() + ascii.size() || !std::isfinite(value) ||
        std::fabs(value) > std::numeric_limits<double>::max())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<long double> parseNumber(const QString& text) {
    return parseWith(text, false);
}

std::optional<long double> parseDisplayNumber(const QString& text) {
    return parseWith(text, true);
}

std::optional<int> parseInteger(const QString& text) {
    const QStringView t = trimBlanks(text);
    bool ok = false;
    if (t.size() > 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
        const QStringView digits = t.mid(2);
        if (digits.size() > 8)
            return std::nullopt;
        for (const QChar c : digits) {
            if (!isDigit(c) && !(c >= u'a' && c <= u'f') && !(c >= u'A' && c <= u'F'))
                return std::nullopt;
        }
        const uint value = digits.toUInt(&ok, 16);
        return ok ? std::optional<int>(static_cast<int>(value)) : std::nullopt;
    }
    qsizetype pos = (!t.isEmpty() && (t[0] == u'+' || t[0] == u'-')) ? 1 : 0;
    if (skipDigits(t, pos) == 0 || pos != t.size())
        return std::nullopt;
    const int value = t.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<QDate> parseDate(const QString& text) {
    const QStringView t = trimBlanks(text);
    static const QRegularExpression spanish(
        QStringLiteral("^([0-9]{1,2})/([0-9]{1,2})/([0-9]{4})$"));
    static const QRegularExpression iso(QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})$"));
    int day = 0, month = 0, year = 0;
    if (const auto m = spanish.match(t.toString()); m.hasMatch()) {
        day = m.capturedView(1).toInt();
        month = m.capturedView(2).toInt();
        year = m.capturedView(3).toInt();
    } else if (const auto m2 = iso.match(t.toString()); m2.hasMatch()) {
        year = m2.capturedView(1).toInt();
        month = m2.capturedView(2).toInt();
        day = m2.capturedView(3).toInt();
    } else {
        return std::nullopt;
    }
    // Dates before 1900 are refused: the zero day of the date count is in
    // December 1899, and the document's date type has no room for years
    // before 1000.
    if (year < FirstYear)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString dateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

} // namespace ValueForms
