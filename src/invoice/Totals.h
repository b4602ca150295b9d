#pragma once

class InvoiceRecord;

// Works the six totals boxes out from every stored line and the withholding
// rate. Leaves the lines table on its last line.
void RecalculateTotals(InvoiceRecord& record);
