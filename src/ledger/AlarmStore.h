#pragma once

#include "records/IntegrityAlarm.h"

#include <optional>

class BookDatabase;
class EventLog;

// The integrity alarm kept in the book: raised by a check that found a
// fault, it stays on, whatever restarts, until the user resolves it with a
// note; the resolution is logged as an event.
namespace AlarmStore {

// Stores a raised alarm, inside the caller's transaction when there is one.
void raise(BookDatabase& db, const IntegrityAlarm& alarm);

// The alarm that is on: the latest one not resolved; nothing when none is.
// Throws AppError when the stored alarm cannot be read.
std::optional<IntegrityAlarm> active(const BookDatabase& db);

// Resolves every alarm that is on with the note, logging the resolution in
// the same transaction (an event of the program's own, type 90). Throws
// AppError, changing nothing, when no alarm is on or the note is blank.
IntegrityAlarm resolve(BookDatabase& db, EventLog& log, const QString& note);

} // namespace AlarmStore
