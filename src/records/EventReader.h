#pragma once

#include "records/EventRecord.h"
#include "records/Fingerprint.h"

#include <QByteArray>
#include <QString>

// What the chain check and the tools read back from a stored event, signed
// or not: the fingerprinted texts as written, the stored fingerprint and the
// link to the previous event.
struct ReadEvent {
    Fingerprint::EventTexts fingerprinted;
    QString huella;
    QString tipoHuella;
    bool first = false; // Encadenamiento/PrimerEvento = S
    // EventoAnterior's texts; its fingerprint is fingerprinted.previousHuella.
    QString previousType;
    QString previousGeneratedAt;

    // How the next event names this one.
    EventRef reference() const;
    // "Resumen de eventos de 2027-01-02T15:00:00+01:00"
    QString eventText() const;
};

namespace EventReader {

// Throws AppError when the bytes are not well-formed XML of the plain form
// stored records are read in (StoredXmlScanner), or not a RegistroEvento of
// the tax agency's namespace.
ReadEvent read(const QByteArray& bytes);

} // namespace EventReader
