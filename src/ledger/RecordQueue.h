#pragma once

#include "ledger/StoredRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>

class BookDatabase;

// The records waiting for the tax agency, and what became of each sending.
// Only the sending columns of a record ever change; its bytes never do.
// A record is waiting while it is pendiente, or enviado (it went, and its
// answer was never read).
class RecordQueue {
public:
    static constexpr int MaxRecords = 1000;

    // When the next message may go, as the book keeps it between runs.
    struct Schedule {
        QDateTime nextAllowed; // UTC; invalid: send at once
        int waitSeconds = 0;
        int failures = 0;
        bool held = false;
        friend bool operator==(const Schedule&, const Schedule&) = default;
    };

    // What the answer said of one record.
    struct Result {
        qint64 sequence = 0;
        QString state;     // aceptado, aceptado con errores, rechazado, pendiente, enviado
        QString lastError; // Spanish; empty when none
        QString csv;
    };

    explicit RecordQueue(BookDatabase& db) : m_db(db) {}

    // The chain's waiting records in order of generation, bytes included: at
    // most limit of the first chain that has any.
    QList<StoredRecord> waiting(int limit = MaxRecords) const;
    int waitingCount() const;

    // Every waiting record was held back by an outage: it goes with
    // Incidencia=S, in messages of its own, whenever it is sent.
    void markLate();

    // Before the message goes: each record enviado, its attempts counted.
    void markSent(const ChainKey& chain, const QList<qint64>& sequences);
    // After: each record's new state, error and receipt, in one transaction.
    void apply(const ChainKey& chain, const QList<Result>& results);

    Schedule schedule() const;
    void saveSchedule(const Schedule& schedule);

private:
    BookDatabase& m_db;
};
