#include "ledger/EventStore.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"

#include <limits>

namespace {

constexpr char Columns[] = "SELECT sequence, issuer_nif, installation, type, generated_at, huella, "
                           "previous_huella";
constexpr int BytesColumn = 7;

QByteArray select(bool withBytes, const char* rest) {
    return QByteArray(Columns) + (withBytes ? ", bytes" : "") + " FROM events " + rest;
}

StoredEvent read(const SqlStatement& row, bool withBytes) {
    StoredEvent e;
    e.sequence = row.integer(0);
    e.chain = {row.text(1), row.text(2)};
    e.type = row.text(3);
    e.generatedAt = row.text(4);
    e.huella = row.text(5);
    e.previousHuella = row.text(6);
    if (withBytes)
        e.bytes = row.blob(BytesColumn);
    return e;
}

} // namespace

QList<ChainKey> EventStore::chains() const {
    SqlStatement chains(m_db, "SELECT issuer_nif, installation FROM events "
                              "GROUP BY issuer_nif, installation ORDER BY min(rowid)");
    QList<ChainKey> keys;
    while (chains.next())
        keys.append({chains.text(0), chains.text(1)});
    return keys;
}

std::optional<StoredEvent> EventStore::last(const ChainKey& chain) const {
    SqlStatement head(m_db, select(true, "WHERE issuer_nif = ? AND installation = ? "
                                         "ORDER BY sequence DESC LIMIT 1"));
    head.bindAll(chain.issuerNif, chain.installation);
    if (!head.next())
        return std::nullopt;
    return read(head, true);
}

std::optional<StoredEvent> EventStore::lastOfType(const ChainKey& chain,
                                                  const QString& type) const {
    SqlStatement row(m_db, select(false, "WHERE issuer_nif = ? AND installation = ? AND type = ? "
                                         "ORDER BY sequence DESC LIMIT 1"));
    row.bindAll(chain.issuerNif, chain.installation, type);
    if (!row.next())
        return std::nullopt;
    return read(row, false);
}

void EventStore::insert(const StoredEvent& e) const {
    SqlStatement insert(m_db, "INSERT INTO events (sequence, issuer_nif, installation, type, "
                              "generated_at, huella, previous_huella, bytes) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bindAll(e.sequence, e.chain.issuerNif, e.chain.installation, e.type, e.generatedAt,
                   e.huella, e.previousHuella);
    insert.bindBlob(8, e.bytes).run();
}

void EventStore::each(const ChainKey& chain, qint64 from, qint64 to,
                      const std::function<bool(const StoredEvent&)>& visit) const {
    SqlStatement rows(m_db, select(true, "WHERE issuer_nif = ? AND installation = ? "
                                         "AND sequence BETWEEN ? AND ? ORDER BY sequence"));
    rows.bindAll(chain.issuerNif, chain.installation, from, to);
    while (rows.next()) {
        if (!visit(read(rows, true)))
            return;
    }
}

void EventStore::each(const ChainKey& chain,
                      const std::function<bool(const StoredEvent&)>& visit) const {
    each(chain, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), visit);
}

QMap<QString, int> EventStore::countsAfter(const ChainKey& chain, qint64 sequence) const {
    SqlStatement rows(m_db, "SELECT type, count(*) FROM events WHERE issuer_nif = ? AND "
                            "installation = ? AND sequence > ? GROUP BY type");
    rows.bindAll(chain.issuerNif, chain.installation, sequence);
    QMap<QString, int> counts;
    while (rows.next())
        counts.insert(rows.text(0), int(rows.integer(1)));
    return counts;
}

std::optional<std::pair<qint64, qint64>> EventStore::stretch(const ChainKey& chain,
                                                             const RecordPeriod& period) const {
    SqlStatement bounds(m_db, "SELECT min(sequence), max(sequence) FROM events "
                              "WHERE issuer_nif = ? AND installation = ? AND generated_at >= ? "
                              "AND generated_at < ?");
    const QString from = period.from.isValid() ? period.from.toString(Qt::ISODate) : QString();
    const QString to =
        period.to.isValid() ? period.to.addDays(1).toString(Qt::ISODate) : QStringLiteral("\uFFFF");
    bounds.bindAll(chain.issuerNif, chain.installation, from, to);
    if (!bounds.next() || bounds.isNull(0))
        return std::nullopt;
    return std::make_pair(bounds.integer(0), bounds.integer(1));
}
