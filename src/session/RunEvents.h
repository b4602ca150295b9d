#pragma once

#include "ledger/EventLog.h"
#include "ledger/IntegrityCheck.h"
#include "ledger/RecordSigner.h"
#include "records/GenerationTime.h"
#include "records/IntegrityAlarm.h"
#include "records/SummaryTimer.h"

#include <QString>

#include <optional>

class BookDatabase;
struct IssuerSettings;

// What the program logs of its own run when working without sending each
// record (NO VERI*FACTU), beside the invoices it issues: the integrity check
// at start, a summary every 6 hours of running and one when it quits, the
// start and end of the mode. Each event goes into the book of appDir, signed
// by signer, with the issuer of appDir's Registro.Ini as it is then.
class RunEvents {
public:
    RunEvents(QString appDir, RecordSigner signer, GenerationTime::Clock clock = {});

    // The issuer's name as records and events write it: a person's with the
    // surnames.
    static QString issuerName(const IssuerSettings& issuer);
    // The issuer of appDir's Registro.Ini as the event log names it, with
    // the territory of [VERIFACTU].
    static EventLog::Issuer issuer(const QString& appDir);
    // The issuer's event log in db, signed by signer.
    static EventLog log(BookDatabase& db, const QString& appDir, const RecordSigner& signer,
                        const GenerationTime::Clock& clock = {});

    // Whether appDir's Registro.Ini sets the mode that logs events.
    bool active() const;

    // Checks the records, their signatures and the events, logging the check,
    // what it found and the alarm it raised. Opens its own connection to the
    // book, so it may run on another thread.
    IntegrityReport checkIntegrity() const;
    // The alarm that is on in the book; none when none is (or no book).
    std::optional<IntegrityAlarm> alarm() const;
    // Resolves the alarm with the note, logging it. Throws AppError.
    IntegrityAlarm resolveAlarm(const QString& note) const;

    // Writes the summary when 6 hours of running have passed since the last
    // one the run wrote (or since it started); true when one was written.
    // Asked every minute or so while the program runs.
    bool summaryIfDue();
    // The summary the program writes as it quits.
    void summaryAtQuit();
    // When the next summary is due, for the program's timer.
    QDateTime nextSummary() { return m_timer.nextDue(); }

    // The mode was entered or left on the settings page.
    void modeStarted() const;
    void modeEnded() const;

private:
    void append(EventType type) const;
    void writeSummary();

    QString m_appDir;
    RecordSigner m_signer;
    GenerationTime::Clock m_clock;
    SummaryTimer m_timer;
};
