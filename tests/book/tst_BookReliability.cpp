#include "BookFixture.h"
#include "IssuerProcess.h"
#include "SmallDisk.h"

#include "book/BookCheck.h"
#include "book/BookDatabase.h"
#include "book/BookList.h"
#include "book/InvoiceBook.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

using namespace BookFixture;

// The book under the faults of real life: a program killed while issuing,
// two programs issuing at once, a full disk.
class tst_BookReliability : public QObject {
    Q_OBJECT
private slots:
    void killedAtAnyMomentLosesNothing();
    void twoProgramsNeverTakeOneNumber();
    void waitingTooLongEndsWithAMessage();
    void fullDiskLeavesTheBookAsItWas();
};

namespace {

// The numbers of the current invoices of series A, by value.
QStringList numbersInBook(const QString& folder) {
    auto db = BookDatabase::open(folder);
    BookFilter filter;
    filter.series = QStringLiteral("A");
    filter.seriesSet = true;
    QStringList numbers;
    for (const BookEntry& e : BookList(*db, filter, BookColumn::SeriesNumber).rows(0, 100000))
        numbers << e.summary.number;
    return numbers;
}

QStringList oneTo(int last) {
    QStringList numbers;
    for (int i = 1; i <= last; ++i)
        numbers << QString::number(i);
    return numbers;
}

// Every fault the check knows, gaps included.
void verifyWholeBook(const QString& folder) {
    const BookCheckReport report = BookCheck::run(*BookDatabase::open(folder));
    QStringList findings;
    for (const BookFinding& f : report.findings)
        findings << f.text;
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join(u'\n')));
}

} // namespace

void tst_BookReliability::killedAtAnyMomentLosesNothing() {
    constexpr int Wanted = 200;
    constexpr int Kills = 40;
    QTemporaryDir dir;
    BookDatabase::open(dir.path());
    QRandomGenerator random(20260305);
    QStringList reported;
    int inBook = 0;
    // Each round issues what is still missing and is killed after a random
    // while; the last round runs to its end.
    for (int round = 0; round <= Kills && inBook < Wanted; ++round) {
        QProcess issuer;
        IssuerProcess::start(issuer, dir.path(), {"--count", QString::number(Wanted - inBook)});
        if (round < Kills) {
            QThread::msleep(random.bounded(5, 120));
            issuer.kill();
        }
        QVERIFY(issuer.waitForFinished(120000));
        reported += IssuerProcess::reported(issuer);
        inBook = int(numbersInBook(dir.path()).size());
    }
    const QStringList numbers = numbersInBook(dir.path());
    QCOMPARE(numbers, oneTo(Wanted));
    // What was reported committed is there (the list above holds each once).
    for (const QString& number : reported)
        QVERIFY2(numbers.contains(number), qPrintable(number));
    verifyWholeBook(dir.path());
}

void tst_BookReliability::twoProgramsNeverTakeOneNumber() {
    // No book yet: the two make it at once, and both end up in one book.
    QTemporaryDir dir;
    QProcess first, second;
    const QStringList arguments{"--count", "100", "--busy-ms", "60000"};
    IssuerProcess::start(first, dir.path(), arguments);
    IssuerProcess::start(second, dir.path(), arguments);
    QVERIFY(first.waitForFinished(300000));
    QVERIFY(second.waitForFinished(300000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    QStringList reported = IssuerProcess::reported(first) + IssuerProcess::reported(second);
    QCOMPARE(reported.size(), 200);
    reported.removeDuplicates();
    QCOMPARE(reported.size(), 200);
    QCOMPARE(numbersInBook(dir.path()), oneTo(200));
    verifyWholeBook(dir.path());
}

void tst_BookReliability::waitingTooLongEndsWithAMessage() {
    QTemporaryDir dir;
    BookDatabase::open(dir.path());
    QProcess holder, waiter;
    IssuerProcess::start(holder, dir.path(), {"--hold-ms", "20000"});
    QVERIFY(holder.waitForReadyRead(30000));
    QCOMPARE(holder.readAllStandardOutput(), QByteArray("held\n"));

    IssuerProcess::start(waiter, dir.path(), {"--busy-ms", "300"});
    // Well before the holder lets go: the waiter gives up on its own.
    QVERIFY(waiter.waitForFinished(15000));
    QCOMPARE(waiter.exitCode(), 1);
    const QString message = QString::fromUtf8(waiter.readAllStandardError());
    QVERIFY2(message.startsWith(QStringLiteral("Otro Orvane está usando el libro de facturas")),
             qPrintable(message));
    holder.kill();
    holder.waitForFinished();
    QVERIFY(numbersInBook(dir.path()).isEmpty());
}

void tst_BookReliability::fullDiskLeavesTheBookAsItWas() {
    if (geteuid() != 0)
        QSKIP("a small disk is mounted only when the tests run as root");
    QTemporaryDir dir;
    const SmallDisk small(dir.filePath(QStringLiteral("disco")));
    const QString disk = small.path();
    if (disk.isEmpty())
        QSKIP("no small disk could be mounted here");

    auto db = BookDatabase::open(disk);
    InvoiceBook book(*db);
    for (const char* number : {"1", "2", "3"})
        book.issue(invoice("A", QString::fromLatin1(number)));
    // Everything left on the disk taken by another file.
    QFile filler(QDir(disk).filePath(QStringLiteral("relleno")));
    QVERIFY(SmallDisk::fill(filler));

    InvoiceRow big = invoice("A", "4");
    big.document.append(QByteArray(512 * 1024, ' '));
    try {
        book.issue(big);
        QFAIL("issued on a full disk");
    } catch (const BookError& error) {
        QCOMPARE(error.kind(), BookError::Kind::DiskFull);
        QVERIFY2(error.message().startsWith(QStringLiteral("No queda espacio en el disco")),
                 qPrintable(error.message()));
    }
    // Still readable and unchanged, through this connection and a new one.
    QVERIFY(!book.find(Issuer, "A-4"));
    QCOMPARE(numbersInBook(disk), QStringList({"1", "2", "3"}));
    verifyWholeBook(disk);

    // With room again the same book takes the invoice.
    filler.close();
    filler.remove();
    QCOMPARE(book.issue(big).outcome, InvoiceBook::IssueResult::Outcome::Issued);
    db.reset();
    QCOMPARE(numbersInBook(disk), QStringList({"1", "2", "3", "4"}));
}

QTEST_GUILESS_MAIN(tst_BookReliability)
#include "tst_BookReliability.moc"
