#pragma once

#include "book/BookRows.h"
#include "ledger/RecordLedger.h"
#include "ledger/StoredRecord.h"
#include "records/BillingRecord.h"

#include <optional>

class BookDatabase;

// A record is never edited, not even after the tax agency rejected it: the
// invoice is corrected and a new record about it is appended, whose flags say
// what it corrects.
namespace RecordCorrection {

struct Flags {
    bool subsanacion = false;
    PreviousRejection previousRejection = PreviousRejection::None;
    bool withoutPriorRecord = false;
    friend bool operator==(const Flags&, const Flags&) = default;
};

// A new alta after the invoice's last record (bytes included):
// - after a rejected alta: Subsanacion=S, RechazoPrevio=X (the agency holds
//   nothing of it, so any data may change);
// - after an accepted alta: Subsanacion=S, for data that needs no corrective
//   invoice: a change of type or amounts (CuotaTotal, ImporteTotal) is refused.
// Throws AppError (Spanish, naming the invoice) when the invoice has no
// record, is cancelled, or its last record still waits for an answer.
Flags forAlta(const std::optional<StoredRecord>& last, const BillingRecord& draft);

// A cancellation after the invoice's last record: none, SinRegistroPrevio=S;
// after a rejected cancellation, RechazoPrevio=S. Throws AppError when the
// invoice is cancelled already (its cancellation accepted or still waiting).
Flags forAnulacion(const std::optional<StoredRecord>& last);

// Keeps row, the corrected invoice, in place of the book's current version
// of its number, and appends draft, its alta, with the flags forAlta gives.
// An unchanged document keeps the version and still gets the record (the
// rejection may have been about the issuer's data). One transaction: the
// invoice and its record, or nothing. Throws AppError as forAlta does, or
// when draft names another invoice than row.
StoredRecord correct(BookDatabase& db, RecordLedger& ledger, const InvoiceRow& row,
                     BillingRecord draft);

} // namespace RecordCorrection
