#pragma once

#include <vector>

// Splits invoices into pages from the heights of their parts alone, so the
// rules can be checked without drawing anything:
// - each invoice starts on a new page, with its opening block (parties,
//   dates); later pages of it start with a short continuation heading;
// - a line of the table is never cut: a line that does not fit goes whole to
//   the next page, and every page with lines repeats the table header;
// - the closing parts (tax summary, totals, payment) stay together after the
//   last line when they fit on one page; otherwise each part is kept whole.
namespace InvoicePageLayout {

struct InvoiceHeights {
    double opening = 0;      // first page's heading block
    double continuation = 0; // heading on every later page
    double tableHeader = 0;
    std::vector<double> rows;
    std::vector<double> closing;
};

struct Page {
    int invoice = 0;
    bool first = false; // the invoice's first page: opening block, else continuation
    int rowBegin = 0, rowEnd = 0;
    int closingBegin = 0, closingEnd = 0;
    bool hasRows() const { return rowEnd > rowBegin; }
};

std::vector<Page> paginate(const std::vector<InvoiceHeights>& invoices, double bodyHeight);

} // namespace InvoicePageLayout
