#pragma once

#include <QByteArray>
#include <QString>

// The chain's fingerprint (Huella): "Name=value" pairs in a fixed order,
// values without blanks at either end, joined by "&", its UTF-8 bytes hashed
// with SHA-256 and written as 64 upper-case hexadecimal digits. An empty
// value still gives "Name=" (the first record's previous fingerprint).
namespace Fingerprint {

// The texts of a record that its fingerprint covers, exactly as the record
// writes them. An alta covers its invoice type and totals; an anulación
// names the cancelled invoice with the "...Anulada" fields.
struct RecordTexts {
    bool anulacion = false;
    QString issuerNif;
    QString numSerie;
    QString issueDate;
    QString invoiceType;    // alta only
    QString cuotaTotal;     // alta only
    QString importeTotal;   // alta only
    QString previousHuella; // empty for the first record
    QString generatedAt;
};

// The same for an event of the event log.
struct EventTexts {
    QString producerNif;
    QString producerOtherId; // empty when the producer has none
    QString systemId;
    QString version;
    QString installationNumber;
    QString issuerNif;
    QString eventType;
    QString previousHuella; // empty for the first event
    QString generatedAt;
};

// The string that is hashed.
QByteArray input(const RecordTexts& texts);
QByteArray input(const EventTexts& texts);

// SHA-256 of the bytes, 64 upper-case hexadecimal digits.
QString of(const QByteArray& input);

// 64 upper-case hexadecimal digits: the form every fingerprint has.
bool isWellFormed(const QString& huella);

} // namespace Fingerprint
