#pragma once

#include "records/BillingRecord.h"
#include "records/Fingerprint.h"

#include <QByteArray>
#include <QString>

// A record as it is stored: the RegistroAlta or RegistroAnulacion element as
// a document of its own (UTF-8, no declaration), and its fingerprint.
struct BuiltRecord {
    QByteArray xml;
    QString huella;
    QByteArray fingerprintInput; // what was hashed
};

// Turns a billing record into its XML and fingerprint in one go: the
// fingerprint is taken over the very texts written into the XML, so the two
// cannot disagree. The element declares the two namespaces a batch declares
// (RecordBatch): cut out of a batch, it canonicalises exactly as stored.
namespace RecordBuilder {

// Throws AppError listing every problem of RecordRules::formProblems.
BuiltRecord build(const BillingRecord& record);

// The fingerprinted texts of a record, as build writes them.
Fingerprint::RecordTexts fingerprintTexts(const BillingRecord& record);

} // namespace RecordBuilder
