#pragma once

#include <QString>

// Document values as a Spanish reader expects them. Numbers come as the
// document's decimal text and keep every significant decimal it has: at
// least two decimals are shown, zeros beyond the second are dropped, and the
// point goes between thousands ("1234.5" gives "1.234,50", "0.12500" gives
// "0,125"). A text that is no plain decimal number, or one with more
// decimals or digits than any invoice has, is shown as written.
namespace ReadableText {

QString number(const QString& decimal);
// number() followed by the currency: "€" for EUR (or no code), else the code.
QString money(const QString& decimal, const QString& currencyCode);
// number() followed by " %".
QString percent(const QString& decimal);
// True when the text is a plain decimal number equal to zero (or empty).
bool isZero(const QString& decimal);

// "2024-03-15" gives "15/03/2024"; other texts are shown as written.
QString date(const QString& isoDate);
// An xs:dateTime as "15/03/2024 10:22:33", with its zone when it has one.
QString dateTime(const QString& isoDateTime);

// An IBAN in groups of four characters.
QString iban(const QString& iban);

// Names of the Facturae codes a reader meets.
QString taxName(const QString& typeCode);
QString paymentMeans(const QString& code);
QString centreRole(const QString& roleCode);
QString documentTitle(const QString& documentType, const QString& invoiceClass);

} // namespace ReadableText
