#include "BookFixture.h"

#include "book/BookCustomers.h"
#include "book/BookDatabase.h"
#include "book/BookList.h"
#include "book/InvoiceBook.h"

#include <QTemporaryDir>
#include <QTest>

using namespace BookFixture;

Q_DECLARE_METATYPE(BookFilter)
Q_DECLARE_METATYPE(BookColumn)

// The list of the book: filters, order, pages and the totals of what shows;
// and the customers offered while typing.
class tst_BookList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void filters_data();
    void filters();
    void order_data();
    void order();
    void pagesJoinUpToTheWholeList();
    void customersLatestDetailsWin();
    void customersByPrefix_data();
    void customersByPrefix();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<BookDatabase> m_db;
};

namespace {

QStringList numbersOf(const QList<BookEntry>& entries) {
    QStringList numbers;
    for (const BookEntry& e : entries)
        numbers << e.seriesNumber;
    return numbers;
}

} // namespace

void tst_BookList::initTestCase() {
    m_db = BookDatabase::open(m_dir.path());
    InvoiceBook book(*m_db);
    book.issue(invoice("A", "9", QDate(2026, 1, 15), "José Pérez", 10000));
    book.issue(invoice("A", "10", QDate(2026, 2, 1), "Ayuntamiento de Lugo", 250000));
    InvoiceRow withholding = invoice("B", "1", QDate(2026, 2, 20), "Ana López", 40000);
    withholding.summary.withholdingCents = 6000;
    withholding.summary.totalCents -= 6000;
    withholding.summary.customerTaxId = QStringLiteral("12345678Z");
    book.issue(withholding);
    book.issue(invoice("", "77", QDate(2026, 3, 1), "Lugo Motor S.L.", 5000));
    // A-9 replaced: only its second version is listed unless asked.
    InvoiceRow again = invoice("A", "9", QDate(2026, 1, 15), "José Pérez", 12000);
    again.document += "<!-- v2 -->";
    book.replace(again);
    book.storeSigned(book.find(Issuer, "A-10")->id, "<f/>", "A-10.XSIG");
}

void tst_BookList::filters_data() {
    QTest::addColumn<BookFilter>("filter");
    QTest::addColumn<QStringList>("numbers"); // by issue date
    QTest::addColumn<qint64>("total");
    const qint64 a9 = 14520, a10 = 302500, b1 = 42400, n77 = 6050;
    QTest::newRow("everything") << BookFilter{} << QStringList{"A-9", "A-10", "B-1", "77"}
                                << a9 + a10 + b1 + n77;
    QTest::newRow("text in a name, accents ignored")
        << BookFilter{"jose", {}, {}, {}, false, false, {}} << QStringList{"A-9"} << a9;
    QTest::newRow("text in two names, any case") << BookFilter{"LUGO", {}, {}, {}, false, false, {}}
                                                 << QStringList{"A-10", "77"} << a10 + n77;
    QTest::newRow("text in a tax id")
        << BookFilter{"5678z", {}, {}, {}, false, false, {}} << QStringList{"B-1"} << b1;
    QTest::newRow("text in the number")
        << BookFilter{"a-1", {}, {}, {}, false, false, {}} << QStringList{"A-10"} << a10;
    QTest::newRow("percent sign is plain text")
        << BookFilter{"%", {}, {}, {}, false, false, {}} << QStringList{} << qint64(0);
    QTest::newRow("dates, both ends included")
        << BookFilter{{}, QDate(2026, 2, 1), QDate(2026, 2, 20), {}, false, false, {}}
        << QStringList{"A-10", "B-1"} << a10 + b1;
    QTest::newRow("series") << BookFilter{{}, {}, {}, "A", true, false, {}}
                            << QStringList{"A-9", "A-10"} << a9 + a10;
    QTest::newRow("no series") << BookFilter{{}, {}, {}, "", true, false, {}} << QStringList{"77"}
                               << n77;
    QTest::newRow("customer's name") << BookFilter{{}, {}, {}, {}, false, false, "LUGO"}
                                     << QStringList{"A-10", "77"} << a10 + n77;
    QTest::newRow("customer's tax id")
        << BookFilter{{}, {}, {}, {}, false, false, "5678z"} << QStringList{"B-1"} << b1;
    QTest::newRow("customer, never the number")
        << BookFilter{{}, {}, {}, {}, false, false, "9"} << QStringList{} << qint64(0);
    QTest::newRow("with replaced versions")
        << BookFilter{{}, {}, QDate(2026, 1, 31), {}, false, true, {}} << QStringList{"A-9", "A-9"}
        << a9 + 12100;
}

