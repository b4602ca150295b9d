#pragma once

#include "ledger/LedgerCheck.h"
#include "ledger/RecordSigner.h"
#include "records/ChainCheck.h"
#include "records/IntegrityAlarm.h"

#include <QList>
#include <QString>

#include <optional>

class BookDatabase;
class EventLog;

// What a check of the book found when working without sending each record.
struct IntegrityReport {
    LedgerCheckReport records; // fingerprints, links, sequence, columns
    qint64 signedRecords = 0;  // signatures of records checked and found good
    std::optional<ChainFault> recordSignatureFault;
    qint64 events = 0; // events checked and found good
    std::optional<ChainFault> eventFault;
    QList<IntegrityAlarm> raised; // one for the records, one for the events

    bool ok() const;
    // One line per finding, in Spanish, for the tool and the window.
    QStringList lines() const;
};

// Checks the billing records (fingerprints, chain, columns, and the signature
// of each signed record: once records are signed every later one must be)
// and the events (fingerprints, chain and signatures), then logs it in one
// transaction: the launch of each check, each anomaly found, and the alarm
// raised for it; a summary too when one is due.
namespace IntegrityCheck {

IntegrityReport run(BookDatabase& db, EventLog& log, const SignatureCheck& signatures);

} // namespace IntegrityCheck
