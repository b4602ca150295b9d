#include "BookFixture.h"

#include "book/BookDatabase.h"
#include "book/BookNumbering.h"
#include "book/InvoiceBook.h"

#include <QTemporaryDir>
#include <QTest>

using namespace BookFixture;

Q_DECLARE_METATYPE(QList<NumberGap>)

// The number a new invoice takes and what the check says of the numbering.
class tst_BookNumbering : public QObject {
    Q_OBJECT
private slots:
    void nextNumber_data();
    void nextNumber();
    void nextNumberIsTakenInsideTheIssue();
    void gaps_data();
    void gaps();
    void duplicates();
};

namespace {

// Issues "series/number@yyyy-MM-dd" entries in order into a new book.
void fill(BookDatabase& db, const QStringList& entries) {
    InvoiceBook book(db);
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(u'@');
        const qsizetype slash = parts[0].indexOf(u'/');
        const QDate date =
            parts.size() > 1 ? QDate::fromString(parts[1], Qt::ISODate) : QDate(2026, 3, 5);
        const auto result =
            book.issue(invoice(parts[0].left(slash), parts[0].mid(slash + 1), date));
        QCOMPARE(result.outcome, InvoiceBook::IssueResult::Outcome::Issued);
    }
}

} // namespace

void tst_BookNumbering::nextNumber_data() {
    QTest::addColumn<QStringList>("issued");
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("next");
    QTest::newRow("empty book, no counter") << QStringList() << "A"
                                            << ""
                                            << "1";
    QTest::newRow("empty book follows the counter") << QStringList() << "A"
                                                    << "F-0041"
                                                    << "F-0042";
    QTest::newRow("highest, not latest issued") << QStringList{"A/3", "A/10", "A/9"} << "A"
                                                << ""
                                                << "11";
    QTest::newRow("digits by value, zeros kept") << QStringList{"A/099", "A/0100"} << "A"
                                                 << ""
                                                 << "0101";
    QTest::newRow("the counter when later") << QStringList{"A/7"} << "A"
                                            << "12"
                                            << "13";
    QTest::newRow("the book when later") << QStringList{"A/17"} << "A"
                                         << "12"
                                         << "18";
    QTest::newRow("counter of another shape ignored") << QStringList{"A/2026-004"} << "A"
                                                      << "99"
                                                      << "2026-005";
    QTest::newRow("numbering of the latest date")
        << QStringList{"A/2026-004@2026-02-01", "A/2025-120@2025-12-30"} << "A"
        << ""
        << "2026-005";
    QTest::newRow("a document imported later does not take the count back")
        << QStringList{"A/2026-004@2026-02-01", "A/2024-900@2024-05-01"} << "A"
        << ""
        << "2026-005";
    QTest::newRow("other series not counted") << QStringList{"B/50", "A/4"} << "A"
                                              << ""
                                              << "5";
    QTest::newRow("series absent from the book uses the counter") << QStringList{"B/50"} << "A"
                                                                  << "8"
                                                                  << "9";
    QTest::newRow("same text in another numbering")
        << QStringList{"A/F-9", "A/G-20@2026-03-06"} << "A"
        << ""
        << "G-21";
    QTest::newRow("no series") << QStringList{"/7", "/8"} << ""
                               << ""
                               << "9";
    QTest::newRow("number ending without digits") << QStringList{"A/ABC"} << "A"
                                                  << ""
                                                  << "1";
}

void tst_BookNumbering::nextNumber() {
    QFETCH(QStringList, issued);
    QFETCH(QString, series);
    QFETCH(QString, counter);
    QFETCH(QString, next);
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    fill(*db, issued);
    QCOMPARE(BookNumbering(*db).next(Issuer, series, counter), next);
}

void tst_BookNumbering::nextNumberIsTakenInsideTheIssue() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    fill(*db, {QStringLiteral("A/41")});
    InvoiceBook book(*db);
    const auto compose = [](const QString& number) { return invoice(QStringLiteral("A"), number); };
    QCOMPARE(book.issueNext(Issuer, QStringLiteral("A"), QString(), compose).entry.summary.number,
             QStringLiteral("42"));
    QCOMPARE(book.issueNext(Issuer, QStringLiteral("A"), QString(), compose).entry.summary.number,
             QStringLiteral("43"));
    // A failure while composing leaves the number free.
    QVERIFY_THROWS_EXCEPTION(AppError, book.issueNext(Issuer, QStringLiteral("A"), QString(),
                                                      [](const QString&) { return InvoiceRow(); }));
    QCOMPARE(BookNumbering(*db).next(Issuer, QStringLiteral("A"), QString()), QStringLiteral("44"));
}

void tst_BookNumbering::gaps_data() {
    QTest::addColumn<QStringList>("issued");
    QTest::addColumn<QList<NumberGap>>("gaps");
    const QString a = QStringLiteral("A");
    QTest::newRow("none") << QStringList{"A/1", "A/2", "A/3"} << QList<NumberGap>();
    QTest::newRow("one missing") << QStringList{"A/1", "A/3"}
                                 << QList<NumberGap>{{Issuer, a, "2", "2", 1}};
    QTest::newRow("a run, issued out of order")
        << QStringList{"A/10", "A/2", "A/1"} << QList<NumberGap>{{Issuer, a, "3", "9", 7}};
    QTest::newRow("zeros kept") << QStringList{"A/F-0098", "A/F-0102"}
                                << QList<NumberGap>{{Issuer, a, "F-0099", "F-0101", 3}};
    QTest::newRow("only within one prefix")
        << QStringList{"A/F-1", "A/G-5", "A/F-2", "A/G-6"} << QList<NumberGap>();
    QTest::newRow("only within one series")
        << QStringList{"A/1", "B/3", "A/2", "B/4"} << QList<NumberGap>();
    QTest::newRow("each series its own")
        << QStringList{"A/1", "A/3", "B/5", "B/8"}
        << QList<NumberGap>{{Issuer, a, "2", "2", 1}, {Issuer, "B", "6", "7", 2}};
    QTest::newRow("numbers without digits do not break a run")
        << QStringList{"A/1", "A/X", "A/2"} << QList<NumberGap>();
}

void tst_BookNumbering::gaps() {
    QFETCH(QStringList, issued);
    QFETCH(QList<NumberGap>, gaps);
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    fill(*db, issued);
    QCOMPARE(BookNumbering(*db).gaps(), gaps);
}

void tst_BookNumbering::duplicates() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    fill(*db, {QStringLiteral("A/7"), QStringLiteral("A/8"), QStringLiteral("A/007"),
               QStringLiteral("B/7")});
    // A replaced version is not a duplicate of its successor.
    InvoiceRow again = invoice(QStringLiteral("A"), QStringLiteral("8"));
    again.document += "<!-- v2 -->";
    InvoiceBook(*db).replace(again);
    const QList<NumberDuplicate> expected{
        {Issuer, {QStringLiteral("A-7"), QStringLiteral("A-007")}}};
    QCOMPARE(BookNumbering(*db).duplicates(), expected);
}

QTEST_GUILESS_MAIN(tst_BookNumbering)
#include "tst_BookNumbering.moc"
