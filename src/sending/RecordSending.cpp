#include "sending/RecordSending.h"

#include "book/BookDatabase.h"
#include "ledger/RecordQueue.h"
#include "sending/AeatClient.h"
#include "sending/SendingLock.h"
#include "sending/SubmissionMessage.h"

#include <QLocale>
#include <QSet>

namespace RecordSending {

namespace {

using Outcome = RecordResult::Outcome;

SendingSchedule::State toState(const RecordQueue::Schedule& s) {
    return {s.nextAllowed, s.waitSeconds, s.failures, s.held};
}
RecordQueue::Schedule toSchedule(const SendingSchedule::State& s) {
    return {s.nextAllowed, s.waitSeconds, s.failures, s.held};
}

// The waiting records that may share one message: the agency tells answers
// apart by invoice and operation, so a second record about the same invoice
// waits for the next message; Incidencia=S speaks for the whole message, so
// records held back by an outage never share one with the others.
QList<StoredRecord> batchOf(const QList<StoredRecord>& waiting) {
    QList<StoredRecord> batch;
    QSet<QString> ids;
    for (const StoredRecord& r : waiting) {
        const QString id =
            r.kindText() + u'|' + r.seriesNumber + u'|' + r.issueDate.toString(Qt::ISODate);
        if (ids.contains(id) || r.incident != waiting.first().incident)
            break;
        ids.insert(id);
        batch.append(r);
    }
    return batch;
}

// "aceptado" for the state of a record the agency already held.
QString heldState(const QString& duplicateState) {
    return duplicateState == u"AceptadaConErrores" ? QStringLiteral("aceptado con errores")
                                                   : QStringLiteral("aceptado");
}

RecordQueue::Result resultFor(const StoredRecord& record, const RecordResult& answer,
                              const QString& csv) {
    RecordQueue::Result r{record.sequence, {}, {}, {}};
    switch (answer.outcome) {
    case Outcome::Accepted:
        r.state = QStringLiteral("aceptado");
        r.csv = csv;
        break;
    case Outcome::AcceptedWithErrors:
        r.state = QStringLiteral("aceptado con errores");
        r.lastError = answer.message;
        r.csv = csv;
        break;
    case Outcome::Rejected:
        r.state = QStringLiteral("rechazado");
        r.lastError = answer.message;
        break;
    case Outcome::Duplicate:
        // Only a record whose earlier send went unanswered can be the one the
        // agency holds; otherwise another record took its invoice's place.
        if (record.state == u"enviado") {
            r.state = heldState(answer.duplicateState);
        } else {
            r.state = QStringLiteral("pendiente");
            r.lastError =
                QStringLiteral("Conflicto: %1 Este registro no se había enviado antes: revise "
                               "qué registro de esa factura tiene la Agencia Tributaria")
                    .arg(answer.message);
        }
        break;
    case Outcome::NoAnswer:
        r.state = QStringLiteral("enviado");
        r.lastError = answer.message;
        break;
    }
    return r;
}

} // namespace

Pass run(BookDatabase& db, const RecordBatch::Header& header, const ClientSetup& setup,
         const SendingSchedule::Clock& clock) {
    Pass pass;
    const SendingLock lock(db.path());
    if (!lock.held()) {
        pass.busy = true;
        pass.message = SendingLock::busyMessage();
        return pass;
    }
    RecordQueue queue(db);
    // The last attempt failed: whatever waits now, made before the outage or
    // during it, is sent late.
    if (queue.schedule().failures > 0)
        queue.markLate();
    const QList<StoredRecord> waiting = queue.waiting();
    if (waiting.isEmpty())
        return pass;
    SendingSchedule schedule(clock, toState(queue.schedule()));
    schedule.resume();
    if (!schedule.mayStart(queue.waitingCount())) {
        pass.notBefore = schedule.nextAttempt(queue.waitingCount());
        pass.stillWaiting = queue.waitingCount();
        return pass;
    }

    const QList<StoredRecord> batch = batchOf(waiting);
    QList<QByteArray> bytes;
    QList<qint64> sequences;
    for (const StoredRecord& r : batch) {
        bytes.append(r.bytes);
        sequences.append(r.sequence);
    }
    RecordBatch::Header messageHeader = header;
    if (batch.first().incident)
        messageHeader.incident = true;
    const SubmissionMessage message =
        SubmissionMessage::fromBody(RecordBatch::element(messageHeader, bytes));
    const ChainKey chain = batch.first().chain;

    // Marked before it goes: a pass cut short leaves them enviado, so a
    // later duplicate answer is known to be this very record.
    queue.markSent(chain, sequences);
    AeatClient client(setup);
    const SendOutcome outcome = client.sendAndWait(message);
    pass.sent = true;
    pass.message = outcome.message;

    QList<RecordQueue::Result> results;
    if (outcome.kind == SendOutcome::Kind::Answered) {
        schedule.answered(outcome.waitSeconds);
        for (qsizetype i = 0; i < batch.size() && i < outcome.records.size(); ++i)
            results.append(resultFor(batch.at(i), outcome.records.at(i), outcome.csv));
    } else {
        if (outcome.kind == SendOutcome::Kind::ClientFault)
            schedule.refusedAsWhole();
        else
            schedule.failed();
        // A message that may have arrived leaves its records enviado; one that
        // surely did not leaves each as it was.
        for (const StoredRecord& r : batch)
            results.append({r.sequence,
                            outcome.mayHaveArrived ? QStringLiteral("enviado") : r.state,
                            outcome.message,
                            {}});
    }
    queue.apply(chain, results);
    queue.saveSchedule(toSchedule(schedule.state()));

    for (qsizetype i = 0; i < results.size(); ++i) {
        const RecordQueue::Result& r = results.at(i);
        if (r.state == u"rechazado")
            ++pass.rejected;
        if (!r.lastError.isEmpty() && r.state != u"aceptado con errores")
            pass.problems.append(
                QStringLiteral("%1 %2: %3")
                    .arg(batch.at(i).kindText(), batch.at(i).seriesNumber, r.lastError));
    }
    pass.stillWaiting = queue.waitingCount();
    return pass;
}

} // namespace RecordSending
