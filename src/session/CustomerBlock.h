#pragma once

#include "book/BookCustomers.h"

class InvoiceRecord;

// The customer of an invoice as the book remembers it: the whole block
// (kind, every field, the administration tick and its centres), so choosing
// a remembered customer fills in all of it.
namespace CustomerBlock {

// The record's customer, keyed by tax id and the three centre codes.
CustomerRow of(const InvoiceRecord& record);

// The customer's name as the document writes it: the corporate name, or the
// person's name and surnames.
QString name(const InvoiceRecord& record);

// Fills the record's customer block from a remembered customer's details.
void fill(InvoiceRecord& record, const CustomerRow& customer);

} // namespace CustomerBlock
