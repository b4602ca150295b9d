#pragma once

#include <QString>

#include <optional>

// The event log's codes, as the tax agency numbers them.

// What an event records: the start and end of working without sending each
// record (NO VERI*FACTU), an integrity check launched over the billing records
// or the events and each anomaly it found, a backup restored, the records or
// events of a period exported, the periodic summary; and others the program
// logs of its own accord (an integrity alarm resolved).
enum class EventType {
    ModeStart,       // 01
    ModeEnd,         // 02
    RecordsCheck,    // 03
    RecordsAnomaly,  // 04
    EventsCheck,     // 05
    EventsAnomaly,   // 06
    BackupRestored,  // 07
    RecordsExported, // 08
    EventsExported,  // 09
    Summary,         // 10
    Other,           // 90: told in OtrosDatosEvento
};

QString eventTypeCode(EventType type);
std::optional<EventType> eventTypeFromCode(const QString& code);
// What the event is, in Spanish, for lists and messages.
QString eventTypeName(EventType type);

// What an anomaly is: a fingerprint, signature or other integrity fault; a
// break of the chain (a missing previous or next item, fingerprints that do
// not match); generation times out of order or in the future; other.
enum class AnomalyType {
    FingerprintIntegrity,   // 01
    SignatureIntegrity,     // 02
    OtherIntegrity,         // 03
    PreviousMissing,        // 04
    NextMissing,            // 05
    OtherChainLink,         // 06
    NotNamedByNext,         // 07: its fingerprint is not the one the next one names
    PreviousHuellaMismatch, // 08: the previous fingerprint it names is not the previous one's
    OtherChainFingerprint,  // 09
    OtherChain,             // 10
    BeforePrevious,         // 11
    AfterNext,              // 12
    InTheFuture,            // 13
    OtherDates,             // 14
    OtherTraceability,      // 15
    Other,                  // 90
};

QString anomalyTypeCode(AnomalyType type);
