#include "ledger/RecordStore.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"

#include <limits>

namespace {

// Without bytes; "r.bytes" is added where they are wanted, as the last column.
constexpr char Columns[] = "SELECT r.sequence, r.issuer_nif, r.installation, r.kind, r.invoice_id, "
                           "r.series_number, r.issue_date, r.generated_at, r.huella, "
                           "r.previous_huella, r.state";
constexpr int BytesColumn = 11;

const QString AltaKind = QStringLiteral("alta");
const QString AnulacionKind = QStringLiteral("anulación");

QByteArray select(bool withBytes, const char* rest) {
    return QByteArray(Columns) + (withBytes ? ", r.bytes" : "") + " FROM billing_records r " + rest;
}

StoredRecord read(const SqlStatement& row, bool withBytes) {
    StoredRecord r;
    r.sequence = row.integer(0);
    r.chain = {row.text(1), row.text(2)};
    r.kind = row.text(3) == AltaKind ? StoredRecord::Kind::Alta : StoredRecord::Kind::Anulacion;
    if (!row.isNull(4))
        r.invoiceId = row.integer(4);
    r.seriesNumber = row.text(5);
    r.issueDate = QDate::fromString(row.text(6), Qt::ISODate);
    r.generatedAt = row.text(7);
    r.huella = row.text(8);
    r.previousHuella = row.text(9);
    r.state = row.text(10);
    if (withBytes)
        r.bytes = row.blob(BytesColumn);
    return r;
}

// The bounds of a period over the generation time's text, which begins with
// the local date: from its first day up to the day after its last.
QString startOf(const RecordPeriod& period) {
    return period.from.isValid() ? period.from.toString(Qt::ISODate) : QString();
}
QString endOf(const RecordPeriod& period) {
    return period.to.isValid() ? period.to.addDays(1).toString(Qt::ISODate)
                               : QStringLiteral("\uFFFF");
}

} // namespace

bool RecordStore::isEmpty() const {
    SqlStatement any(m_db, "SELECT 1 FROM billing_records LIMIT 1");
    return !any.next();
}

QList<ChainKey> RecordStore::chains() const {
    SqlStatement chains(m_db, "SELECT issuer_nif, installation FROM billing_records "
                              "GROUP BY issuer_nif, installation ORDER BY min(rowid)");
    QList<ChainKey> keys;
    while (chains.next())
        keys.append({chains.text(0), chains.text(1)});
    return keys;
}

std::optional<StoredRecord> RecordStore::last(const ChainKey& chain) const {
    SqlStatement head(m_db, select(true, "WHERE r.issuer_nif = ? AND r.installation = ? "
                                         "ORDER BY r.sequence DESC LIMIT 1"));
    head.bindAll(chain.issuerNif, chain.installation);
    if (!head.next())
        return std::nullopt;
    return read(head, true);
}

void RecordStore::insert(const StoredRecord& r) const {
    SqlStatement insert(m_db, "INSERT INTO billing_records (sequence, issuer_nif, installation, "
                              "kind, invoice_id, series_number, issue_date, generated_at, huella, "
                              "previous_huella, bytes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bindAll(r.sequence, r.chain.issuerNif, r.chain.installation, r.kindText(), qint64(0),
                   r.seriesNumber, r.issueDate.toString(Qt::ISODate), r.generatedAt, r.huella,
                   r.previousHuella);
    if (r.invoiceId)
        insert.bind(5, *r.invoiceId);
    else
        insert.bindNull(5);
    insert.bindBlob(11, r.bytes).run();
}

void RecordStore::each(const ChainKey& chain, qint64 from, qint64 to,
                       const std::function<bool(const StoredRecord&)>& visit) const {
    SqlStatement rows(m_db, select(true, "WHERE r.issuer_nif = ? AND r.installation = ? "
                                         "AND r.sequence BETWEEN ? AND ? ORDER BY r.sequence"));
    rows.bindAll(chain.issuerNif, chain.installation, from, to);
    while (rows.next()) {
        if (!visit(read(rows, true)))
            return;
    }
}

void RecordStore::each(const ChainKey& chain,
                       const std::function<bool(const StoredRecord&)>& visit) const {
    each(chain, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), visit);
}

std::optional<std::pair<qint64, qint64>> RecordStore::stretch(const ChainKey& chain,
                                                              const RecordPeriod& period) const {
    SqlStatement bounds(m_db, "SELECT min(sequence), max(sequence) FROM billing_records "
                              "WHERE issuer_nif = ? AND installation = ? AND generated_at >= ? "
                              "AND generated_at < ?");
    bounds.bindAll(chain.issuerNif, chain.installation, startOf(period), endOf(period));
    if (!bounds.next() || bounds.isNull(0))
        return std::nullopt;
    return std::make_pair(bounds.integer(0), bounds.integer(1));
}

std::optional<qint64> RecordStore::firstAfter(const ChainKey& chain,
                                              const QString& generatedAt) const {
    SqlStatement first(m_db, "SELECT min(sequence) FROM billing_records WHERE issuer_nif = ? AND "
                             "installation = ? AND generated_at > ?");
    first.bindAll(chain.issuerNif, chain.installation, generatedAt);
    if (!first.next() || first.isNull(0))
        return std::nullopt;
    return first.integer(0);
}

void RecordStore::list(const RecordPeriod& period,
                       const std::function<void(const StoredRecord&)>& visit) const {
    for (const ChainKey& chain : chains()) {
        SqlStatement rows(m_db, select(false, "WHERE r.issuer_nif = ? AND r.installation = ? "
                                              "AND r.generated_at >= ? AND r.generated_at < ? "
                                              "ORDER BY r.sequence"));
        rows.bindAll(chain.issuerNif, chain.installation, startOf(period), endOf(period));
        while (rows.next())
            visit(read(rows, false));
    }
}

QList<StoredRecord> RecordStore::ofInvoice(const QString& seriesNumber) const {
    SqlStatement rows(m_db, select(true, "WHERE r.series_number = ? ORDER BY r.rowid"));
    rows.bindAll(seriesNumber);
    QList<StoredRecord> records;
    while (rows.next())
        records.append(read(rows, true));
    return records;
}

std::optional<StoredRecord> RecordStore::lastAbout(const QString& issuerNif,
                                                   const QString& seriesNumber,
                                                   const QDate& issueDate) const {
    SqlStatement row(m_db, select(false, "WHERE r.series_number = ? AND r.issuer_nif = ? "
                                         "AND r.issue_date = ? ORDER BY r.rowid DESC LIMIT 1"));
    row.bindAll(seriesNumber, issuerNif, issueDate.toString(Qt::ISODate));
    if (!row.next())
        return std::nullopt;
    return read(row, false);
}
