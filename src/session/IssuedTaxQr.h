#pragma once

#include "book/BookDatabase.h"
#include "ledger/RecordSettings.h"
#include "records/BillingRecord.h"
#include "session/TaxQr.h"

#include <QByteArray>
#include <QString>

// The tax QR of an invoice this program issued with billing records: the
// address its document carries (made from the very record the book keeps)
// and the legend its copy prints below the code.
namespace IssuedTaxQr {

// The address of record: the check page of the mode (MODO) on the tax
// agency's host (ENTORNO). Throws AppError when the record breaks one of the
// address's rules.
QString address(const BillingRecord& record, const RecordSettings& settings);

// The text under the code for settings (LEYENDA); none in the mode without
// sending.
QString legend(const RecordSettings& settings);

// The code of document when the book of appDir holds the record the address
// inside it was made from (so this program issued it): the address, and the
// legend for a VERI*FACTU address as LEYENDA says now. Empty otherwise: no
// book, no address, an address of no record of the book.
TaxQr of(const QString& appDir, const QByteArray& document,
         const BookDatabase::Options& options = {});

} // namespace IssuedTaxQr
