#pragma once

#include "ledger/RecordStore.h"
#include "records/RecordBatch.h"

#include <QStringList>

class BookDatabase;

// The billing records of a period written out as the tax agency's
// RegFactuSistemaFacturacion documents: the issuer's chain from its first
// record generated in the period to its last, in sequence order (one
// unbroken stretch), each record byte for byte as stored, at most 1,000 a
// file: path, then path.2, path.3…
namespace LedgerExport {

// The names the files of an export of count records take.
QStringList fileNames(const QString& path, qint64 count);

// Writes the files, each saved whole or not at all; the paths written.
// Throws AppError, having written nothing, when the issuer has no record in
// the period or a file of an earlier, longer export would be left beside
// these (its records would be taken for this period's); and when a file
// cannot be saved (the ones before it stay written).
QStringList write(const BookDatabase& db, const RecordBatch::Header& header,
                  const RecordPeriod& period, const QString& path);

} // namespace LedgerExport
