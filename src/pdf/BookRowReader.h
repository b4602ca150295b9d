#pragma once

#include "book/BookRows.h"
#include "pdf/FacturaeDocument.h"

#include <QList>

// What the invoice book lists of a Facturae document issued before the book
// existed: one row per invoice the document holds, with the document's exact
// bytes and no invoice value.
namespace BookRowReader {

// The issuer's own tax id tidied for comparing; AppError when there is none,
// since without it no document can be told to be the issuer's own.
QString ownTaxIdRequired(const QString& ownTaxId);

// ownTaxId: the issuer's own tax id ([MISDATOS] NIF); a document of another
// seller is refused, as is one whose number, issue date or totals cannot be
// read. Throws AppError with a Spanish message naming what is wrong.
QList<InvoiceRow> rows(const FacturaeDocument::Document& document, const QByteArray& bytes,
                       const QString& fileName, const QString& ownTaxId);

} // namespace BookRowReader
