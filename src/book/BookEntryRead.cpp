#include "book/BookEntryRead.h"

#include "book/SqlStatement.h"

namespace BookEntryRead {

#define ORVANE_BOOK_STATE                                                                          \
    "(SELECT h.kind FROM history h WHERE h.invoice_id = i.id ORDER BY h.id DESC LIMIT 1)"

const char* const State = ORVANE_BOOK_STATE;

// The latest billing record of the version, "kind|state".
#define ORVANE_BOOK_RECORD                                                                         \
    "(SELECT r.kind || '|' || r.state FROM billing_records r WHERE r.invoice_id = i.id "           \
    "ORDER BY r.sequence DESC LIMIT 1)"

const char* const Record = ORVANE_BOOK_RECORD;

const char* const Columns =
    "i.id, i.version, i.is_current, i.issuer_tax_id, i.series, i.number, i.series_number, "
    "i.issue_date, i.due_date, i.customer_tax_id, i.customer_name, i.base_cents, i.vat_cents, "
    "i.withholding_cents, i.total_cents, i.stored_at, " ORVANE_BOOK_STATE ", " ORVANE_BOOK_RECORD;

BookEntry read(const SqlStatement& s) {
    BookEntry e;
    e.id = s.integer(0);
    e.version = int(s.integer(1));
    e.current = s.integer(2) != 0;
    e.summary.issuerTaxId = s.text(3);
    e.summary.series = s.text(4);
    e.summary.number = s.text(5);
    e.seriesNumber = s.text(6);
    e.summary.issueDate = QDate::fromString(s.text(7), Qt::ISODate);
    e.summary.dueDate = QDate::fromString(s.text(8), Qt::ISODate);
    e.summary.customerTaxId = s.text(9);
    e.summary.customerName = s.text(10);
    e.summary.baseCents = s.integer(11);
    e.summary.vatCents = s.integer(12);
    e.summary.withholdingCents = s.integer(13);
    e.summary.totalCents = s.integer(14);
    e.storedAt = s.text(15);
    e.state = s.text(16);
    const QString record = s.text(17);
    if (const qsizetype bar = record.indexOf(u'|'); bar > 0) {
        e.recordKind = record.left(bar);
        e.recordState = record.mid(bar + 1);
    }
    return e;
}

} // namespace BookEntryRead
