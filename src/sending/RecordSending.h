#pragma once

#include "records/RecordBatch.h"
#include "sending/ClientSetup.h"
#include "sending/SendingSchedule.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class BookDatabase;

// One pass over the book's waiting records: when the schedule allows it, one
// message with the first chain's waiting records in order of generation, and
// the answer applied to each record. A record whose earlier send went
// unanswered may be answered as a duplicate: the agency holds it, so it
// counts as sent; for any other record a duplicate is a conflict to show.
// Records still waiting when an attempt failed were held back by an outage:
// they go later, in order, in messages of their own marked Incidencia=S.
namespace RecordSending {

struct Pass {
    bool busy = false;    // another program is sending this book's records
    bool sent = false;    // a message went
    QDateTime notBefore;  // not sent: the schedule's next allowed time (UTC)
    QString message;      // the outcome of the message, Spanish
    QStringList problems; // per record still waiting or rejected: why, Spanish
    int stillWaiting = 0; // records waiting after the pass
    int rejected = 0;     // records rejected in this pass
    bool ok() const { return !busy && stillWaiting == 0 && rejected == 0; }
};

// The person asked for the pass: a message the service refused as a whole
// may go again. Throws AppError for a record that cannot be put in a message.
Pass run(BookDatabase& db, const RecordBatch::Header& header, const ClientSetup& setup,
         const SendingSchedule::Clock& clock);

} // namespace RecordSending
