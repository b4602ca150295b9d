#pragma once

#include <QByteArray>
#include <QString>

// Where an issued invoice's document carries its tax QR address. Facturae has
// no element of its own for it, so it is a line "QR tributario: <address>" of
// the additional information (InvoiceAdditionalInformation); this is the one
// place that knows it, so the address can move when the format gets a field.
namespace TaxQrLine {

inline constexpr int MaxLength = 2500; // InvoiceAdditionalInformation's limit

QString label(); // "QR tributario:"

// text with the address's line added on a line of its own after what it
// already says. Throws AppError naming the field when the whole would not
// fit: neither the text nor the address is ever cut.
QString compose(const QString& text, const QString& address);

// The address of the first such line of text (empty: none); text keeps the
// rest, the address's lines taken out.
QString take(QString& text);

// The address the document's additional information carries, or empty
// (also for bytes that are no XML).
QString inDocument(const QByteArray& document);

} // namespace TaxQrLine
