#include "pdf/InvoicePageLayout.h"

#include <QTest>

using InvoicePageLayout::InvoiceHeights;
using InvoicePageLayout::Page;

// Page splitting from heights alone. Every case checks the rules that make a
// copy readable: each line whole on one page, lines in order and none lost,
// the closing parts after the last line, each invoice on pages of its own.
class tst_InvoicePageLayout : public QObject {
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
    void closingStaysTogetherWhenItFits();
    void tallClosingFlowsPartByPart();
    void lineTallerThanAPageStillPlaced();
};

namespace {

constexpr double Body = 100;

InvoiceHeights invoice(int rows, double rowHeight, std::vector<double> closing = {20, 10},
                       double opening = 30) {
    InvoiceHeights h;
    h.opening = opening;
    h.continuation = 5;
    h.tableHeader = 4;
    h.rows.assign(std::size_t(rows), rowHeight);
    h.closing = std::move(closing);
    return h;
}

// Checks the invariants and returns the number of pages of each invoice.
std::vector<int> check(const std::vector<InvoiceHeights>& invoices,
                       const std::vector<Page>& pages) {
    std::vector<int> pagesOf(invoices.size(), 0);
    int lastInvoice = -1, nextRow = 0, nextClosing = 0;
    for (const Page& page : pages) {
        const InvoiceHeights& inv = invoices[std::size_t(page.invoice)];
        if (page.invoice != lastInvoice) {
            if (lastInvoice >= 0) {
                const InvoiceHeights& prev = invoices[std::size_t(lastInvoice)];
                if (nextRow != int(prev.rows.size()) || nextClosing != int(prev.closing.size()))
                    qWarning("invoice %d lost content", lastInvoice);
            }
            if (!page.first || page.invoice != lastInvoice + 1)
                qWarning("invoice %d does not start on a new first page", page.invoice);
            lastInvoice = page.invoice;
            nextRow = nextClosing = 0;
        } else if (page.first) {
            qWarning("a later page of invoice %d is marked first", page.invoice);
        }
        ++pagesOf[std::size_t(page.invoice)];
        if (page.rowBegin != nextRow && page.hasRows())
            qWarning("lines skipped or repeated before %d", page.rowBegin);
        if (page.hasRows())
            nextRow = page.rowEnd;
        if (page.closingEnd > page.closingBegin) {
            if (nextRow != int(inv.rows.size()))
                qWarning("closing part before the last line");
            if (page.closingBegin != nextClosing)
                qWarning("closing parts out of order");
            nextClosing = page.closingEnd;
        }
        double used = page.first ? inv.opening : inv.continuation;
        if (page.hasRows())
            used += inv.tableHeader;
        for (int r = page.rowBegin; r < page.rowEnd; ++r)
            used += inv.rows[std::size_t(r)];
        for (int c = page.closingBegin; c < page.closingEnd; ++c)
            used += inv.closing[std::size_t(c)];
        const bool single =
            (page.rowEnd - page.rowBegin) + (page.closingEnd - page.closingBegin) <= 1;
        if (used > Body + 1e-9 && !single)
            qWarning("page of invoice %d overflows: %f", page.invoice, used);
    }
    return pagesOf;
}

} // namespace

void tst_InvoicePageLayout::rules_data() {
    QTest::addColumn<std::vector<InvoiceHeights>>("invoices");
    QTest::addColumn<std::vector<int>>("expectedPages"); // per invoice; empty: any

    // 30 opening + 4 header + 6 lines of 10 = 94; closing 30 goes on a new page.
    QTest::newRow("lines fill the first page") << std::vector{invoice(6, 10)} << std::vector{2};
    QTest::newRow("short invoice on one page") << std::vector{invoice(3, 10)} << std::vector{1};
    QTest::newRow("no lines") << std::vector{invoice(0, 10)} << std::vector{1};
    // 300 lines of 7: first page (100-34)/7 = 9 lines, later (100-9)/7 = 13.
    QTest::newRow("300 lines") << std::vector{invoice(300, 7)} << std::vector{24};
    InvoiceHeights uneven = invoice(0, 0, {20, 45, 10});
    for (int i = 0; i < 120; ++i) // 3, 10, 17, 24, 4 ...: breaks fall everywhere
        uneven.rows.push_back(3 + (i * 7) % 27);
    QTest::newRow("uneven lines") << std::vector{uneven} << std::vector<int>{};
    QTest::newRow("batch of three")
        << std::vector{invoice(2, 10), invoice(20, 9), invoice(1, 3)} << std::vector{1, 3, 1};
}

void tst_InvoicePageLayout::rules() {
    QFETCH(std::vector<InvoiceHeights>, invoices);
    QFETCH(std::vector<int>, expectedPages);
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    const std::vector<Page> pages = InvoicePageLayout::paginate(invoices, Body);
    const std::vector<int> pagesOf = check(invoices, pages);
    if (!expectedPages.empty())
        QCOMPARE(pagesOf, expectedPages);
    // The last page of every invoice holds its closing parts: the totals are
    // on its last page.
    for (std::size_t n = 0; n < invoices.size(); ++n) {
        const Page* last = nullptr;
        for (const Page& p : pages) {
            if (p.invoice == int(n))
                last = &p;
        }
        QVERIFY(last);
        QCOMPARE(last->closingEnd, int(invoices[n].closing.size()));
    }
}

void tst_InvoicePageLayout::closingStaysTogetherWhenItFits() {
    // 30 + 4 + 5 * 10 = 84: the 20 + 10 closing does not fit in the 16 left,
    // so both parts move together rather than splitting.
    const std::vector<Page> pages = InvoicePageLayout::paginate({invoice(5, 10)}, Body);
    QCOMPARE(pages.size(), std::size_t(2));
    QCOMPARE(pages[0].closingEnd - pages[0].closingBegin, 0);
    QCOMPARE(pages[1].closingBegin, 0);
    QCOMPARE(pages[1].closingEnd, 2);
    QVERIFY(!pages[1].hasRows());
}

void tst_InvoicePageLayout::tallClosingFlowsPartByPart() {
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    const std::vector<InvoiceHeights> invoices{invoice(1, 10, {60, 50, 40})};
    const std::vector<Page> pages = InvoicePageLayout::paginate(invoices, Body);
    check(invoices, pages);
    QCOMPARE(pages.back().closingEnd, 3);
}

void tst_InvoicePageLayout::lineTallerThanAPageStillPlaced() {
    const std::vector<InvoiceHeights> invoices{invoice(3, 150)};
    const std::vector<Page> pages = InvoicePageLayout::paginate(invoices, Body);
    int placed = 0;
    for (const Page& p : pages) {
        QVERIFY(p.rowEnd - p.rowBegin <= 1);
        placed += p.rowEnd - p.rowBegin;
    }
    QCOMPARE(placed, 3);
}

QTEST_APPLESS_MAIN(tst_InvoicePageLayout)
#include "tst_InvoicePageLayout.moc"
