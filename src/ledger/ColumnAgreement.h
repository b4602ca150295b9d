#pragma once

#include "ledger/StoredRecord.h"
#include "records/ChainVerifier.h"

// The book repeats in its columns what each record says (kind, invoice,
// generation time, fingerprints) so that it can be listed and searched
// without reading the bytes. A column edited behind the program's back would
// mislead the list and the next link: the chain checks compare them.
namespace ColumnAgreement {

// What the stored row's columns say that its record does not, in Spanish;
// empty when they agree. huella: the record's fingerprint computed again.
QString problem(const StoredRecord& row, const ReadRecord& record, const QString& huella);

// The same, as the chain check asks it.
ChainVerifier::Agreement with(const StoredRecord& row);

} // namespace ColumnAgreement
