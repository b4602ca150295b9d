#include "ledger/ChainListing.h"

#include "common/AppError.h"
#include "ledger/EventStore.h"
#include "ledger/RecordStore.h"
#include "records/EventCodes.h"
#include "records/EventReader.h"
#include "records/RecordReader.h"

namespace {

// A row that cannot be read keeps only its place: both its checks fail.
template <typename Reader> ChainRow rowOf(qint64 sequence, const QByteArray& bytes, Reader read) {
    try {
        return ChainRow::of(sequence, read(bytes));
    } catch (const AppError&) {
        ChainRow row;
        row.sequence = sequence;
        return row;
    }
}

void judge(QList<ListedRow>& listed, qsizetype from, const QList<ChainRow>& rows) {
    const QList<RowCheck> checks = ChainRows::check(rows);
    for (qsizetype i = 0; i < checks.size(); ++i)
        listed[from + i].check = checks[i];
}

} // namespace

namespace ChainListing {

QList<ListedRow> records(const BookDatabase& db) {
    QList<ListedRow> listed;
    const RecordStore store(db);
    for (const ChainKey& chain : store.chains()) {
        const qsizetype from = listed.size();
        QList<ChainRow> rows;
        store.each(chain, [&](const StoredRecord& r) {
            rows << rowOf(r.sequence, r.bytes,
                          [](const QByteArray& b) { return RecordReader::read(b); });
            listed << ListedRow{
                r.sequence, r.kindText() + u' ' + r.seriesNumber, r.generatedAt, {}};
            return true;
        });
        judge(listed, from, rows);
    }
    return listed;
}

QList<ListedRow> events(const BookDatabase& db) {
    QList<ListedRow> listed;
    const EventStore store(db);
    for (const ChainKey& chain : store.chains()) {
        const qsizetype from = listed.size();
        QList<ChainRow> rows;
        store.each(chain, [&](const StoredEvent& e) {
            rows << rowOf(e.sequence, e.bytes,
                          [](const QByteArray& b) { return EventReader::read(b); });
            const std::optional<EventType> type = eventTypeFromCode(e.type);
            listed << ListedRow{
                e.sequence, type ? eventTypeName(*type) : e.type, e.generatedAt, {}};
            return true;
        });
        judge(listed, from, rows);
    }
    return listed;
}

} // namespace ChainListing
