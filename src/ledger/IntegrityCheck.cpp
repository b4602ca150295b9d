#include "ledger/IntegrityCheck.h"

#include "book/BookDatabase.h"
#include "ledger/AlarmStore.h"
#include "ledger/EventLog.h"
#include "ledger/EventStore.h"
#include "ledger/RecordStore.h"
#include "records/EventChainVerifier.h"
#include "records/RecordText.h"

#include <future>
#include <vector>

namespace {

bool isSigned(const QByteArray& bytes) {
    return bytes.contains("<ds:Signature");
}

QString withStop(const QString& text) {
    return text.endsWith(u'.') ? text : text + u'.';
}

// The records' signatures, in chain order, a batch at a time, each batch
// checked on two threads (a signature's check needs no other record). Counts
// the good ones; the first fault.
std::optional<ChainFault> checkRecordSignatures(const BookDatabase& db, const ChainKey& chain,
                                                const SignatureCheck& check, qint64& good) {
    constexpr std::size_t Batch = 256;
    std::optional<ChainFault> fault;
    bool signingBegun = false;
    std::vector<StoredRecord> rows;
    std::vector<QString> problems;
    auto examine = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (isSigned(rows[i].bytes))
                problems[i] = check(rows[i].bytes, RecordSigner::Kind::Record);
        }
    };
    auto checkBatch = [&] {
        problems.assign(rows.size(), QString());
        const std::size_t half = rows.size() / 2;
        auto first = std::async(std::launch::async, [&] { examine(0, half); });
        examine(half, rows.size());
        first.get();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QString problem = problems[i];
            if (isSigned(rows[i].bytes))
                signingBegun = true;
            else if (signingBegun)
                problem = QStringLiteral("no lleva firma, y los registros anteriores sí");
            if (!problem.isEmpty()) {
                fault = ChainFault{
                    rows[i].sequence, rows[i].seriesNumber,
                    QStringLiteral("la firma del registro no es válida: %1").arg(problem),
                    AnomalyType::SignatureIntegrity};
                break;
            }
            good += signingBegun ? 1 : 0;
        }
        rows.clear();
        return !fault;
    };
    RecordStore(db).each(chain, [&](const StoredRecord& row) {
        rows.push_back(row);
        return rows.size() < Batch || checkBatch();
    });
    if (!rows.empty())
        checkBatch();
    return fault;
}

std::optional<ChainFault> checkEvents(const BookDatabase& db, const ChainKey& chain,
                                      const SignatureCheck& check, qint64& good) {
    EventChainVerifier verifier;
    std::optional<ChainFault> fault;
    EventStore(db).each(chain, [&](const StoredEvent& row) {
        if (!verifier.add(row.sequence, row.bytes)) {
            fault = verifier.fault();
            return false;
        }
        if (const QString problem = check(row.bytes, RecordSigner::Kind::Event);
            !problem.isEmpty()) {
            fault =
                ChainFault{row.sequence, QStringLiteral("%1 de %2").arg(row.type, row.generatedAt),
                           QStringLiteral("la firma del evento no es válida: %1").arg(problem),
                           AnomalyType::SignatureIntegrity};
            return false;
        }
        ++good;
        return true;
    });
    return fault;
}

std::optional<StoredRecord> recordAt(const BookDatabase& db, const ChainKey& chain,
                                     qint64 sequence) {
    std::optional<StoredRecord> found;
    RecordStore(db).each(chain, sequence, sequence, [&](const StoredRecord& row) {
        found = row;
        return false;
    });
    return found;
}

std::optional<StoredEvent> eventAt(const BookDatabase& db, const ChainKey& chain, qint64 sequence) {
    std::optional<StoredEvent> found;
    EventStore(db).each(chain, sequence, sequence, [&](const StoredEvent& row) {
        found = row;
        return false;
    });
    return found;
}

} // namespace

bool IntegrityReport::ok() const {
    return records.ok() && !recordSignatureFault && !eventFault;
}

