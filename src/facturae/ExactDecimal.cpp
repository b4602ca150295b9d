#include "facturae/ExactDecimal.h"

namespace {

using Wide = ExactDecimal::Wide;

constexpr int MaxScale = 30;

bool scaleUp(Wide value, int by, Wide& result) {
    result = value;
    for (int i = 0; i < by; ++i) {
        if (__builtin_mul_overflow(result, Wide(10), &result))
            return false;
    }
    return true;
}

} // namespace

ExactDecimal ExactDecimal::tooLarge() {
    ExactDecimal d;
    d.m_tooLarge = true;
    return d;
}

ExactDecimal ExactDecimal::invalidOf(const ExactDecimal& a, const ExactDecimal& b) {
    return a.m_tooLarge || b.m_tooLarge ? tooLarge() : ExactDecimal();
}

ExactDecimal ExactDecimal::fromInt(long long value) {
    ExactDecimal d;
    d.m_units = value;
    d.m_valid = true;
    return d;
}

ExactDecimal ExactDecimal::parse(const QString& text) {
    return parse(text.toUtf8().constData());
}

ExactDecimal ExactDecimal::parse(const char* text) {
    if (!text)
        return {};
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const char* p = text;
    while (blank(*p))
        ++p;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    bool digits = false;
    bool point = false;
    int scale = 0;
    Wide units = 0;
    for (; *p && !blank(*p); ++p) {
        const char c = *p;
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return {};
        digits = true;
        if (point)
            ++scale;
        if (__builtin_mul_overflow(units, Wide(10), &units) ||
            __builtin_add_overflow(units, Wide(c - '0'), &units)) {
            // Too many digits; still a number if the rest is digits too.
            for (++p; (*p >= '0' && *p <= '9') || (*p == '.' && !point); ++p)
                point = point || *p == '.';
            while (blank(*p))
                ++p;
            return *p ? ExactDecimal() : tooLarge();
        }
    }
    while (blank(*p))
        ++p;
    if (!digits || *p)
        return {};
    // Trailing zeros of the fraction carry nothing; dropping them keeps
    // long zero tails ("35.500000000000") inside the range.
    while (scale > 0 && units % 10 == 0) {
        units /= 10;
        --scale;
    }
    if (scale > MaxScale)
        return tooLarge();
    ExactDecimal d;
    d.m_units = negative ? -units : units;
    d.m_scale = scale;
    d.m_valid = true;
    return d;
}

bool ExactDecimal::align(const ExactDecimal& other, Wide& mine, Wide& theirs, int& scale) const {
    if (!m_valid || !other.m_valid)
        return false;
    scale = qMax(m_scale, other.m_scale);
    return scaleUp(m_units, scale - m_scale, mine) &&
           scaleUp(other.m_units, scale - other.m_scale, theirs);
}

ExactDecimal ExactDecimal::operator+(const ExactDecimal& other) const {
    if (!m_valid || !other.m_valid)
        return invalidOf(*this, other);
    Wide a = 0, b = 0;
    int scale = 0;
    ExactDecimal r;
    if (!align(other, a, b, scale) || __builtin_add_overflow(a, b, &r.m_units))
        return tooLarge();
    r.m_scale = scale;
    r.m_valid = true;
    return r;
}

ExactDecimal ExactDecimal::operator-(const ExactDecimal& other) const {
    if (!m_valid || !other.m_valid)
        return invalidOf(*this, other);
    Wide a = 0, b = 0;
    int scale = 0;
    ExactDecimal r;
    if (!align(other, a, b, scale) || __builtin_sub_overflow(a, b, &r.m_units))
        return tooLarge();
    r.m_scale = scale;
    r.m_valid = true;
    return r;
}

ExactDecimal ExactDecimal::operator*(const ExactDecimal& other) const {
    if (!m_valid || !other.m_valid)
        return invalidOf(*this, other);
    ExactDecimal r;
    if (m_scale + other.m_scale > MaxScale ||
        __builtin_mul_overflow(m_units, other.m_units, &r.m_units))
        return tooLarge();
    r.m_scale = m_scale + other.m_scale;
    r.m_valid = true;
    return r;
}

ExactDecimal ExactDecimal::shiftedRight(int n) const {
    if (!m_valid)
        return *this;
    if (m_scale + n > MaxScale)
        return tooLarge();
    ExactDecimal r = *this;
    r.m_scale += n;
    return r;
}

std::optional<ExactDecimal::Wide> ExactDecimal::cents() const {
    if (!m_valid)
        return std::nullopt;
    if (m_scale <= 2) {
        Wide r = 0;
        if (!scaleUp(m_units, 2 - m_scale, r))
            return std::nullopt;
        return r;
    }
    Wide divisor = 1;
    for (int i = 0; i < m_scale - 2; ++i)
        divisor *= 10;
    const Wide magnitude = m_units < 0 ? -m_units : m_units;
    Wide whole = magnitude / divisor;
    if ((magnitude % divisor) * 2 >= divisor)
        ++whole;
    return m_units < 0 ? -whole : whole;
}

QString ExactDecimal::centsText(Wide cents) {
    const bool negative = cents < 0;
    Wide magnitude = negative ? -cents : cents;
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    while (digits.size() < 3)
        digits.prepend(u'0');
    digits.insert(digits.size() - 2, u',');
    return negative ? QLatin1Char('-') + digits : digits;
}

QString ExactDecimal::text() const {
    const std::optional<Wide> c = cents();
    return c ? centsText(*c) : QString();
}

QString ExactDecimal::canonical() const {
    if (!m_valid)
        return {};
    Wide units = m_units;
    int scale = m_scale;
    while (scale > 0 && units % 10 == 0) {
        units /= 10;
        --scale;
    }
    const bool negative = units < 0;
    Wide magnitude = negative ? -units : units;
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    while (digits.size() <= scale)
        digits.prepend(u'0');
    if (scale > 0)
        digits.insert(digits.size() - scale, u'.');
    return negative ? QLatin1Char('-') + digits : digits;
}
