#pragma once

#include <QList>
#include <QString>

// What the tax agency knows a billing record by: the invoice (issuer's tax id,
// series and number, issue date as written in the record) and whether the
// record registers or cancels it. Answers are matched to records by this, never
// by their position in the message.
struct RecordId {
    enum class Operation { Alta, Anulacion };

    QString issuerNif;
    QString number;    // NumSerieFactura
    QString issueDate; // FechaExpedicionFactura, dd-mm-yyyy
    Operation operation = Operation::Alta;

    friend bool operator==(const RecordId&, const RecordId&) = default;

    // "A-2026-0001 del 02-11-2026 (alta)": how a message names the record.
    QString describe() const;
};

size_t qHash(const RecordId& id, size_t seed = 0) noexcept;
