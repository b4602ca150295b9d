#pragma once

#include "ledger/RecordStore.h"
#include "records/RecordBatch.h"

#include <QStringList>

class BookDatabase;
class EventLog;

// Exports while working without sending each record: what LedgerExport
// writes, and the events of a period, each logged as an event with its counts
// in the same transaction as the files are written (a failed save logs
// nothing).
namespace ExportLog {

// The issuer's billing records of the period (LedgerExport::write), logged
// as an export of records (type 08). The paths written.
QStringList records(BookDatabase& db, EventLog& log, const RecordBatch::Header& header,
                    const RecordPeriod& period, const QString& path);

// The issuer's events of the period, byte for byte, in Orvane's wrapper
// (EventBatch), saved whole or not at all, logged as an export of events
// (type 09). Throws AppError, writing nothing, when the period has none or
// path is taken by a file of the book.
QString events(BookDatabase& db, EventLog& log, const RecordPeriod& period, const QString& path);

} // namespace ExportLog
