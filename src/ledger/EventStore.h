#pragma once

#include "ledger/RecordStore.h"
#include "ledger/StoredEvent.h"

#include <QList>
#include <QMap>

#include <functional>
#include <optional>

class BookDatabase;

// The events table of the book: rows in, rows out. EventLog keeps the chain.
class EventStore {
public:
    explicit EventStore(const BookDatabase& db) : m_db(db) {}

    // Every chain of events in the book, in order of its first event.
    QList<ChainKey> chains() const;
    // The chain's last event, bytes included.
    std::optional<StoredEvent> last(const ChainKey& chain) const;
    // The chain's last event of a type, without bytes.
    std::optional<StoredEvent> lastOfType(const ChainKey& chain, const QString& type) const;
    void insert(const StoredEvent& event) const;

    // The chain's events in order, bytes included, one at a time; visit
    // returns false to stop.
    void each(const ChainKey& chain, qint64 from, qint64 to,
              const std::function<bool(const StoredEvent&)>& visit) const;
    void each(const ChainKey& chain, const std::function<bool(const StoredEvent&)>& visit) const;

    // How many events of each type the chain holds after a sequence number.
    QMap<QString, int> countsAfter(const ChainKey& chain, qint64 sequence) const;

    // The first and last sequence number of the chain's events generated in
    // the period; nothing when none was.
    std::optional<std::pair<qint64, qint64>> stretch(const ChainKey& chain,
                                                     const RecordPeriod& period) const;

private:
    const BookDatabase& m_db;
};
