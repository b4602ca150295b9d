#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <functional>
#include <optional>

// Where the issuer is: its records carry that territory's time and offset.
enum class Territory { Peninsula, Canarias };

// The generation time of a record or an event, as the tax agency wants it:
// local time of the issuer's territory with its offset, "2027-03-28T03:00:00+02:00",
// never "Z" (Qt writes "Z" for a zero offset, the Canary Islands in winter).
namespace GenerationTime {

// The time source: the system clock in the program, a fixed or moving one
// in tests.
using Clock = std::function<QDateTime()>;
Clock systemClock();

// Europe/Madrid or Atlantic/Canary. Throws AppError when the system has no
// time-zone data for it: a wrong offset would go into the fingerprint.
QTimeZone zone(Territory territory);

// The instant in the territory's local time, to the second, with "±hh:mm".
QString text(const QDateTime& instant, Territory territory);

// Reads back exactly that form; nothing for anything else ("Z", no offset,
// fractions of a second).
std::optional<QDateTime> parse(const QString& text);

// The calendar date in the territory at that instant: the issuer's today.
QDate localDate(const QDateTime& instant, Territory territory);

} // namespace GenerationTime
