#pragma once

#include "ledger/StoredRecord.h"

#include <QList>

#include <functional>
#include <optional>
#include <utility>

class BookDatabase;

// The days of a period, by the records' generation time as written (the
// issuer's local date); an unset end leaves that side open.
struct RecordPeriod {
    QDate from;
    QDate to;
};

// The billing records table of the book: rows in, rows out. Knows nothing of
// what a record means; RecordLedger keeps the chain.
class RecordStore {
public:
    explicit RecordStore(const BookDatabase& db) : m_db(db) {}

    bool isEmpty() const;
    // Every chain of the book, in order of its first record.
    QList<ChainKey> chains() const;

    // The chain's head: its last record, bytes included.
    std::optional<StoredRecord> last(const ChainKey& chain) const;
    void insert(const StoredRecord& record) const;

    // The chain's records from one sequence number to another, in order,
    // bytes included, one at a time so that a long chain is never held in
    // memory. visit returns false to stop.
    void each(const ChainKey& chain, qint64 from, qint64 to,
              const std::function<bool(const StoredRecord&)>& visit) const;
    void each(const ChainKey& chain, const std::function<bool(const StoredRecord&)>& visit) const;

    // The first and last sequence number of the chain's records generated in
    // the period; nothing when none was.
    std::optional<std::pair<qint64, qint64>> stretch(const ChainKey& chain,
                                                     const RecordPeriod& period) const;

    // The sequence number of the chain's first record generated after the
    // time written (FechaHoraHusoGenRegistro's text; empty: the first
    // record); nothing when there is none.
    std::optional<qint64> firstAfter(const ChainKey& chain, const QString& generatedAt) const;

    // Every record generated in the period, chain by chain in sequence
    // order, without bytes, one at a time.
    void list(const RecordPeriod& period,
              const std::function<void(const StoredRecord&)>& visit) const;
    // The records of the invoice named by its NumSerieFactura, in order,
    // bytes included.
    QList<StoredRecord> ofInvoice(const QString& seriesNumber) const;
    // The last record about the invoice, as the records name it.
    std::optional<StoredRecord> lastAbout(const QString& issuerNif, const QString& seriesNumber,
                                          const QDate& issueDate) const;

private:
    const BookDatabase& m_db;
};
