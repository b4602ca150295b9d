#include "LedgerFixture.h"

#include "book/BookSchema.h"
#include "book/InvoiceBook.h"
#include "ledger/LedgerCheck.h"
#include "ledger/RecordStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace LedgerFixture;

// The table of billing records as the sqlite3 program sees it: an older
// book comes up to date with its invoices, stored records refuse every
// change but their sending state, and no two records can name one
// predecessor.
class tst_RecordStorage : public QObject {
    Q_OBJECT
private slots:
    void bookOfTheFirstVersionComesUpToDate();
    void storedRecordsStayAsWritten_data();
    void storedRecordsStayAsWritten();
};

namespace {

// Every column of every record, as text.
QString dump(const QString& book) {
    return sqlite(book, "SELECT sequence, issuer_nif, installation, kind, invoice_id, "
                        "series_number, issue_date, generated_at, huella, previous_huella, "
                        "state, attempts, last_error, csv, incident, hex(bytes) "
                        "FROM billing_records ORDER BY rowid;");
}

} // namespace

void tst_RecordStorage::bookOfTheFirstVersionComesUpToDate() {
    QTemporaryDir dir;
    const QString book = QDir(dir.path()).filePath(QStringLiteral("Libro.db"));
    const QString made = sqlite(
        book, QStringLiteral("PRAGMA application_id = %1; BEGIN; %2; PRAGMA user_version = 1; "
                             "INSERT INTO invoices VALUES (1, '89890001K', 'A', '7', 'A-7', 1, 1, "
                             "'2027-03-01', NULL, '89890002E', 'Cliente', 10000, 2100, 0, 12100, "
                             "'2027-03-01T10:00:00+01:00', 'A 7', 'a-7'); "
                             "INSERT INTO documents VALUES (1, 1, 'xml', 'A-7.XML', 'x', "
                             "'2027-03-01T10:00:00+01:00', X'3C612F3E'); "
                             "INSERT INTO history VALUES (1, 1, '2027-03-01T10:00:00+01:00', "
                             "'emitida', ''); COMMIT; PRAGMA journal_mode = WAL;")
                  .arg(BookDatabase::ApplicationId)
                  .arg(QString::fromUtf8(BookSchema::migrations().first().sql)));
    QCOMPARE(made.trimmed(), QStringLiteral("wal"));

    auto db = BookDatabase::open(dir.path());
    QCOMPARE(db->schemaVersion(), BookSchema::latestVersion());
    const std::optional<BookEntry> kept = InvoiceBook(*db).find(Issuer, QStringLiteral("A-7"));
    QVERIFY(kept);
    QCOMPARE(InvoiceBook(*db).document(kept->id), QByteArray("<a/>"));
    QVERIFY(RecordStore(*db).isEmpty());

    // Its first record starts the chain.
    FakeClock clock;
    RecordLedger ledger(*db, options(clock));
    QCOMPARE(issue(ledger, QStringLiteral("8")).record->sequence, 1);
    QVERIFY(LedgerCheck::run(*db).ok());
}

void tst_RecordStorage::storedRecordsStayAsWritten_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("says"); // empty: allowed
    QTest::newRow("a record deleted") << "DELETE FROM billing_records WHERE sequence = 2;"
                                      << "billing records are never deleted";
    QTest::newRow("an amount edited")
        << "UPDATE billing_records SET bytes = replace(bytes, '>121.00<', '>12.10<');"
        << "a billing record is never changed";
    QTest::newRow("a fingerprint changed")
        << "UPDATE billing_records SET huella = lower(huella) WHERE sequence = 1;"
        << "a billing record is never changed";
    QTest::newRow("two records swapped") << "UPDATE billing_records SET sequence = 3 - sequence;"
                                         << "a billing record is never "
                                            "changed";
    QTest::newRow("a link removed")
        << "UPDATE billing_records SET previous_huella = '' WHERE sequence = 2;"
        << "a billing record is never changed";
    QTest::newRow("the invoice unlinked") << "UPDATE billing_records SET invoice_id = NULL;"
                                          << "a billing record is never changed";
    QTest::newRow("the generation time moved")
        << "UPDATE billing_records SET generated_at = '2027-01-01T00:00:00+01:00';"
        << "a billing record is never changed";
    QTest::newRow("a second record naming the same predecessor")
        << "INSERT INTO billing_records (sequence, issuer_nif, installation, kind, series_number, "
           "issue_date, generated_at, huella, previous_huella, bytes) SELECT 3, issuer_nif, "
           "installation, kind, 'A-3', issue_date, generated_at, 'H', previous_huella, bytes "
           "FROM billing_records WHERE sequence = 2;"
        << "UNIQUE constraint failed";
    QTest::newRow("a second first record")
        << "INSERT INTO billing_records (sequence, issuer_nif, installation, kind, series_number, "
           "issue_date, generated_at, huella, previous_huella, bytes) SELECT 3, issuer_nif, "
           "installation, kind, 'A-3', issue_date, generated_at, 'H', '', bytes "
           "FROM billing_records WHERE sequence = 1;"
        << "UNIQUE constraint failed";
    QTest::newRow("a sequence number taken twice")
        << "INSERT INTO billing_records (sequence, issuer_nif, installation, kind, series_number, "
           "issue_date, generated_at, huella, previous_huella, bytes) SELECT 2, issuer_nif, "
           "installation, kind, 'A-3', issue_date, generated_at, 'H', huella, bytes "
           "FROM billing_records WHERE sequence = 2;"
        << "UNIQUE constraint failed";
    QTest::newRow("a state the sending does not know")
        << "UPDATE billing_records SET state = 'perdido';"
        << "CHECK constraint failed";
    QTest::newRow("the sending state recorded")
        << "UPDATE billing_records SET state = 'aceptado', attempts = 1, csv = 'A-XYZ', "
           "incident = 1, last_error = '' WHERE sequence = 1;"
        << "";
}

void tst_RecordStorage::storedRecordsStayAsWritten() {
    QFETCH(QString, sql);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString book = QDir(dir.path()).filePath(QStringLiteral("Libro.db"));
    {
        auto db = BookDatabase::open(dir.path());
        FakeClock clock;
        RecordLedger ledger(*db, options(clock));
        issue(ledger, QStringLiteral("1"));
        clock.now = clock.now.addSecs(60);
        issue(ledger, QStringLiteral("2"));
    }
    const QString before = dump(book);
    const QString out = sqlite(book, sql);
    if (says.isEmpty()) {
        QVERIFY2(out.isEmpty(), qPrintable(out));
        QCOMPARE(sqlite(book, "SELECT state, csv FROM billing_records WHERE sequence = 1;"),
                 QStringLiteral("aceptado|A-XYZ\n"));
    } else {
        QVERIFY2(out.contains(says), qPrintable(out));
        QCOMPARE(dump(book), before);
    }
    QVERIFY(LedgerCheck::run(*BookDatabase::open(dir.path())).ok());
}

QTEST_GUILESS_MAIN(tst_RecordStorage)
#include "tst_RecordStorage.moc"
