#include "common/Decimal.h"

#include "common/AppError.h"

#include <cstring>

using WideMath::U128;
using WideMath::U256;

namespace {

constexpr std::uint64_t Unit = 100000000ULL; // 10^Scale

[[noreturn]] void tooLarge() {
    throw AppError(QStringLiteral("La cifra es demasiado grande para calcularla con exactitud"));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// p / 10^k (1 <= k <= 19) rounded half away from zero, as 128 bits; false
// when the quotient does not fit.
bool roundDivide(U256& p, int k, U128& out) {
    if (k > 1)
        WideMath::divSmall(p, WideMath::powerOfTen(k - 1));
    const std::uint64_t firstCut = WideMath::divSmall(p, 10);
    if (p.w[2] != 0 || p.w[3] != 0)
        return false;
    out = {p.w[1], p.w[0]};
    if (firstCut >= 5)
        return WideMath::add(out, U128{0, 1});
    return true;
}

// The whole part's digits, most significant first; returns how many.
int writeWhole(U128 whole, char* out) {
    char reversed[48];
    int n = 0;
    do {
        // Nineteen digits at a time keeps the wide divisions few.
        std::uint64_t chunk = WideMath::divSmall(whole, WideMath::powerOfTen(19));
        const bool more = !WideMath::isZero(whole);
        int digits = 0;
        do {
            reversed[n++] = char('0' + chunk % 10);
            chunk /= 10;
            ++digits;
        } while (chunk > 0 || (more && digits < 19));
    } while (!WideMath::isZero(whole));
    for (int i = 0; i < n; ++i)
        out[i] = reversed[n - 1 - i];
    return n;
}

} // namespace

Decimal Decimal::fromInteger(qint64 value) {
    return fromScaled(value, 0);
}

Decimal Decimal::fromScaled(qint64 mantissa, int decimals) {
    Decimal d;
    const std::uint64_t magnitude = mantissa < 0 ? 0 - static_cast<std::uint64_t>(mantissa)
                                                 : static_cast<std::uint64_t>(mantissa);
    d.m_units =
        WideMath::mul64(magnitude, WideMath::powerOfTen(Scale - qBound(0, decimals, Scale)));
    d.m_negative = mantissa < 0;
    return d;
}

Decimal::ParseStatus Decimal::parse(const char* text, qsizetype length, Decimal& out) {
    return parseForm(text, length, false, out);
}

Decimal::ParseStatus Decimal::parseXml(const char* text, qsizetype length, Decimal& out) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (length > 0 && blank(*text)) {
        ++text;
        --length;
    }
    while (length > 0 && blank(text[length - 1]))
        --length;
    return parseForm(text, length, true, out);
}

Decimal::ParseStatus Decimal::parseForm(const char* text, qsizetype length, bool xmlForm,
                                        Decimal& out) {
    qsizetype i = 0;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    // The significant digits (no leading zeros) and the power of ten that
    // goes with the last of them.
    char significant[64];
    int count = 0;
    long long exponent = 0;
    bool tooManyDigits = false;
    long long explicitExponent = 0;
    qsizetype digitsSeen = 0;
    auto take = [&](char c, bool fraction) {
        ++digitsSeen;
        if (fraction)
            --exponent;
        if (count == 0 && c == '0')
            return;
        if (count < int(sizeof significant))
            significant[count++] = c;
        else if (c != '0')
            tooManyDigits = true; // more than 64 significant digits: beyond any limit
        else
            ++exponent; // a zero dropped past the buffer still scales the rest
    };
    for (; i < length && isDigit(text[i]); ++i)
        take(text[i], false);
    const long long wholeDigits = count + exponent;
    // Documents may leave out either side of the point (".5", "5."), never both.
    if (digitsSeen == 0 && !(xmlForm && i < length && text[i] == '.'))
        return ParseStatus::NotANumber;
    if (i < length && text[i] == '.') {
        ++i;
        const qsizetype before = digitsSeen;
        for (; i < length && isDigit(text[i]); ++i)
            take(text[i], true);
        if (digitsSeen == before && (!xmlForm || digitsSeen == 0))
            return ParseStatus::NotANumber;
    }
    if (!xmlForm && i < length && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < length && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        long long value = 0;
        qsizetype expDigits = 0;
        for (; i < length && isDigit(text[i]); ++i, ++expDigits) {
            if (value < 1000000)
                value = value * 10 + (text[i] - '0');
        }
        if (expDigits == 0)
            return ParseStatus::NotANumber;
        exponent += negativeExponent ? -value : value;
        explicitExponent = negativeExponent ? -value : value;
    }
    if (i != length)
        return ParseStatus::NotANumber;

    while (count > 0 && significant[count - 1] == '0') {
        --count;
        ++exponent;
    }
    if (count == 0) {
        out = Decimal();
        return ParseStatus::Ok;
    }
    if (tooManyDigits)
        return wholeDigits + explicitExponent > 30 ? ParseStatus::TooLarge
                                                   : ParseStatus::TooManyDecimals;
    if (exponent < -Scale)
        return ParseStatus::TooManyDecimals;
    const long long shift = exponent + Scale;
    if (count + shift > 39)
        return ParseStatus::TooLarge;

    U128 units;
    for (int k = 0; k < count; ++k) {
        if (!WideMath::mulSmall(units, 10) ||
            !WideMath::add(units, U128{0, std::uint64_t(significant[k] - '0')}))
            return ParseStatus::TooLarge;
    }
    for (long long left = shift; left > 0;) {
        const int step = int(qMin<long long>(left, 19));
        if (!WideMath::mulSmall(units, WideMath::powerOfTen(step)))
            return ParseStatus::TooLarge;
        left -= step;
    }
    out.m_units = units;
    out.m_negative = negative;
    return ParseStatus::Ok;
}

