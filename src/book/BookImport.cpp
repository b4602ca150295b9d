#include "book/BookImport.h"

#include "book/InvoiceBook.h"

namespace BookImport {

namespace {

// The same invoice, as far as the book lists it.
bool sameFigures(const InvoiceSummary& a, const InvoiceSummary& b) {
    return a.issuerTaxId == b.issuerTaxId && a.series == b.series && a.number == b.number &&
           a.issueDate == b.issueDate && a.customerTaxId == b.customerTaxId &&
           a.baseCents == b.baseCents && a.vatCents == b.vatCents &&
           a.withholdingCents == b.withholdingCents && a.totalCents == b.totalCents;
}

} // namespace

Outcome importRow(InvoiceBook& book, const InvoiceRow& row, bool isSigned) {
    using Kind = Outcome::Kind;
    InvoiceBook::SameTransaction keepSigned;
    if (isSigned)
        keepSigned = [&](qint64 id) { book.storeSigned(id, row.document, row.fileName); };
    const InvoiceBook::IssueResult result = book.issue(row, keepSigned);
    switch (result.outcome) {
    case InvoiceBook::IssueResult::Outcome::Issued:
        return {Kind::Imported, result.entry};
    case InvoiceBook::IssueResult::Outcome::Same:
        return {Kind::AlreadyKept, result.entry};
    case InvoiceBook::IssueResult::Outcome::Conflict:
        break;
    }
    const BookEntry& holder = result.entry;
    if (isSigned) {
        const QByteArray kept = book.signedDocument(holder.id);
        if (kept == row.document)
            return {Kind::AlreadyKept, holder};
        // The signature of the unsigned document imported before it.
        if (kept.isEmpty() && sameFigures(holder.summary, row.summary)) {
            book.storeSigned(holder.id, row.document, row.fileName);
            return {Kind::SignedCopyAdded, *book.entry(holder.id)};
        }
    }
    return {Kind::NumberTaken, holder};
}

} // namespace BookImport
