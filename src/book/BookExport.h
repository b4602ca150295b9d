#pragma once

#include "book/BookList.h"

#include <QIODevice>
#include <QString>

class BookDatabase;

// The book as the register of issued invoices an accountant expects: one
// line per invoice and VAT rate, ";" between fields, amounts in the Spanish
// form (1.234,50), UTF-8 with a byte-order mark so spreadsheet programs read
// the accents. The withholding and the total stand only on each invoice's
// first line, so summing a column gives the right figure.
namespace BookExport {

// One field of such a line: quoted when it holds the separator, a quotation
// mark or a line break.
QString field(const QString& text);

// Writes the invoices the filter shows, by issue date and number. Throws
// BookError, or AppError when out cannot be written.
void writeCsv(const BookDatabase& db, const BookFilter& filter, QIODevice& out);

// The same into a file, replaced whole or left as it was.
void saveCsv(const BookDatabase& db, const BookFilter& filter, const QString& path);

} // namespace BookExport