Decimal Decimal::fromText(const char* text) {
    Decimal d;
    if (parse(text, qsizetype(std::strlen(text)), d) != ParseStatus::Ok)
        throw AppError(QStringLiteral("«%1» no es un número").arg(QString::fromLatin1(text)));
    return d;
}

Decimal Decimal::abs() const {
    Decimal d = *this;
    d.m_negative = false;
    return d;
}

Decimal Decimal::operator-() const {
    Decimal d = *this;
    d.m_negative = !m_negative && !isZero();
    return d;
}

int Decimal::decimals() const {
    U128 rest = m_units;
    std::uint64_t fraction = WideMath::divSmall(rest, Unit);
    if (fraction == 0)
        return 0;
    int n = Scale;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --n;
    }
    return n;
}

Decimal& Decimal::operator+=(const Decimal& other) {
    if (m_negative == other.m_negative) {
        U128 sum = m_units;
        if (!WideMath::add(sum, other.m_units))
            tooLarge();
        m_units = sum;
    } else if (WideMath::compare(m_units, other.m_units) >= 0) {
        WideMath::subtract(m_units, other.m_units);
    } else {
        U128 larger = other.m_units;
        WideMath::subtract(larger, m_units);
        m_units = larger;
        m_negative = other.m_negative;
    }
    if (isZero())
        m_negative = false;
    return *this;
}

Decimal& Decimal::operator-=(const Decimal& other) {
    return *this += -other;
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    if (a.m_negative != b.m_negative)
        return a.m_negative ? std::strong_ordering::less : std::strong_ordering::greater;
    const int magnitude = WideMath::compare(a.m_units, b.m_units);
    const int order = a.m_negative ? -magnitude : magnitude;
    return order < 0 ? std::strong_ordering::less
                     : (order > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

Decimal Decimal::rounded(int decimals) const {
    if (decimals >= Scale)
        return *this;
    const std::uint64_t divisor = WideMath::powerOfTen(Scale - qMax(0, decimals));
    Decimal d = *this;
    const std::uint64_t rest = WideMath::divSmall(d.m_units, divisor);
    if (rest >= divisor - rest && !WideMath::add(d.m_units, U128{0, 1}))
        tooLarge();
    if (!WideMath::mulSmall(d.m_units, divisor))
        tooLarge();
    if (d.isZero())
        d.m_negative = false;
    return d;
}

// a x b / 10^extra rounded to `decimals`.
Decimal Decimal::scaledProduct(const Decimal& a, const Decimal& b, int extra, int decimals) {
    decimals = qBound(0, decimals, Scale);
    U256 p = WideMath::multiply(a.m_units, b.m_units);
    Decimal d;
    // The product has 2 x Scale decimals (plus extra for a percentage).
    if (!roundDivide(p, 2 * Scale + extra - decimals, d.m_units) ||
        !WideMath::mulSmall(d.m_units, WideMath::powerOfTen(Scale - decimals)))
        tooLarge();
    d.m_negative = a.m_negative != b.m_negative && !d.isZero();
    return d;
}

Decimal Decimal::product(const Decimal& a, const Decimal& b, int decimals) {
    return scaledProduct(a, b, 0, decimals);
}

Decimal Decimal::percentOf(const Decimal& base, const Decimal& percent, int decimals) {
    return scaledProduct(base, percent, 2, decimals);
}

int Decimal::writePlain(char* out, int minDecimals, int maxDecimals) const {
    maxDecimals = qBound(0, maxDecimals, Scale);
    minDecimals = qBound(0, minDecimals, maxDecimals);
    const Decimal value = rounded(maxDecimals);
    U128 whole = value.m_units;
    const std::uint64_t fraction = WideMath::divSmall(whole, Unit);
    int n = 0;
    if (value.m_negative)
        out[n++] = '-';
    n += writeWhole(whole, out + n);
    char digits[Scale];
    std::uint64_t f = fraction;
    for (int k = Scale - 1; k >= 0; --k) {
        digits[k] = char('0' + f % 10);
        f /= 10;
    }
    int shown = Scale;
    while (shown > minDecimals && digits[shown - 1] == '0')
        --shown;
    if (shown > 0) {
        out[n++] = '.';
        std::memcpy(out + n, digits, size_t(shown));
        n += shown;
    }
    return n;
}

QString Decimal::plainText(int minDecimals, int maxDecimals) const {
    char text[64];
    return QString::fromLatin1(text, writePlain(text, minDecimals, maxDecimals));
}

QString Decimal::displayText(int minDecimals, int maxDecimals) const {
    char plain[64];
    const int n = writePlain(plain, minDecimals, maxDecimals);
    int start = plain[0] == '-' ? 1 : 0;
    int point = start;
    while (point < n && plain[point] != '.')
        ++point;
    QString text;
    text.reserve(n + 16);
    if (start)
        text += u'-';
    for (int i = start; i < point; ++i) {
        if (i > start && (point - i) % 3 == 0)
            text += u'.';
        text += QLatin1Char(plain[i]);
    }
    if (point < n) {
        text += u',';
        text += QLatin1StringView(plain + point + 1, n - point - 1);
    }
    return text;
}

QString Decimal::editText() const {
    QString text = plainText(0, Scale);
    text.replace(u'.', u',');
    return text;
}
