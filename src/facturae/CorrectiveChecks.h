#pragma once

#include <libxml/tree.h>

class CheckReport;

// Corrective invoices (F-R1): the reason's description must be the one of
// its ReasonCode, and the correction method's the one of its
// CorrectionMethod. The schema accepts any listed description with any code.
namespace CorrectiveChecks {

void run(const xmlNode* root, CheckReport& report);

} // namespace CorrectiveChecks
