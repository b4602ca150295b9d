#pragma once

#include "ledger/RecordSigner.h"
#include "ledger/StoredEvent.h"
#include "records/EventRecord.h"
#include "records/GenerationTime.h"
#include "records/ProducerData.h"

#include <optional>

class BookDatabase;

// The event log kept in the book while working without sending each record
// (NO VERI*FACTU): each event chained to the one before it in its issuer's
// and installation's chain, fingerprinted and signed, appended inside the
// caller's transaction when there is one, so an event and what it logs are
// kept together or not at all.
class EventLog {
public:
    // The taxpayer whose records the log is about (ObligadoEmision), and
    // the territory whose clock stamps the events.
    struct Issuer {
        QString name;
        QString nif;
        Territory territory = Territory::Peninsula;
    };
    struct Options {
        GenerationTime::Clock clock; // the system's by default
        std::optional<ProducerData> producer;
    };

    EventLog(BookDatabase& db, Issuer issuer, RecordSigner signer)
        : EventLog(db, std::move(issuer), std::move(signer), Options()) {}
    EventLog(BookDatabase& db, Issuer issuer, RecordSigner signer, Options options);

    // This issuer's and installation's chain of events.
    ChainKey chain();
    GenerationTime::Clock clock() const { return m_clock; }
    Territory territory() const { return m_issuer.territory; }

    // Appends event, its type and detail as given: the program, the issuer,
    // the time now and the link to the last event are filled in here, and
    // the built event is signed. Throws AppError, nothing written, when the
    // event breaks a rule of the schema or cannot be signed (no signer).
    // A damaged last event does not stop the log: the next one names it as
    // the book stored it, so that the anomaly itself can be logged.
    StoredEvent append(EventRecord event);

    // The summary of what happened since the last one (the events of each
    // type, the billing records generated), written now.
    StoredEvent appendSummary();
    // For a tool command, which runs for moments: the summary, when 6 hours
    // have passed since the last one (or since the first event).
    std::optional<StoredEvent> appendSummaryIfDue();

private:
    BookDatabase& m_db;
    Issuer m_issuer;
    RecordSigner m_signer;
    GenerationTime::Clock m_clock;
    ProducerData m_producer;
};
