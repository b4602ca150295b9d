#pragma once

#include <QString>

#include <optional>

// A decimal number read from a document, kept exact: an integer and the count
// of its decimals. A number that is missing or not a number is invalid, and so
// is every result computed from it: a check without its figures is not made.
// A number too large (or too long) to hold, or arithmetic that would overflow,
// leaves the value invalid and too large, and so is every result computed
// from it: a check that cannot be made exactly says so instead of passing.
class ExactDecimal {
public:
    __extension__ typedef __int128 Wide;

    ExactDecimal() = default;
    static ExactDecimal fromInt(long long value);
    // "-12.345", "+7", "0.5", ".5", with surrounding blanks; anything else is invalid.
    static ExactDecimal parse(const QString& text);
    // The same from UTF-8 bytes, without building a string (a large document
    // holds hundreds of thousands of numbers).
    static ExactDecimal parse(const char* text);

    bool isValid() const { return m_valid; }
    bool isTooLarge() const { return m_tooLarge; }

    ExactDecimal operator+(const ExactDecimal& other) const;
    ExactDecimal operator-(const ExactDecimal& other) const;
    ExactDecimal operator*(const ExactDecimal& other) const;
    ExactDecimal& operator+=(const ExactDecimal& other) { return *this = *this + other; }
    // Divides by 10^n exactly (a rate in percent is divided by 100).
    ExactDecimal shiftedRight(int n) const;

    // The value rounded to cents, half away from zero, as a count of cents;
    // none when invalid or when the count does not fit.
    std::optional<Wide> cents() const;
    // "1.234,56"-free Spanish form with two decimals: "-1234,56".
    static QString centsText(Wide cents);
    QString text() const;
    // The same text for equal values ("21", "21.0" and "21.00" alike).
    QString canonical() const;

private:
    static ExactDecimal tooLarge();
    // Neither valid: the result of an operation on the two (too large wins).
    static ExactDecimal invalidOf(const ExactDecimal& a, const ExactDecimal& b);
    bool align(const ExactDecimal& other, Wide& mine, Wide& theirs, int& scale) const;

    Wide m_units = 0;
    int m_scale = 0;
    bool m_valid = false;
    bool m_tooLarge = false;
};
