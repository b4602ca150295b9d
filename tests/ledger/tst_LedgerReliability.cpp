#include "LedgerFixture.h"

#include "book/BookCheck.h"
#include "ledger/LedgerCheck.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace LedgerFixture;

// The chain under the faults of real life: a program killed at any moment
// while issuing invoices with their records, and two programs issuing at
// once into one book.
class tst_LedgerReliability : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_clockStart = QDateTime::currentMSecsSinceEpoch(); }
    void killedAtAnyMomentKeepsTheChain();
    void twoProgramsMakeOneStraightChain();

private:
    void start(QProcess& process, const QString& book, const QStringList& more) const {
        process.start(QStringLiteral(ORVANE_LEDGER_ISSUER),
                      QStringList{QStringLiteral("--book"), book, QStringLiteral("--clock-start"),
                                  QString::number(m_clockStart)} +
                          more);
        QVERIFY(process.waitForStarted());
    }

    qint64 m_clockStart = 0;
};

namespace {

QStringList reported(QProcess& process) {
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// The chain checks, with one record per invoice and one invoice per record,
// numbered 1 to count without a gap, and each invoice with its document.
void verifyBook(const QString& folder, qint64 count) {
    auto db = BookDatabase::open(folder);
    const LedgerCheckReport check = LedgerCheck::run(*db);
    QCOMPARE(check.chains.size(), 1);
    QVERIFY2(check.ok(), qPrintable(check.chains.first().summary));
    QCOMPARE(check.chains.first().count, count);
    QCOMPARE(LedgerFixture::count(*db, "SELECT count(*) FROM invoices"), count);
    QCOMPARE(LedgerFixture::count(*db, "SELECT count(*) FROM billing_records"), count);
    QCOMPARE(LedgerFixture::count(*db, "SELECT min(sequence) FROM billing_records"), 1);
    QCOMPARE(LedgerFixture::count(*db, "SELECT max(sequence) FROM billing_records"), count);
    QCOMPARE(LedgerFixture::count(*db, "SELECT count(DISTINCT previous_huella) FROM "
                                       "billing_records"),
             count);
    QCOMPARE(LedgerFixture::count(*db, "SELECT count(*) FROM invoices i WHERE NOT EXISTS "
                                       "(SELECT 1 FROM billing_records r WHERE r.invoice_id = "
                                       "i.id AND r.series_number = i.series_number)"),
             0);
    QCOMPARE(LedgerFixture::count(*db, "SELECT count(DISTINCT invoice_id) FROM billing_records"),
             count);
    const BookCheckReport book = BookCheck::run(*db);
    QVERIFY2(book.sound(), book.findings.isEmpty() ? "" : qPrintable(book.findings.first().text));
}

} // namespace

void tst_LedgerReliability::killedAtAnyMomentKeepsTheChain() {
    constexpr int Wanted = 200;
    constexpr int Kills = 30;
    QTemporaryDir dir;
    QRandomGenerator random(20270305);
    QStringList done;
    qint64 inBook = 0;
    // Each round issues what is still missing and is killed once it has
    // reported a few invoices, a moment later (an issue takes about a
    // millisecond), so that it dies in the middle of its work however fast
    // the machine is; the last round runs to its end.
    for (int round = 0; round <= Kills && inBook < Wanted; ++round) {
        QProcess issuer;
        start(issuer, dir.path(), {"--count", QString::number(Wanted - inBook)});
        QByteArray out;
        if (round < Kills) {
            const int wait = random.bounded(1, 8);
            while (out.count('\n') < wait && issuer.state() == QProcess::Running) {
                issuer.waitForReadyRead(10000);
                out += issuer.readAllStandardOutput();
            }
            QThread::usleep(random.bounded(0, 2000));
            issuer.kill();
        }
        QVERIFY(issuer.waitForFinished(120000));
        out += issuer.readAllStandardOutput();
        done += QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
        inBook = count(*BookDatabase::open(dir.path()), "SELECT count(*) FROM invoices");
    }
    QCOMPARE(inBook, Wanted);
    verifyBook(dir.path(), Wanted);
    // What was reported committed is there, each once.
    QCOMPARE(done.size(), QSet<QString>(done.begin(), done.end()).size());
    auto db = BookDatabase::open(dir.path());
    for (const QString& number : done) {
        SqlStatement select(*db, "SELECT count(*) FROM billing_records WHERE series_number = ?");
        select.bindAll(QStringLiteral("A-") + number);
        QVERIFY(select.next());
        QVERIFY2(select.integer(0) == 1, qPrintable(number));
    }
}

void tst_LedgerReliability::twoProgramsMakeOneStraightChain() {
    // No book yet: the two make it at once, and both end up in one chain.
    QTemporaryDir dir;
    QProcess first, second;
    const QStringList arguments{"--count", "100", "--busy-ms", "60000"};
    start(first, dir.path(), arguments);
    start(second, dir.path(), arguments);
    QVERIFY(first.waitForFinished(300000));
    QVERIFY(second.waitForFinished(300000));
    QVERIFY2(first.exitCode() == 0, first.readAllStandardError().constData());
    QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
    QCOMPARE(reported(first).size() + reported(second).size(), 200);
    verifyBook(dir.path(), 200);
}

QTEST_GUILESS_MAIN(tst_LedgerReliability)
#include "tst_LedgerReliability.moc"
