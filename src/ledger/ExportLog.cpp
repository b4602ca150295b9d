#include "ledger/ExportLog.h"

#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "common/SafeSave.h"
#include "ledger/EventLog.h"
#include "ledger/EventStore.h"
#include "ledger/LedgerExport.h"
#include "records/EventBatch.h"
#include "records/RecordReader.h"

#include <QDir>

namespace {

// The period's bounds as instants of the issuer's territory: from the first
// second of its first day to the last of its last. An open side takes the
// first or last item exported.
QDateTime startOf(const QDate& day, Territory territory) {
    return QDateTime(day, QTime(0, 0), GenerationTime::zone(territory));
}
QDateTime endOf(const QDate& day, Territory territory) {
    return QDateTime(day, QTime(23, 59, 59), GenerationTime::zone(territory));
}

QDateTime bound(const QDate& day, bool start, Territory territory, const QString& itemTime) {
    if (day.isValid())
        return start ? startOf(day, territory) : endOf(day, territory);
    return GenerationTime::parse(itemTime).value_or(QDateTime());
}

} // namespace

namespace ExportLog {

QStringList records(BookDatabase& db, EventLog& log, const RecordBatch::Header& header,
                    const RecordPeriod& period, const QString& path) {
    BookDatabase::Transaction transaction(db);
    const ChainKey chain = log.chain();
    const RecordStore store(db);
    const auto stretch = store.stretch(chain, period);
    if (!stretch)
        throw AppError(QStringLiteral("No hay registros de facturación del NIF %1 generados en ese "
                                      "periodo: no se ha escrito nada")
                           .arg(chain.issuerNif));

    // Counted before anything is written: a record that cannot be read
    // stops the export rather than leave it unlogged.
    EventRecord event;
    event.type = EventType::RecordsExported;
    RecordsExport& x = event.recordsExport;
    QString firstTime, lastTime;
    store.each(chain, stretch->first, stretch->second, [&](const StoredRecord& row) {
        x.records.add(RecordReader::read(row.bytes));
        if (firstTime.isEmpty())
            firstTime = row.generatedAt;
        lastTime = row.generatedAt;
        return true;
    });
    QStringList written = LedgerExport::write(db, header, period, path);
    const Territory territory = log.territory();
    x.from = bound(period.from, true, territory, firstTime);
    x.to = bound(period.to, false, territory, lastTime);
    log.append(event);
    transaction.commit();
    return written;
}

QString events(BookDatabase& db, EventLog& log, const RecordPeriod& period, const QString& path) {
    if (db.holds(path))
        throw AppError(QStringLiteral("No se pueden exportar los eventos a %1: es el libro de "
                                      "facturas, que se perdería")
                           .arg(QDir::toNativeSeparators(path)));
    BookDatabase::Transaction transaction(db);
    const ChainKey chain = log.chain();
    const EventStore store(db);
    const auto stretch = store.stretch(chain, period);
    if (!stretch)
        throw AppError(QStringLiteral("No hay registros de evento en ese periodo: no se ha escrito "
                                      "nada"));
    QList<QByteArray> bytes;
    EventsExport x;
    store.each(chain, stretch->first, stretch->second, [&](const StoredEvent& row) {
        if (bytes.isEmpty())
            x.first = row.reference();
        x.last = row.reference();
        bytes << row.bytes;
        return true;
    });
    x.count = bytes.size();
    QString reason;
    if (!SafeSave::write(path, EventBatch::document(bytes), &reason))
        throw AppError(QStringLiteral("No se puede guardar la exportación de eventos en %1: %2")
                           .arg(QDir::toNativeSeparators(path), reason));
    const Territory territory = log.territory();
    x.from = bound(period.from, true, territory, x.first.generatedAt);
    x.to = bound(period.to, false, territory, x.last.generatedAt);
    EventRecord event;
    event.type = EventType::EventsExported;
    event.eventsExport = x;
    log.append(event);
    transaction.commit();
    return path;
}

} // namespace ExportLog
