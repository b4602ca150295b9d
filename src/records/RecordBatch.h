#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// The RegFactuSistemaFacturacion element that carries stored records to the
// tax agency and into an export: the issuer in Cabecera, then up to 1,000
// RegistroFactura, each holding a stored record byte for byte.
namespace RecordBatch {

inline constexpr int MaxRecords = 1000;

struct Header {
    QString issuerName;
    QString issuerNif;
    // RemisionVoluntaria: the last day in VERI*FACTU mode, and whether the
    // records were held back by an incident.
    std::optional<QDate> verifactuEnd;
    std::optional<bool> incident;
};

// The element alone (the body of a sending). Its root declares only the two
// namespaces every record declares for itself with the same prefixes, so a
// record's canonical form inside the batch is the one it has on its own.
// Throws AppError for no records, more than MaxRecords, or bytes that are not
// a record Orvane stored.
QByteArray element(const Header& header, const QList<QByteArray>& records);

// The same as a file: with the XML declaration.
QByteArray document(const Header& header, const QList<QByteArray>& records);

// The record element of stored bytes: without an XML declaration or blanks
// around it (a signed record may have been saved with one).
QByteArray recordElement(const QByteArray& stored);

} // namespace RecordBatch
