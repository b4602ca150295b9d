#include "BookFixture.h"
#include "ReadOnlyFolder.h"

#include "book/BookDatabase.h"
#include "book/BookSchema.h"
#include "book/InvoiceBook.h"
#include "book/SqlStatement.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace BookFixture;

// Opening Libro.db: a new book is made whole, an old one brought up to date,
// and a file that is not a book this program may write is left untouched.
class tst_BookDatabase : public QObject {
    Q_OBJECT
private slots:
    void newBookIsReadableWithTheSqlite3Program();
    void olderBookIsBroughtUpToDate();
    void unusableFileIsNeverWritten_data();
    void unusableFileIsNeverWritten();
    void unusableBookCanBeSetAside();
    void unwritableBookIsNotKept_data();
    void unwritableBookIsNotKept();
    void waitingTooLongSaysAnotherOrvaneHasTheBook();
    void keptRowsAreNeverDeletedOrChanged_data();
    void keptRowsAreNeverDeletedOrChanged();
    void bookDataIsMadeOnce();
};

namespace {

QString bookPath(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("Libro.db"));
}

// A book with two invoices, closed, so its file stands alone.
void makeBook(const QString& folder) {
    auto db = BookDatabase::open(folder);
    InvoiceBook book(*db);
    book.issue(invoice(QStringLiteral("A"), QStringLiteral("1")));
    book.issue(invoice(QStringLiteral("A"), QStringLiteral("2")));
}

// Runs SQL on a database file directly, outside the book's own code; false
// when the sqlite3 program is not there to do it.
bool raw(const QString& path, const QString& sql) {
    const QByteArray out = sqliteProgram(path, sql);
    if (out.contains("Error"))
        qFatal("sqlite3: %s", out.constData());
    return !out.isNull();
}

} // namespace

void tst_BookDatabase::newBookIsReadableWithTheSqlite3Program() {
    QTemporaryDir dir;
    {
        auto db = BookDatabase::open(dir.path());
        QCOMPARE(db->schemaVersion(), BookSchema::latestVersion());
        QCOMPARE(count(*db, "PRAGMA application_id"), qint64(BookDatabase::ApplicationId));
        QCOMPARE(count(*db, "PRAGMA foreign_keys"), 1);
        QCOMPARE(count(*db, "PRAGMA synchronous"), 2); // FULL
        InvoiceBook(*db).issue(invoice(QStringLiteral("A"), QStringLiteral("7")));
    }
    // Only the book is left: the temporary file it was made under is gone.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Libro.db")});
    const QByteArray out = sqliteProgram(
        bookPath(dir), QStringLiteral("PRAGMA journal_mode; SELECT series_number, issue_date, "
                                      "total_cents FROM invoices; SELECT kind FROM history;"));
    if (out.isNull())
        QSKIP("the sqlite3 program is not installed");
    QCOMPARE(out, QByteArray("wal\nA-7|2026-03-05|12100\nemitida\n"));
}

void tst_BookDatabase::olderBookIsBroughtUpToDate() {
    // An Orvane database of version 0: stamped as ours, no tables yet.
    QTemporaryDir dir;
    if (!raw(bookPath(dir),
             QStringLiteral("PRAGMA application_id = %1; CREATE TABLE t (x); DROP TABLE t;")
                 .arg(BookDatabase::ApplicationId)))
        QSKIP("the sqlite3 program is needed to make the old book");
    QCOMPARE(count(*BookDatabase::open(dir.path()), "PRAGMA user_version"),
             qint64(BookSchema::latestVersion()));
    auto db = BookDatabase::open(dir.path());
    QCOMPARE(count(*db, "SELECT count(*) FROM sqlite_schema WHERE name = 'invoices'"), 1);
    InvoiceBook(*db).issue(invoice(QStringLiteral("A"), QStringLiteral("1")));
}

