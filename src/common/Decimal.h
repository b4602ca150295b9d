#pragma once

#include "common/WideMath.h"

#include <QString>
#include <QtGlobal>

#include <compare>

// An exact decimal number with up to eight decimals: every amount, price,
// quantity, rate and percentage of an invoice. Held as a sign and a 128-bit
// count of hundred-millionths, so sums are exact and products are worked out
// in full (256 bits) before they are rounded. Rounding is half away from zero
// on the exact value. A result too large to hold throws AppError instead of
// wrapping, clamping or losing digits.
class Decimal {
public:
    static constexpr int Scale = 8;

    enum class ParseStatus { Ok, NotANumber, TooManyDecimals, TooLarge };

    constexpr Decimal() = default;
    static Decimal fromInteger(qint64 value);
    // mantissa x 10^-decimals, decimals from 0 to 8: fromScaled(-625, 3) is -0.625.
    static Decimal fromScaled(qint64 mantissa, int decimals);

    // Reads "[+-]digits[.digits][(e|E)[+-]digits]" in ASCII. More than eight
    // decimals (trailing zeros do not count) or a value beyond what the type
    // holds leave out unchanged and say so.
    static ParseStatus parse(const char* text, qsizetype length, Decimal& out);
    // The form documents write numbers in (xs:decimal): blanks around, an
    // optional sign, digits with an optional point ("12.5", ".5", "5."), no
    // exponent. The same statuses as parse().
    static ParseStatus parseXml(const char* text, qsizetype length, Decimal& out);
    // The same for texts known to be numbers (constants, tests); throws
    // AppError when the text is not one.
    static Decimal fromText(const char* text);

    bool isZero() const { return WideMath::isZero(m_units); }
    bool isNegative() const { return m_negative; }
    int sign() const { return isZero() ? 0 : (m_negative ? -1 : 1); }
    Decimal abs() const;
    Decimal operator-() const;
    // Decimals the value has, trailing zeros not counted (0 to 8).
    int decimals() const;

    Decimal& operator+=(const Decimal& other);
    Decimal& operator-=(const Decimal& other);
    friend Decimal operator+(Decimal a, const Decimal& b) { return a += b; }
    friend Decimal operator-(Decimal a, const Decimal& b) { return a -= b; }
    friend bool operator==(const Decimal& a, const Decimal& b) {
        return a.m_negative == b.m_negative && a.m_units.hi == b.m_units.hi &&
               a.m_units.lo == b.m_units.lo;
    }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

    // Half away from zero at the given number of decimals (0 to 8).
    Decimal rounded(int decimals) const;
    // a x b, rounded to the given decimals from the exact product.
    static Decimal product(const Decimal& a, const Decimal& b, int decimals);
    // base x percent / 100, rounded to the given decimals from the exact value.
    static Decimal percentOf(const Decimal& base, const Decimal& percent, int decimals);

    // Texts. The value is first rounded to maxDecimals; then it shows its own
    // decimals, at least minDecimals of them.
    // Document form "-1234.5": a point, no grouping. out needs 48 bytes;
    // returns the length.
    int writePlain(char* out, int minDecimals, int maxDecimals) const;
    QString plainText(int minDecimals = 2, int maxDecimals = Scale) const;
    // Screen form "-1.234,50": decimal comma, a point between thousands.
    QString displayText(int minDecimals = 2, int maxDecimals = Scale) const;
    // The form for typing over: "1234,5", decimal comma, no grouping.
    QString editText() const;

private:
    static ParseStatus parseForm(const char* text, qsizetype length, bool xmlForm, Decimal& out);
    static Decimal scaledProduct(const Decimal& a, const Decimal& b, int extra, int decimals);

    WideMath::U128 m_units; // magnitude in hundred-millionths
    bool m_negative = false;
};
