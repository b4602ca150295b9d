#pragma once

#include "facturae/CheckFinding.h"

#include <QByteArray>
#include <QString>

#include <libxml/tree.h>

#include <functional>

class CheckReport;

// Corrective invoices (F-R1): the reason's description must be the one of
// its ReasonCode, and the correction method's the one of its
// CorrectionMethod. The schema accepts any listed description with any code.
namespace CorrectiveChecks {

void run(const xmlNode* root, CheckReport& report);

// Whether the invoice book holds the invoice seriesNumber ("series-number",
// or the number alone) of the seller with that tax id, as written.
using HeldInBook = std::function<bool(const QString& sellerTaxId, const QString& seriesNumber)>;

// F-R2, a warning: the invoice a corrective corrects is not in the book.
// Nothing for a document that does not read or has no corrective.
CheckFindings correctedInBook(const QByteArray& document, const HeldInBook& held);

} // namespace CorrectiveChecks
