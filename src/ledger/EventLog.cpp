#include "ledger/EventLog.h"

#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "ledger/EventStore.h"
#include "ledger/RecordLedger.h"
#include "ledger/RecordStore.h"
#include "records/EventBuilder.h"
#include "records/RecordReader.h"
#include "records/RecordText.h"
#include "records/SummaryTimer.h"

#include <limits>

EventLog::EventLog(BookDatabase& db, Issuer issuer, RecordSigner signer, Options options)
    : m_db(db), m_issuer(std::move(issuer)), m_signer(std::move(signer)),
      m_clock(options.clock ? std::move(options.clock) : GenerationTime::systemClock()),
      m_producer(options.producer ? std::move(*options.producer) : ProducerData::builtIn()) {}

ChainKey EventLog::chain() {
    return {RecordText::value(m_issuer.nif), RecordLedger(m_db).installationNumber()};
}

StoredEvent EventLog::append(EventRecord event) {
    if (!m_signer)
        throw AppError(QStringLiteral("Los registros de evento se firman con el certificado, y no "
                                      "se ha abierto ninguno: no se ha guardado nada"));
    BookDatabase::Transaction transaction(m_db);
    const ChainKey key = chain();
    const EventStore store(m_db);
    const std::optional<StoredEvent> last = store.last(key);
    const QDateTime now = m_clock();

    event.system = m_producer.softwareSystem(key.installation);
    event.issuerName = m_issuer.name;
    event.issuerNif = key.issuerNif;
    event.territory = m_issuer.territory;
    event.generatedAt = now;
    event.chain = last ? EventLink::after(last->reference()) : EventLink::start();
    const BuiltEvent built = EventBuilder::build(event);

    StoredEvent row;
    row.sequence = last ? last->sequence + 1 : 1;
    row.chain = key;
    row.type = built.reference.type;
    row.generatedAt = built.reference.generatedAt;
    row.huella = built.huella;
    row.previousHuella = last ? last->huella : QString();
    row.bytes = m_signer.sign(built.xml, RecordSigner::Kind::Event, now);
    store.insert(row);
    transaction.commit();
    return row;
}

StoredEvent EventLog::appendSummary() {
    BookDatabase::Transaction transaction(m_db);
    const ChainKey key = chain();
    const EventStore events(m_db);
    const std::optional<StoredEvent> previous =
        events.lastOfType(key, eventTypeCode(EventType::Summary));

    EventRecord summary;
    summary.type = EventType::Summary;
    const QMap<QString, int> counts = events.countsAfter(key, previous ? previous->sequence : 0);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (const auto type = eventTypeFromCode(it.key()))
            summary.summary.events.insert(*type, it.value());
    }
    // The records generated since the last summary.
    const RecordStore records(m_db);
    const auto since = records.firstAfter(key, previous ? previous->generatedAt : QString());
    if (since) {
        records.each(key, *since, std::numeric_limits<qint64>::max(), [&](const StoredRecord& row) {
            // A damaged record is the check's to report; the
            // summary counts what can be read.
            try {
                summary.summary.records.add(RecordReader::read(row.bytes));
            } catch (const AppError&) {
            }
            return true;
        });
    }
    const StoredEvent written = append(summary);
    transaction.commit();
    return written;
}

std::optional<StoredEvent> EventLog::appendSummaryIfDue() {
    const ChainKey key = chain();
    const EventStore events(m_db);
    std::optional<StoredEvent> from = events.lastOfType(key, eventTypeCode(EventType::Summary));
    if (!from)
        events.each(key, [&](const StoredEvent& first) {
            from = first;
            return false;
        });
    std::optional<QDateTime> last;
    if (from)
        last = QDateTime::fromString(from->generatedAt, Qt::ISODate);
    if (!SummaryTimer::dueForCommand(last, m_clock()))
        return std::nullopt;
    return appendSummary();
}
