#include "common/ValueForms.h"

#include <QRegularExpression>

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

using Status = NumberRead::Status;

// Reads the plain ASCII form "[+-]digits[.digits][e[+-]digits]".
NumberRead readPlain(const QByteArray& ascii) {
    NumberRead read;
    Decimal value;
    switch (Decimal::parse(ascii.constData(), ascii.size(), value)) {
    case Decimal::ParseStatus::Ok:
        read.status = Status::Ok;
        read.value = value;
        break;
    case Decimal::ParseStatus::NotANumber:
        read.status = Status::NotANumber;
        break;
    case Decimal::ParseStatus::TooManyDecimals:
        read.status = Status::TooManyDecimals;
        break;
    case Decimal::ParseStatus::TooLarge:
        read.status = Status::TooLarge;
        break;
    }
    return read;
}

// Scans [+-]digits[,digits][(e|E)[+-]digits] and the screen's grouped form
// [+-]d{1,3}(.ddd)+[,digits] into plain ASCII with a decimal point. A file
// takes the grouped form only with its decimal comma ("1.234,50"): "1.234"
// may be a thousand or one and a bit, and guessing changes a price. A typed
// number also takes grouping alone and a decimal point.
NumberRead parseWith(const QString& text, bool typed) {
    NumberRead notANumber;
    const QStringView t = trimBlanks(text);
    if (t.isEmpty() || t.size() > 400)
        return notANumber;
    for (const QChar c : t) {
        if (c.unicode() > 0x7F)
            return notANumber;
    }
    const QByteArray all = t.toLatin1();

    if (typed && !all.contains(',') && all.count('.') == 1) {
        // No comma and one point: a decimal point, unless three digits follow
        // it, which reads as well as a thousands point.
        qsizetype pos = (all[0] == '+' || all[0] == '-') ? 1 : 0;
        const qsizetype lead = skipDigits(t, pos);
        if (lead > 0 && pos < t.size() && t[pos] == u'.') {
            ++pos;
            const qsizetype fraction = skipDigits(t, pos);
            if (pos == t.size() && fraction == 3) {
                NumberRead ambiguous;
                ambiguous.status = Status::AmbiguousPoint;
                return ambiguous;
            }
            if (pos == t.size() && fraction > 0)
                return readPlain(all);
        }
        // Anything else with a single point falls through to the comma form.
    }

    QByteArray ascii;
    ascii.reserve(t.size());
    qsizetype pos = 0;
    if (pos < t.size() && (t[pos] == u'+' || t[pos] == u'-'))
        ascii += char(t[pos++].unicode());
    qsizetype start = pos;
    const qsizetype lead = skipDigits(t, pos);
    if (lead == 0)
        return notANumber;
    ascii += all.mid(start, lead);
    bool grouped = false;
    if (lead <= 3) {
        while (pos + 4 <= t.size() && t[pos] == u'.' && isDigit(t[pos + 1]) &&
               isDigit(t[pos + 2]) && isDigit(t[pos + 3]) &&
               (pos + 4 == t.size() || !isDigit(t[pos + 4]))) {
            ascii += all.mid(pos + 1, 3);
            pos += 4;
            grouped = true;
        }
    }
    const bool comma = pos < t.size() && t[pos] == u',';
    if (grouped && !typed && !comma)
        return notANumber;
    if (comma) {
        ++pos;
        start = pos;
        const qsizetype fraction = skipDigits(t, pos);
        if (fraction == 0)
            return notANumber;
        ascii += '.';
        ascii += all.mid(start, fraction);
    }
    if (!grouped && pos < t.size() && (t[pos] == u'e' || t[pos] == u'E')) {
        ascii += 'e';
        ++pos;
        if (pos < t.size() && (t[pos] == u'+' || t[pos] == u'-'))
            ascii += char(t[pos++].unicode());
        start = pos;
        const qsizetype exponent = skipDigits(t, pos);
        if (exponent == 0)
            return notANumber;
        ascii += all.mid(start, exponent);
    }
    if (pos != t.size())
        return notANumber;
    return readPlain(ascii);
}

} // namespace

NumberRead readNumber(const QString& text) {
    return parseWith(text, false);
}

NumberRead readTypedNumber(const QString& text) {
    return parseWith(text, true);
}

std::optional<Decimal> parseNumber(const QString& text) {
    const NumberRead read = readNumber(text);
    return read.ok() ? std::optional<Decimal>(read.value) : std::nullopt;
}

std::optional<Decimal> parseDisplayNumber(const QString& text) {
    const NumberRead read = readTypedNumber(text);
    return read.ok() ? std::optional<Decimal>(read.value) : std::nullopt;
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

namespace {

// Day, month and year as written, before the calendar is asked.
struct DateParts {
    int day = 0, month = 0, year = 0;
};

std::optional<DateParts> dateParts(const QString& text) {
    const QString t = trimBlanks(text).toString();
    static const QRegularExpression spanish(
        QStringLiteral("^([0-9]{1,2})/([0-9]{1,2})/([0-9]{4})$"));
    static const QRegularExpression iso(QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})$"));
    if (const auto m = spanish.match(t); m.hasMatch())
        return DateParts{m.capturedView(1).toInt(), m.capturedView(2).toInt(),
                         m.capturedView(3).toInt()};
    if (const auto m = iso.match(t); m.hasMatch())
        return DateParts{m.capturedView(3).toInt(), m.capturedView(2).toInt(),
                         m.capturedView(1).toInt()};
    return std::nullopt;
}

} // namespace

std::optional<QDate> parseDate(const QString& text) {
    const auto parts = dateParts(text);
    // Dates before 1900 are refused: the zero day of the date count is in
    // December 1899, and the document's date type has no room for years
    // before 1000.
    if (!parts || parts->year < FirstYear)
        return std::nullopt;
    const QDate date(parts->year, parts->month, parts->day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString dateProblem(const QString& text) {
    const auto parts = dateParts(text);
    if (!parts)
        return QStringLiteral("no es una fecha");
    if (parts->month < 1 || parts->month > 12)
        return QStringLiteral("no existe: no hay mes %1").arg(parts->month);
    const QDate first(parts->year, parts->month, 1); // invalid only in the year 0
    const int days = first.isValid() ? first.daysInMonth() : 31;
    if (parts->day < 1 || parts->day > days) {
        static const char* const months[] = {"enero",      "febrero", "marzo",     "abril",
                                             "mayo",       "junio",   "julio",     "agosto",
                                             "septiembre", "octubre", "noviembre", "diciembre"};
        return QStringLiteral("no existe: %1 de %2 tiene %3 días")
            .arg(QLatin1String(months[parts->month - 1]))
            .arg(parts->year)
            .arg(days);
    }
    if (parts->year < FirstYear)
        return QStringLiteral("es anterior a %1").arg(FirstYear);
    return QString();
}

QString dateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

} // namespace ValueForms
