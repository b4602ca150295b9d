#include "../records/RecordTestKit.h"
#include "LedgerFixture.h"

#include "common/AppError.h"
#include "ledger/LedgerExport.h"
#include "ledger/RecordStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace LedgerFixture;

// The records of a period written out: one unbroken stretch of the chain in
// sequence order, each record byte for byte, at most 1,000 a file, every
// file valid against the tax agency's schemas.
class tst_LedgerExport : public QObject {
    Q_OBJECT
private slots:
    void periods_data();
    void periods();
    void splitsAtAThousand();
    void fileOfALongerExportLeftBeside();
};

namespace {

const RecordBatch::Header Header{IssuerName, Issuer, {}, {}};

// The stored records from one sequence number to another.
QList<QByteArray> storedBytes(const BookDatabase& db, qint64 from, qint64 to) {
    QList<QByteArray> bytes;
    const RecordStore store(db);
    store.each(store.chains().first(), from, to, [&](const StoredRecord& r) {
        bytes << r.bytes;
        return true;
    });
    return bytes;
}

// Whether the files hold exactly those records, in that order, each file
// valid against the schemas.
void verifyFiles(const QStringList& files, const QList<QByteArray>& records) {
    qsizetype next = 0;
    for (const QString& path : files) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        const QStringList errors = RecordTestKit::schemaErrors(text);
        QVERIFY2(errors.isEmpty(), qPrintable(path + u'\n' + errors.join(u'\n')));
        qsizetype at = 0;
        const qsizetype inFile = text.count("<sum:RegistroFactura>");
        QVERIFY(inFile <= RecordBatch::MaxRecords);
        for (qsizetype i = 0; i < inFile; ++i, ++next) {
            QVERIFY(next < records.size());
            at = text.indexOf(records[next], at);
            QVERIFY2(at >= 0,
                     qPrintable(QStringLiteral("record %1 not in %2").arg(next).arg(path)));
        }
    }
    QCOMPARE(next, records.size());
}

} // namespace

void tst_LedgerExport::periods_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<qint64>("first"); // 0: none in the period
    QTest::addColumn<qint64>("last");
    // Records 1 to 6 generated at 12:00 on 1 to 6 March (Madrid); record 7
    // at 23:59:50 on 6 March, record 8 at 00:00:20 on 7 March, and record 9
    // at 23:59:40 on 6 March, from a clock half a minute behind.
    QTest::newRow("every record") << QDate(2027, 3, 1) << QDate(2027, 3, 31) << qint64(1)
                                  << qint64(9);
    QTest::newRow("one day") << QDate(2027, 3, 3) << QDate(2027, 3, 3) << qint64(3) << qint64(3);
    QTest::newRow("three days") << QDate(2027, 3, 2) << QDate(2027, 3, 4) << qint64(2) << qint64(4);
    QTest::newRow("a day whose last record comes after the next day's first")
        << QDate(2027, 3, 6) << QDate(2027, 3, 6) << qint64(6) << qint64(9);
    QTest::newRow("the next day") << QDate(2027, 3, 7) << QDate(2027, 3, 7) << qint64(8)
                                  << qint64(8);
    QTest::newRow("before the first record")
        << QDate(2027, 2, 1) << QDate(2027, 2, 28) << qint64(0) << qint64(0);
}

void tst_LedgerExport::periods() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    FakeClock clock;
    RecordLedger ledger(*db, options(clock));
    const QList<QDateTime> times = {
        utc(2027, 3, 1, 11, 0),      utc(2027, 3, 2, 11, 0),     utc(2027, 3, 3, 11, 0),
        utc(2027, 3, 4, 11, 0),      utc(2027, 3, 5, 11, 0),     utc(2027, 3, 6, 11, 0),
        utc(2027, 3, 6, 22, 59, 50), utc(2027, 3, 6, 23, 0, 20), utc(2027, 3, 6, 22, 59, 40)};
    for (qsizetype i = 0; i < times.size(); ++i) {
        clock.now = times[i];
        const InvoiceRow row = invoice(QString::number(i + 1), {{VatTreatment::S1, "21", "100.00"}},
                                       QDate(2027, 3, 1));
        ledger.issue(row, alta(row));
    }

    const QString path = QDir(dir.path()).filePath(QStringLiteral("marzo.xml"));
    if (first == 0) {
        QVERIFY_THROWS_EXCEPTION(AppError, LedgerExport::write(*db, Header, {from, to}, path));
        QVERIFY(!QFileInfo::exists(path));
        return;
    }
    const QStringList files = LedgerExport::write(*db, Header, {from, to}, path);
    QCOMPARE(files, QStringList{path});
    verifyFiles(files, storedBytes(*db, first, last));
}

void tst_LedgerExport::splitsAtAThousand() {
    constexpr int Count = 2 * RecordBatch::MaxRecords + 1;
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    FakeClock clock;
    RecordLedger ledger(*db, options(clock));
    {
        BookDatabase::Transaction all(*db);
        for (int i = 1; i <= Count; ++i) {
            clock.now = clock.now.addSecs(1);
            ledger.append(alta(invoice(QString::number(i))));
        }
        all.commit();
    }
    const QString path = QDir(dir.path()).filePath(QStringLiteral("exportado"));
    const QStringList files =
        LedgerExport::write(*db, Header, {QDate(2027, 3, 5), QDate(2027, 3, 5)}, path);
    QCOMPARE(files, QStringList({path, path + QStringLiteral(".2"), path + QStringLiteral(".3")}));
    verifyFiles(files, storedBytes(*db, 1, Count));
    QCOMPARE(LedgerExport::fileNames(path, RecordBatch::MaxRecords), QStringList{path});
}

void tst_LedgerExport::fileOfALongerExportLeftBeside() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    FakeClock clock;
    RecordLedger ledger(*db, options(clock));
    issue(ledger, QStringLiteral("1"));
    const QString path = QDir(dir.path()).filePath(QStringLiteral("exportado.xml"));
    QFile older(path + QStringLiteral(".2"));
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("registros de otro periodo");
    older.close();
    try {
        LedgerExport::write(*db, Header, {QDate(2027, 3, 5), QDate(2027, 3, 5)}, path);
        QFAIL("exported beside an older file");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Ya existe %1, de una exportación anterior")
                                            .arg(QDir::toNativeSeparators(older.fileName()))),
                 qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(tst_LedgerExport)
#include "tst_LedgerExport.moc"
