#pragma once

#include "records/ChainCheck.h"
#include "records/EventRecord.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

// Where a chain of events that does not start with the first event takes up:
// the last event before it, once older events were exported and removed.
struct EventAnchor {
    qint64 sequence = 0;
    EventRef event;
};

// Checks a chain of stored events in sequence order as ChainVerifier checks
// records, one event at a time: every event's fingerprint is computed again
// from its own XML texts, and every event must name the one before it (its
// type, generation time and fingerprint), the first one being marked as
// first. Stops at the first fault.
class EventChainVerifier : public ChainCheck {
public:
    explicit EventChainVerifier(std::optional<EventAnchor> anchor = std::nullopt);

    // False once a fault is found (this event's or an earlier one's).
    bool add(qint64 sequence, const QByteArray& bytes);

    // The last good event: what the next event links to. Empty before the
    // first one (the anchor's when there is one).
    const EventRef& last() const { return m_last; }

private:
    EventRef m_last;
};
