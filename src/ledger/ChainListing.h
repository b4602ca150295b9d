#pragma once

#include "records/ChainRows.h"

#include <QList>
#include <QString>

class BookDatabase;

// The book's billing records and events as the "Registro de facturación"
// window lists them: each row with what it is and how it stands with the
// rows on each side of it (its link and its order in time), judged on what
// each row says once read again, never on the columns beside it.
struct ListedRow {
    qint64 sequence = 0;
    QString what;        // the record's kind and invoice, the event's type
    QString generatedAt; // as written
    RowCheck check;
};

namespace ChainListing {

// Every chain's records, chain after chain, each chain in order.
QList<ListedRow> records(const BookDatabase& db);
// The same for the events.
QList<ListedRow> events(const BookDatabase& db);

} // namespace ChainListing
