#include "pdf/InvoicePageLayout.h"

#include <numeric>

using namespace InvoicePageLayout;

std::vector<Page> InvoicePageLayout::paginate(const std::vector<InvoiceHeights>& invoices,
                                              double bodyHeight) {
    std::vector<Page> pages;
    for (int n = 0; n < int(invoices.size()); ++n) {
        const InvoiceHeights& inv = invoices[n];
        Page page;
        page.invoice = n;
        page.first = true;
        double y = inv.opening;
        bool fresh = false; // a continuation page with nothing on it yet

        auto newPage = [&](int row, int closing) {
            pages.push_back(page);
            page = Page();
            page.invoice = n;
            page.rowBegin = page.rowEnd = row;
            page.closingBegin = page.closingEnd = closing;
            y = inv.continuation;
            fresh = true;
        };

        const int rowCount = int(inv.rows.size());
        for (int r = 0; r < rowCount; ++r) {
            double need = (page.hasRows() ? 0 : inv.tableHeader) + inv.rows[r];
            if (y + need > bodyHeight && !fresh) {
                newPage(r, 0);
                need = inv.tableHeader + inv.rows[r];
            }
            if (!page.hasRows())
                page.rowBegin = r;
            page.rowEnd = r + 1;
            y += need;
            fresh = false;
        }

        const int closingCount = int(inv.closing.size());
        const double closingTotal = std::accumulate(inv.closing.begin(), inv.closing.end(), 0.0);
        bool together = y + closingTotal <= bodyHeight;
        if (!together && !fresh && closingCount > 0) {
            newPage(rowCount, 0);
            together = y + closingTotal <= bodyHeight;
        }
        if (!page.hasRows())
            page.rowBegin = page.rowEnd = rowCount;
        for (int c = 0; c < closingCount; ++c) {
            if (!together && y + inv.closing[c] > bodyHeight && page.closingEnd > page.closingBegin)
                newPage(rowCount, c);
            if (page.closingEnd == page.closingBegin)
                page.closingBegin = c;
            page.closingEnd = c + 1;
            y += inv.closing[c];
            fresh = false;
        }
        pages.push_back(page);
    }
    return pages;
}
