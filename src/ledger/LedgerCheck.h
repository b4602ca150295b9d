#pragma once

#include "ledger/StoredRecord.h"
#include "records/ChainCheck.h"

#include <QList>
#include <QString>

#include <optional>

class BookDatabase;

// How one chain of the book stands: the records that passed, the last one's
// fingerprint, and the first fault.
struct ChainReport {
    ChainKey chain;
    qint64 count = 0;
    QString lastHuella;
    std::optional<ChainFault> fault;
    QString summary; // "Cadena correcta: n registros" or "Fallo en el registro n.º …"
};

struct LedgerCheckReport {
    QList<ChainReport> chains; // none when the book holds no record
    bool ok() const;
};

// Checks every chain of billing records in the book, record by record as
// they are read from it (a long chain is never held in memory): each
// record's fingerprint computed again, its totals, its link to the one
// before, the sequence without gaps, and the book's columns against the
// record. Stops each chain at its first fault.
namespace LedgerCheck {

LedgerCheckReport run(const BookDatabase& db);

} // namespace LedgerCheck
