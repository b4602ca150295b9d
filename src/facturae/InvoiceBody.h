#pragma once

struct Invoice;
class XmlOut;
struct InvoiceTotals;

// The Invoices element: header, issue data, VAT summary by rate, withholding,
// totals, one element per line, the payment details and the legal mentions.
// totals: the invoice's, worked out once for the whole document.
void writeInvoiceBody(const Invoice& invoice, const InvoiceTotals& totals, XmlOut& xml);