void tst_BookList::filters() {
    QFETCH(BookFilter, filter);
    QFETCH(QStringList, numbers);
    QFETCH(qint64, total);
    const BookList list(*m_db, filter);
    QCOMPARE(numbersOf(list.rows(0, 100)), numbers);
    const BookTotals totals = list.totals();
    QCOMPARE(totals.count, numbers.size());
    QCOMPARE(totals.totalCents, total);
}

void tst_BookList::order_data() {
    QTest::addColumn<BookColumn>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("numbers");
    QTest::newRow("number by value")
        << BookColumn::SeriesNumber << false << QStringList{"77", "A-9", "A-10", "B-1"};
    QTest::newRow("date, latest first")
        << BookColumn::IssueDate << true << QStringList{"77", "B-1", "A-10", "A-9"};
    QTest::newRow("customer") << BookColumn::CustomerName << false
                              << QStringList{"B-1", "A-10", "A-9", "77"};
    QTest::newRow("total") << BookColumn::Total << false << QStringList{"77", "A-9", "B-1", "A-10"};
    QTest::newRow("withholding, ties by entry")
        << BookColumn::Withholding << true << QStringList{"B-1", "A-9", "77", "A-10"};
    QTest::newRow("state") << BookColumn::State << false << QStringList{"B-1", "77", "A-9", "A-10"};
}

void tst_BookList::order() {
    QFETCH(BookColumn, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, numbers);
    QCOMPARE(numbersOf(BookList(*m_db, {}, column, descending).rows(0, 100)), numbers);
}

void tst_BookList::pagesJoinUpToTheWholeList() {
    const BookList list(*m_db, {}, BookColumn::SeriesNumber);
    const QStringList all = numbersOf(list.rows(0, 100));
    QStringList paged;
    for (qint64 offset = 0; offset < 6; offset += 3)
        paged += numbersOf(list.rows(offset, 3));
    QCOMPARE(paged, all);
    QVERIFY(list.rows(4, 3).isEmpty());
}

void tst_BookList::customersLatestDetailsWin() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    BookCustomers customers(*db);
    const QString lugo = QStringLiteral("P2704000D");
    customers.remember({lugo, "L01", "L02", "L03", "Concello de Lugo", "v1"});
    customers.remember({lugo, "L01", "L02", "L09", "Concello de Lugo", "otra unidad"});
    customers.remember({lugo, "L01", "L02", "L03", "Concello de Lugo", "v2"});
    const QList<CustomerRow> found = customers.startingWith("p27");
    QCOMPARE(found.size(), 2);
    QCOMPARE(found[0].details, QStringLiteral("v2"));
    QCOMPARE(found[0].processingUnit, QStringLiteral("L03"));
    QCOMPARE(found[1].details, QStringLiteral("otra unidad"));
}

void tst_BookList::customersByPrefix_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("tax id") << "b15" << QStringList{"Ébano Muebles"};
    QTest::newRow("name, accents and case ignored") << "EBA" << QStringList{"Ébano Muebles"};
    QTest::newRow("start of the name only") << "muebles" << QStringList{};
    QTest::newRow("several, by name") << "a" << QStringList{"Álvarez", "Arias"};
}

void tst_BookList::customersByPrefix() {
    QFETCH(QString, typed);
    QFETCH(QStringList, names);
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    BookCustomers customers(*db);
    customers.remember({"B15000001", "", "", "", "Ébano Muebles", ""});
    customers.remember({"11111111H", "", "", "", "Arias", ""});
    customers.remember({"22222222J", "", "", "", "Álvarez", ""});
    QStringList found;
    for (const CustomerRow& c : customers.startingWith(typed))
        found << c.name;
    QCOMPARE(found, names);
}

QTEST_GUILESS_MAIN(tst_BookList)
#include "tst_BookList.moc"