void tst_BookDatabase::unusableFileIsNeverWritten_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("says");
    const int damaged = int(BookError::Kind::Damaged);
    QTest::newRow("cut short") << "truncate" << damaged << "cortado";
    QTest::newRow("cut inside the header") << "header" << damaged << "no es una base de datos";
    QTest::newRow("empty file") << "empty" << damaged << "vacío";
    QTest::newRow("random bytes") << "random" << damaged << "no es una base de datos";
    QTest::newRow("pages overwritten") << "overwrite" << damaged << "dañado";
    QTest::newRow("another program's database")
        << "foreign" << int(BookError::Kind::Foreign) << "otro programa";
    QTest::newRow("newer version of Orvane")
        << "newer" << int(BookError::Kind::Newer) << "versión más reciente";
}

void tst_BookDatabase::unusableFileIsNeverWritten() {
    QFETCH(QString, damage);
    QFETCH(int, kind);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = bookPath(dir);
    if (damage == QLatin1String("foreign")) {
        if (!raw(path, QStringLiteral("CREATE TABLE clientes (nombre TEXT); "
                                      "INSERT INTO clientes VALUES ('x');")))
            QSKIP("the sqlite3 program is needed to make the file");
    } else if (damage == QLatin1String("newer")) {
        makeBook(dir.path());
        if (!raw(path,
                 QStringLiteral("PRAGMA user_version = %1").arg(BookSchema::latestVersion() + 1)))
            QSKIP("the sqlite3 program is needed to make the file");
    } else if (damage == QLatin1String("random") || damage == QLatin1String("empty")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes(damage == QLatin1String("random") ? 8192 : 0, '\0');
        QRandomGenerator(21).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        file.write(bytes);
    } else {
        makeBook(dir.path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (damage == QLatin1String("truncate"))
            file.resize(file.size() / 2);
        else if (damage == QLatin1String("header"))
            file.resize(50);
        else {
            // Every page after the first overwritten with noise.
            QByteArray noise(file.size() - 4096, '\0');
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()),
                                          noise.size() / 4);
            file.seek(4096);
            file.write(noise);
        }
    }
    const QByteArray before = fileBytes(path);

    try {
        BookDatabase::open(dir.path());
        QFAIL("the file was taken as a book");
    } catch (const BookError& error) {
        QCOMPARE(int(error.kind()), kind);
        QVERIFY(error.fileUnusable());
        QVERIFY2(error.message().contains(says), qPrintable(error.message()));
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)),
                 qPrintable(error.message()));
    }
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Libro.db")});
}

void tst_BookDatabase::unusableBookCanBeSetAside() {
    QTemporaryDir dir;
    QFile file(bookPath(dir));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a book, but somebody's file");
    file.close();
    const QString aside =
        BookDatabase::setAside(dir.path(), QDateTime(QDate(2026, 3, 5), QTime(9, 30)));
    QCOMPARE(QFileInfo(aside).fileName(), QStringLiteral("Libro-apartado-20260305-093000.db"));
    QCOMPARE(fileBytes(aside), QByteArray("not a book, but somebody's file"));
    QCOMPARE(BookDatabase::open(dir.path())->schemaVersion(), BookSchema::latestVersion());
}

void tst_BookDatabase::unwritableBookIsNotKept_data() {
    QTest::addColumn<bool>("bookExists");
    QTest::newRow("no book yet") << false;
    QTest::newRow("a book already there") << true;
}

void tst_BookDatabase::unwritableBookIsNotKept() {
    QFETCH(bool, bookExists);
    QTemporaryDir dir;
    if (bookExists)
        makeBook(dir.path());
    const QByteArray before = fileBytes(bookPath(dir));
    {
        ReadOnlyFolder readOnly(dir.path());
        if (readOnly.path().isEmpty())
            QSKIP("no read-only folder can be made here");
        try {
            BookDatabase::open(readOnly.path());
            QFAIL("a read-only book was opened for writing");
        } catch (const BookError& error) {
            QCOMPARE(error.kind(), BookError::Kind::NotKept);
            QVERIFY(!error.fileUnusable());
            QVERIFY2(error.message().contains(QStringLiteral("no se guardarán en el libro")),
                     qPrintable(error.message()));
        }
    }
    QCOMPARE(fileBytes(bookPath(dir)), before);
}

