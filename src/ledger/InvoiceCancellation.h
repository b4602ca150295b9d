#pragma once

#include "ledger/RecordLedger.h"
#include "ledger/RecordSettings.h"
#include "ledger/StoredRecord.h"

#include <QString>

// Cancelling an issued invoice with its billing record of cancellation, as
// the book window's Anular and orvane-cli records cancel do it.
namespace InvoiceCancellation {

// What a cancellation needs from Registro.Ini of appDir: the records' mode
// and territory, and the issuer's tax id.
struct Settings {
    RecordSettings records;
    QString issuerNif;
};

// Throws AppError, naming the key and the file, when no mode is chosen (no
// record is made, so nothing can be cancelled with one) or Mis datos has no
// tax id.
Settings required(const QString& appDir);

// Whether the invoices are cancelled with a record: a mode is chosen and the
// settings can be read.
bool offered(const QString& appDir);

// Appends the record of cancellation of the issued invoice named
// seriesNumber (as the book lists it); see RecordLedger::cancel. options:
// the ledger's clock and producer, the system's and the built-in by default.
StoredRecord cancel(BookDatabase& db, const Settings& settings, const QString& seriesNumber,
                    RecordLedger::Options options = {});

} // namespace InvoiceCancellation