QStringList IntegrityReport::lines() const {
    QStringList out;
    for (const ChainReport& chain : records.chains)
        out << withStop(chain.summary);
    if (recordSignatureFault)
        out << QStringLiteral("Fallo en la firma del registro n.º %1 (factura %2): %3.")
                   .arg(recordSignatureFault->sequence)
                   .arg(recordSignatureFault->invoice, recordSignatureFault->message);
    else
        out << QStringLiteral("Firmas de los registros correctas: %1 registros firmados.")
                   .arg(signedRecords);
    if (eventFault)
        out << QStringLiteral("Fallo en el evento n.º %1%2: %3.")
                   .arg(eventFault->sequence)
                   .arg(eventFault->invoice.isEmpty()
                            ? QString()
                            : QStringLiteral(" (%1)").arg(eventFault->invoice),
                        eventFault->message);
    else
        out << QStringLiteral("Cadena de eventos correcta: %1 eventos, todos firmados.")
                   .arg(events);
    for (const IntegrityAlarm& alarm : raised)
        out << withStop(alarm.text());
    return out;
}

namespace IntegrityCheck {

IntegrityReport run(BookDatabase& db, EventLog& log, const SignatureCheck& signatures) {
    IntegrityReport report;
    const ChainKey chain = log.chain();
    report.records = LedgerCheck::run(db);
    report.recordSignatureFault =
        checkRecordSignatures(db, chain, signatures, report.signedRecords);
    report.eventFault = checkEvents(db, chain, signatures, report.events);

    qint64 recordCount = 0;
    std::optional<ChainFault> recordFault = report.recordSignatureFault;
    for (const ChainReport& c : report.records.chains) {
        recordCount += c.count + (c.fault ? 1 : 0);
        // The chain's own fault comes first: a broken chain says more than a
        // signature.
        if (c.fault && (!recordFault || c.fault->sequence <= recordFault->sequence))
            recordFault = c.fault;
    }

    BookDatabase::Transaction transaction(db);
    const QDateTime now = log.clock()();
    EventRecord launched;
    launched.type = EventType::RecordsCheck;
    launched.check = {recordCount, report.signedRecords, recordCount, std::nullopt};
    log.append(launched);
    if (recordFault) {
        EventRecord anomaly;
        anomaly.type = EventType::RecordsAnomaly;
        anomaly.anomaly.type = recordFault->anomaly;
        anomaly.anomaly.details = QStringLiteral("Registro n.º %1: %2")
                                      .arg(recordFault->sequence)
                                      .arg(recordFault->message);
        if (const auto row = recordAt(db, chain, recordFault->sequence))
            anomaly.anomaly.record = RecordRef{row->chain.issuerNif, row->seriesNumber,
                                               RecordText::date(row->issueDate), row->huella};
        log.append(anomaly);
        report.raised << IntegrityAlarm::raise(IntegrityAlarm::Check::Records, *recordFault, now);
    }
    const qint64 eventCount = report.events + (report.eventFault ? 1 : 0);
    EventRecord eventsLaunched;
    eventsLaunched.type = EventType::EventsCheck;
    eventsLaunched.check = {eventCount, eventCount, eventCount, std::nullopt};
    log.append(eventsLaunched);
    if (report.eventFault) {
        EventRecord anomaly;
        anomaly.type = EventType::EventsAnomaly;
        anomaly.anomaly.type = report.eventFault->anomaly;
        anomaly.anomaly.details = QStringLiteral("Evento n.º %1: %2")
                                      .arg(report.eventFault->sequence)
                                      .arg(report.eventFault->message);
        if (const auto row = eventAt(db, chain, report.eventFault->sequence))
            anomaly.anomaly.event = row->reference();
        log.append(anomaly);
        report.raised << IntegrityAlarm::raise(IntegrityAlarm::Check::Events, *report.eventFault,
                                               now);
    }
    for (const IntegrityAlarm& alarm : report.raised)
        AlarmStore::raise(db, alarm);
    log.appendSummaryIfDue();
    transaction.commit();
    return report;
}

} // namespace IntegrityCheck
