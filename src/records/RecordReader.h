#pragma once

#include "common/Decimal.h"
#include "records/Fingerprint.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What the chain check and the tools read back from a stored record: the
// fingerprinted texts as written, the stored fingerprint and the link to the
// previous record.
struct ReadRecord {
    // IDFactura's three texts (of the cancelled invoice for an anulación)
    // are those of fingerprinted.
    Fingerprint::RecordTexts fingerprinted;
    QString huella;
    QString tipoHuella;
    bool first = false; // Encadenamiento/PrimerRegistro = S
    QString previousNif;
    QString previousNumSerie;
    QString previousDate;
    // An alta's breakdown added up (Σ CuotaRepercutida, Σ base + Σ cuota);
    // nothing when an amount does not read as one.
    std::optional<Decimal> detailQuota;
    std::optional<Decimal> detailTotal;

    // "A-2027-001 de 05-03-2027"
    QString invoiceText() const;
};

namespace RecordReader {

// Throws AppError when the bytes are not well-formed XML (a DOCTYPE is
// refused: nothing outside the bytes is read) or not a RegistroAlta or
// RegistroAnulacion of the tax agency's namespace.
ReadRecord read(const QByteArray& bytes);

} // namespace RecordReader
