#pragma once

#include "book/BookRows.h"

class InvoiceBook;

// Documents issued before the book existed, brought into it with their
// listed columns and exact bytes, never as an invoice value (so none is
// offered to be opened as a new invoice). A signed document is kept as its
// invoice's signed copy too; one whose invoice is already kept unsigned,
// with the same figures, becomes that invoice's signed copy.
namespace BookImport {

struct Outcome {
    enum class Kind {
        Imported,        // a new invoice in the book
        SignedCopyAdded, // the signed copy of an invoice already kept
        AlreadyKept,     // the same bytes are in the book: nothing written
        NumberTaken,     // another document holds the number: nothing written
    };
    Kind kind = Kind::Imported;
    BookEntry entry; // the invoice written, or the one found
};

// row.value must be empty: the book does not hold the invoice's value.
Outcome importRow(InvoiceBook& book, const InvoiceRow& row, bool isSigned);

} // namespace BookImport
