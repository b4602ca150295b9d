#pragma once

class InvoiceRecord;
class XmlOut;

// The Invoices element: header, issue data, VAT summary by rate, withholding,
// totals, one element per line and the payment details.
void writeInvoiceBody(const InvoiceRecord& record, XmlOut& xml);
