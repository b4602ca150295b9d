#pragma once

#include <libxml/tree.h>

class CheckReport;

// The identities by which a Facturae document adds up: each line (F-L1 to
// F-L4), each invoice's totals (F-T1 to F-T8) and the batch (F-T9). Amounts
// are compared in cents: one cent apart is a warning, more an error.
namespace AmountChecks {

void run(const xmlNode* root, CheckReport& report);

} // namespace AmountChecks
