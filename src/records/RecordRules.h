#pragma once

#include "records/BillingRecord.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>

// What the tax agency refuses a billing record for, checked before anything
// is written. Each problem is a Spanish sentence naming the record's field.
namespace RecordRules {

// What is wrong with a tax id for a record (a Spanish NIF of nine characters,
// upper case, without separators, with its right check character), or with
// a series-and-number text (1 to 60 characters of ASCII 32-126 without
// " ' < > =); empty when nothing. In Spanish, without the field's name.
QString nifProblem(const QString& nif);
QString numSerieProblem(const QString& numSerie);

// What is wrong with the program's SistemaInformatico block, which records
// and events both carry.
QStringList systemProblems(const SoftwareSystem& system);

// Everything that does not depend on the day: RecordBuilder refuses a record
// with any of these.
QStringList formProblems(const BillingRecord& record);

// The same plus the issue date against today (the issuer's date in its
// territory, see GenerationTime::localDate).
QStringList problems(const BillingRecord& record, const QDate& today);

// Throws AppError listing every problem, one a line.
void require(const BillingRecord& record, const QDate& today);

// A new record must not be dated before the previous one: with the clock set
// back, the previous record's generation time is after now. A minute of
// difference between clocks is allowed. Throws AppError otherwise.
void requireClockNotBehind(const QDateTime& previousGeneratedAt, const QDateTime& now);

} // namespace RecordRules
