#include "BookFixture.h"
#include "IssuerProcess.h"

#include "book/BookBackup.h"
#include "book/BookCheck.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace BookFixture;

// Copies of the book taken with the online backup.
class tst_BookBackup : public QObject {
    Q_OBJECT
private slots:
    void copyWhileAnotherProgramIssues();
    void targetIsReplacedWholeOrNotAtAll();
};

void tst_BookBackup::copyWhileAnotherProgramIssues() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    InvoiceBook book(*db);
    for (int i = 1; i <= 20; ++i)
        book.issue(invoice(QStringLiteral("A"), QString::number(i)));

    QProcess issuer;
    IssuerProcess::start(issuer, dir.path(), {"--count", "3000", "--size", "20000"});
    qint64 previous = 20;
    for (int copy = 1; copy <= 5; ++copy) {
        QThread::msleep(60);
        const QString folder = dir.filePath(QStringLiteral("copia%1").arg(copy));
        QDir().mkpath(folder);
        BookBackup::copyTo(*db, QDir(folder).filePath(QStringLiteral("Libro.db")));

        // Each copy is the book at one moment: whole invoices numbered
        // without a hole, never fewer than the copy before.
        auto copied = BookDatabase::open(folder);
        const BookCheckReport report = BookCheck::run(*copied);
        QVERIFY(report.findings.isEmpty());
        QVERIFY(report.invoices >= previous);
        previous = report.invoices;
    }
    // Every copy was taken while the other program was still issuing.
    QCOMPARE(issuer.state(), QProcess::Running);
    issuer.kill();
    issuer.waitForFinished();
}

void tst_BookBackup::targetIsReplacedWholeOrNotAtAll() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    InvoiceBook(*db).issue(invoice(QStringLiteral("A"), QStringLiteral("1")));
    const QByteArray before = fileBytes(db->path());

    // Never over the book itself.
    try {
        BookBackup::copyTo(*db, db->path());
        QFAIL("the book was copied over itself");
    } catch (const BookError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("es el propio libro")),
                 qPrintable(error.message()));
    }
    QCOMPARE(fileBytes(db->path()), before);

    // An older copy is replaced by the new one.
    QDir().mkpath(dir.filePath(QStringLiteral("copia")));
    const QString target = dir.filePath(QStringLiteral("copia/Libro.db"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("copia vieja");
    old.close();
    BookBackup::copyTo(*db, target);
    QVERIFY(InvoiceBook(*BookDatabase::open(dir.filePath(QStringLiteral("copia"))))
                .find(Issuer, QStringLiteral("A-1")));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("copia"))).entryList(QDir::Files),
             QStringList{QStringLiteral("Libro.db")});

    // A copy that cannot be made names its target and leaves nothing.
    const QString nowhere = dir.filePath(QStringLiteral("no/existe.db"));
    try {
        BookBackup::copyTo(*db, nowhere);
        QFAIL("copied into a folder that does not exist");
    } catch (const BookError& error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(nowhere)),
                 qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(tst_BookBackup)
#include "tst_BookBackup.moc"
