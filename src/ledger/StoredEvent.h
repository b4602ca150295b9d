#pragma once

#include "ledger/StoredRecord.h"
#include "records/EventRecord.h"

#include <QByteArray>
#include <QString>

// One event of the log as the book keeps it: its place in its chain (one per
// issuer and installation, as for records), the texts the next event names
// it by, and its signed bytes.
struct StoredEvent {
    qint64 sequence = 0;
    ChainKey chain;
    QString type;        // TipoEvento code
    QString generatedAt; // FechaHoraHusoGenEvento as written
    QString huella;
    QString previousHuella; // empty for the first event
    QByteArray bytes;       // only where the reader asked for them

    EventRef reference() const { return {type, generatedAt, huella}; }
};
