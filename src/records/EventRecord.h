#pragma once

#include "common/Decimal.h"
#include "records/BillingRecord.h"
#include "records/EventCodes.h"
#include "records/GenerationTime.h"

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

struct ReadRecord;

// An event of the log kept while working without sending each record (NO
// VERI*FACTU): a plain value that EventBuilder turns into the stored XML and
// its fingerprint, chained to the event made before it as records are.

// A billing record as an event names it: its invoice's three texts and its
// fingerprint, as the record writes them.
struct RecordRef {
    QString issuerNif;
    QString numSerie;
    QString issueDate; // dd-mm-yyyy
    QString huella;
};

// An event as another event names it: its type code, generation time and
// fingerprint, as that event writes them.
struct EventRef {
    QString type;
    QString generatedAt;
    QString huella;
};

// The event's place in the chain: the first one, or after the event it names.
struct EventLink {
    bool first = true;
    EventRef previous;

    static EventLink start() { return {}; }
    static EventLink after(const EventRef& previous) { return {false, previous}; }
};

// What an integrity check goes through, for each of its four processes
// (fingerprints, signatures, the chain's links, the order of the generation
// times): how many records or events it went through; nothing for a process
// it does not run.
struct CheckLaunch {
    std::optional<qint64> fingerprints;
    std::optional<qint64> signatures;
    std::optional<qint64> chain;
    std::optional<qint64> dates;
};

// An anomaly found by a check. A reference that does not have the form the
// tax agency's schema gives it (a tampered record may hold anything) is left
// out rather than stop the anomaly from being logged.
struct Anomaly {
    AnomalyType type = AnomalyType::Other;
    QString details;                 // its first 100 characters are written
    std::optional<RecordRef> record; // records' anomaly; its fingerprint is not written
    std::optional<EventRef> event;   // events' anomaly
};

// The billing records of a period, as an export or a summary counts them:
// the first and the last, how many altas with their summed totals, how many
// anulaciones.
struct RecordTally {
    std::optional<RecordRef> first;
    std::optional<RecordRef> last;
    qint64 altas = 0;
    Decimal cuotaTotal;
    Decimal importeTotal;
    qint64 anulaciones = 0;

    // Counts a record read back, in chain order. Throws AppError when an
    // alta's totals are not amounts.
    void add(const ReadRecord& record);
};

// The billing records of a period written to a file.
struct RecordsExport {
    QDateTime from;
    QDateTime to;
    RecordTally records;       // at least one
    bool removedAfter = false; // the book stops keeping them
};

// The events of a period written to a file.
struct EventsExport {
    QDateTime from;
    QDateTime to;
    EventRef first;
    EventRef last;
    qint64 count = 0;
    bool removedAfter = false;
};

// What happened since the previous summary: the events of each type and the
// billing records generated.
struct EventSummary {
    QMap<EventType, int> events;
    RecordTally records;
};

struct EventRecord {
    EventType type = EventType::ModeStart;
    SoftwareSystem system;
    // ObligadoEmision: the taxpayer whose records the log is about.
    QString issuerName;
    QString issuerNif;
    QDateTime generatedAt;
    Territory territory = Territory::Peninsula;
    EventLink chain;
    // OtrosDatosEvento, any type (the backup restored, say); its first 100
    // characters are written.
    QString otherData;

    // The detail of some types.
    CheckLaunch check;           // RecordsCheck, EventsCheck
    Anomaly anomaly;             // RecordsAnomaly, EventsAnomaly
    RecordsExport recordsExport; // RecordsExported
    EventsExport eventsExport;   // EventsExported
    EventSummary summary;        // Summary
};