void tst_BookDatabase::waitingTooLongSaysAnotherOrvaneHasTheBook() {
    QTemporaryDir dir;
    auto holder = BookDatabase::open(dir.path());
    BookDatabase::Options quick;
    quick.busyTimeoutMs = 100;
    auto waiter = BookDatabase::open(dir.path(), quick);

    BookDatabase::Transaction held(*holder);
    try {
        InvoiceBook(*waiter).issue(invoice(QStringLiteral("A"), QStringLiteral("1")));
        QFAIL("issued while another writer held the book");
    } catch (const BookError& error) {
        QCOMPARE(error.kind(), BookError::Kind::Busy);
        QVERIFY2(error.message().startsWith(QStringLiteral("Otro Orvane está usando el libro")),
                 qPrintable(error.message()));
    }
    held.commit();
    // Once the other lets go, the same connection issues normally.
    InvoiceBook(*waiter).issue(invoice(QStringLiteral("A"), QStringLiteral("1")));
    QCOMPARE(count(*holder, "SELECT count(*) FROM invoices"), 1);
}

void tst_BookDatabase::keptRowsAreNeverDeletedOrChanged_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("delete an invoice") << "DELETE FROM invoices";
    QTest::newRow("change an amount") << "UPDATE invoices SET total_cents = 1";
    QTest::newRow("delete a document") << "DELETE FROM documents";
    QTest::newRow("change a document") << "UPDATE documents SET bytes = x'00'";
    QTest::newRow("delete history") << "DELETE FROM history";
    QTest::newRow("change history") << "UPDATE history SET kind = 'anulada'";
    QTest::newRow("delete a VAT group") << "DELETE FROM vat_groups";
    QTest::newRow("change a value") << "UPDATE invoice_values SET value = ''";
    QTest::newRow("delete a corrective's link")
        << "INSERT INTO corrections VALUES (1, 1); DELETE FROM corrections";
    QTest::newRow("change a corrective's link")
        << "INSERT INTO corrections VALUES (1, 1); UPDATE corrections SET corrected_id = 2";
    QTest::newRow("two current versions of one number")
        << "INSERT INTO invoices SELECT NULL, issuer_tax_id, series, number, series_number, 9, 1, "
           "issue_date, due_date, customer_tax_id, customer_name, base_cents, vat_cents, "
           "withholding_cents, total_cents, stored_at, number_order, search_text FROM invoices";
    QTest::newRow("the same joined text, split otherwise")
        << "INSERT INTO invoices SELECT NULL, issuer_tax_id, 'A-1', '2', 'A-1-2', 1, 1, "
           "issue_date, due_date, customer_tax_id, customer_name, base_cents, vat_cents, "
           "withholding_cents, total_cents, stored_at, number_order, search_text FROM invoices";
}

void tst_BookDatabase::keptRowsAreNeverDeletedOrChanged() {
    QFETCH(QString, sql);
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    InvoiceBook(*db).issue(invoice(QStringLiteral("A"), QStringLiteral("1-2")));
    QVERIFY_THROWS_EXCEPTION(BookError, db->execute(sql.toUtf8().constData()));
    QCOMPARE(count(*db, "SELECT count(*) FROM invoices"), 1);
    QCOMPARE(InvoiceBook(*db).document(1),
             invoice(QStringLiteral("A"), QStringLiteral("1-2")).document);
}

void tst_BookDatabase::bookDataIsMadeOnce() {
    QTemporaryDir dir;
    {
        auto db = BookDatabase::open(dir.path());
        QVERIFY(db->property(QStringLiteral("instalacion")).isNull());
        QCOMPARE(db->propertyOnce(QStringLiteral("instalacion"), QStringLiteral("0001")),
                 QStringLiteral("0001"));
    }
    auto db = BookDatabase::open(dir.path());
    QCOMPARE(db->propertyOnce(QStringLiteral("instalacion"), QStringLiteral("0002")),
             QStringLiteral("0001"));
    QCOMPARE(db->property(QStringLiteral("instalacion")), QStringLiteral("0001"));
}

QTEST_GUILESS_MAIN(tst_BookDatabase)
#include "tst_BookDatabase.moc"
