#pragma once

class InvoiceRecord;
class XmlOut;
struct InvoiceTotals;

// The Invoices element: header, issue data, VAT summary by rate, withholding,
// totals, one element per line and the payment details. totals: the
// record's, worked out once for the whole document.
void writeInvoiceBody(const InvoiceRecord& record, const InvoiceTotals& totals, XmlOut& xml);
