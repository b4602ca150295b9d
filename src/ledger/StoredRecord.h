#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>

// Which chain a record belongs to: one per issuer and installation.
struct ChainKey {
    QString issuerNif;
    QString installation;
    friend bool operator==(const ChainKey&, const ChainKey&) = default;
};

// One billing record as the book keeps it: its place in the chain, what it
// concerns, its sending state and its exact bytes. The texts are those the
// record itself writes.
struct StoredRecord {
    enum class Kind { Alta, Anulacion };

    qint64 sequence = 0;
    ChainKey chain;
    Kind kind = Kind::Alta;
    std::optional<qint64> invoiceId; // the book's invoice, when it is in the book
    QString seriesNumber;            // NumSerieFactura
    QDate issueDate;
    QString generatedAt; // FechaHoraHusoGenRegistro
    QString huella;
    QString previousHuella; // empty for the first record
    QString state;          // pendiente, enviado, aceptado, aceptado con errores, rechazado
    bool incident = false;  // held back by an outage: sent with Incidencia=S (queue only)
    QByteArray bytes;       // only where the reader asked for them

    // "alta" / "anulación", as the book stores and the tool shows it.
    QString kindText() const;
};
