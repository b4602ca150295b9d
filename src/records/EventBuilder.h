#pragma once

#include "records/EventRecord.h"
#include "records/Fingerprint.h"

#include <QByteArray>
#include <QString>

// An event as it is stored before it is signed: the RegistroEvento element as
// a document of its own (UTF-8, no declaration) declaring its one namespace
// on itself, its fingerprint, and how the next event names it.
struct BuiltEvent {
    QByteArray xml;
    QString huella;
    QByteArray fingerprintInput; // what was hashed
    EventRef reference;
};

// Turns an event into its XML and fingerprint in one go: the fingerprint is
// taken over the very texts written into the XML.
namespace EventBuilder {

// The event's signature (enveloped, over the whole document) goes last inside
// this element of the event's namespace, not inside the root: the schema
// wants it there.
inline constexpr char SignatureParent[] = "Evento";

// Throws AppError listing every problem of EventRules::formProblems.
BuiltEvent build(const EventRecord& event);

// The fingerprinted texts of an event, as build writes them.
Fingerprint::EventTexts fingerprintTexts(const EventRecord& event);

} // namespace EventBuilder
