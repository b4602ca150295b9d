#include "ledger/AlarmStore.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"
#include "common/AppError.h"
#include "ledger/EventLog.h"

namespace AlarmStore {

void raise(BookDatabase& db, const IntegrityAlarm& alarm) {
    SqlStatement insert(db, "INSERT INTO integrity_alarms (raised_at, resolved, alarm) "
                            "VALUES (?, 0, ?)");
    insert.bindAll(alarm.raisedAt.toString(Qt::ISODateWithMs), QString::fromUtf8(alarm.toJson()))
        .run();
}

std::optional<IntegrityAlarm> active(const BookDatabase& db) {
    SqlStatement row(db, "SELECT alarm FROM integrity_alarms WHERE resolved = 0 "
                         "ORDER BY id DESC LIMIT 1");
    if (!row.next())
        return std::nullopt;
    return IntegrityAlarm::fromJson(row.text(0).toUtf8());
}

IntegrityAlarm resolve(BookDatabase& db, EventLog& log, const QString& note) {
    BookDatabase::Transaction transaction(db);
    std::optional<IntegrityAlarm> alarm = active(db);
    if (!alarm)
        throw AppError(QStringLiteral("No hay ninguna alarma de integridad activa que resolver"));
    const QDateTime now = log.clock()();
    alarm->resolve(note, now);
    // Earlier alarms still on are settled by the same review.
    SqlStatement open(db, "SELECT id, alarm FROM integrity_alarms WHERE resolved = 0");
    QList<std::pair<qint64, IntegrityAlarm>> settled;
    while (open.next()) {
        IntegrityAlarm a = IntegrityAlarm::fromJson(open.text(1).toUtf8());
        a.resolve(note, now);
        settled.append({open.integer(0), a});
    }
    for (const auto& [id, a] : settled) {
        SqlStatement update(db, "UPDATE integrity_alarms SET resolved = 1, alarm = ? WHERE id = ?");
        update.bindAll(QString::fromUtf8(a.toJson()), id).run();
    }
    EventRecord event;
    event.type = EventType::Other;
    event.otherData = QStringLiteral("Alarma de integridad resuelta: %1").arg(alarm->note);
    log.append(event);
    transaction.commit();
    return *alarm;
}

} // namespace AlarmStore
