#pragma once

#include "sending/SendOutcome.h"

// The outcome of each record of a message, one letter per record, so a table
// row states them at a glance: A accepted, E accepted with errors, R rejected,
// D duplicate, N no answer.
inline QString outcomeLetters(const QList<RecordResult>& records) {
    QString text;
    for (const RecordResult& record : records)
        text += QLatin1Char("AERDN"[int(record.outcome)]);
    return text;
}
