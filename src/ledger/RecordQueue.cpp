#include "ledger/RecordQueue.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"

namespace {

constexpr char Waiting[] = "state IN ('pendiente', 'enviado')";

StoredRecord read(const SqlStatement& row) {
    StoredRecord r;
    r.sequence = row.integer(0);
    r.chain = {row.text(1), row.text(2)};
    r.kind = row.text(3) == u"alta" ? StoredRecord::Kind::Alta : StoredRecord::Kind::Anulacion;
    r.seriesNumber = row.text(4);
    r.issueDate = QDate::fromString(row.text(5), Qt::ISODate);
    r.generatedAt = row.text(6);
    r.huella = row.text(7);
    r.previousHuella = row.text(8);
    r.state = row.text(9);
    r.incident = row.integer(10) != 0;
    r.bytes = row.blob(11);
    return r;
}

} // namespace

QList<StoredRecord> RecordQueue::waiting(int limit) const {
    SqlStatement first(m_db, QByteArray("SELECT issuer_nif, installation FROM billing_records "
                                        "WHERE ") +
                                 Waiting + " ORDER BY rowid LIMIT 1");
    if (!first.next())
        return {};
    SqlStatement rows(m_db,
                      QByteArray("SELECT sequence, issuer_nif, installation, kind, "
                                 "series_number, issue_date, generated_at, huella, "
                                 "previous_huella, state, incident, bytes FROM billing_records "
                                 "WHERE issuer_nif = ?1 AND installation = ?2 AND ") +
                          Waiting + " ORDER BY sequence LIMIT ?3");
    rows.bindAll(first.text(0), first.text(1), qint64(limit));
    QList<StoredRecord> records;
    while (rows.next())
        records.append(read(rows));
    return records;
}

int RecordQueue::waitingCount() const {
    SqlStatement count(m_db, QByteArray("SELECT count(*) FROM billing_records WHERE ") + Waiting);
    return count.next() ? int(count.integer(0)) : 0;
}

void RecordQueue::markLate() {
    SqlStatement(m_db, QByteArray("UPDATE billing_records SET incident = 1 WHERE incident = 0 "
                                  "AND ") +
                           Waiting)
        .run();
}

void RecordQueue::markSent(const ChainKey& chain, const QList<qint64>& sequences) {
    BookDatabase::Transaction transaction(m_db);
    SqlStatement update(m_db, "UPDATE billing_records SET state = 'enviado', attempts = attempts "
                              "+ 1 WHERE issuer_nif = ?1 AND installation = ?2 AND sequence = ?3");
    for (qint64 sequence : sequences) {
        update.bindAll(chain.issuerNif, chain.installation, sequence).run();
        update.reset();
    }
    transaction.commit();
}

void RecordQueue::apply(const ChainKey& chain, const QList<Result>& results) {
    BookDatabase::Transaction transaction(m_db);
    SqlStatement update(m_db, "UPDATE billing_records SET state = ?4, last_error = ?5, "
                              "csv = CASE WHEN ?6 = '' THEN csv ELSE ?6 END "
                              "WHERE issuer_nif = ?1 AND installation = ?2 AND sequence = ?3");
    for (const Result& r : results) {
        update.bindAll(chain.issuerNif, chain.installation, r.sequence, r.state, r.lastError, r.csv)
            .run();
        update.reset();
    }
    transaction.commit();
}

RecordQueue::Schedule RecordQueue::schedule() const {
    SqlStatement row(m_db, "SELECT next_allowed, wait_seconds, failures, held FROM "
                           "sending_schedule WHERE id = 1");
    Schedule s;
    if (!row.next())
        return s;
    s.nextAllowed = QDateTime::fromString(row.text(0), Qt::ISODate);
    if (s.nextAllowed.isValid())
        s.nextAllowed = s.nextAllowed.toUTC();
    s.waitSeconds = int(row.integer(1));
    s.failures = int(row.integer(2));
    s.held = row.integer(3) != 0;
    return s;
}

void RecordQueue::saveSchedule(const Schedule& s) {
    SqlStatement save(m_db, "INSERT OR REPLACE INTO sending_schedule (id, next_allowed, "
                            "wait_seconds, failures, held) VALUES (1, ?1, ?2, ?3, ?4)");
    save.bindAll(s.nextAllowed.isValid() ? s.nextAllowed.toUTC().toString(Qt::ISODate) : QString(),
                 s.waitSeconds, s.failures, s.held ? 1 : 0)
        .run();
}
