#pragma once

#include "records/EventRecord.h"

#include <QStringList>

// What the tax agency's schema refuses in an event, checked before anything
// is written. Each problem is a Spanish sentence naming the event's field.
namespace EventRules {

// Whether a reference has the form an event writes it in (NIF of nine
// characters, a series and number of up to 60, dd-mm-yyyy, a fingerprint of
// 64 upper-case hexadecimal digits; an event type code and a generation time
// as Orvane writes them): empty when it has, what is wrong otherwise.
// invoiceProblem looks at the invoice's texts alone.
QString invoiceProblem(const RecordRef& record);
QString recordRefProblem(const RecordRef& record);
QString eventRefProblem(const EventRef& event);

// EventBuilder refuses an event with any of these.
QStringList formProblems(const EventRecord& event);

} // namespace EventRules
