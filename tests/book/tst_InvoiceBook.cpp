#include "BookFixture.h"

#include "book/BookCheck.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace BookFixture;
using Outcome = InvoiceBook::IssueResult::Outcome;

Q_DECLARE_METATYPE(Outcome)

// Issuing into the book: one transaction per invoice, one current version
// per number, nothing lost when a version is replaced.
class tst_InvoiceBook : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void issuedInvoiceReadsBack();
    void oneCurrentVersionPerNumber_data();
    void oneCurrentVersionPerNumber();
    void sameDocumentAgainAddsNothing();
    void replacedVersionStaysAsHistory();
    void callersRowsShareTheTransaction();
    void signedCopyIsKept();
    void importedDocumentHasNoValue();
    void timesCarryTheirOffset();
    void incompleteRowIsRefused_data();
    void incompleteRowIsRefused();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BookDatabase> m_db;
    qint64 rows(const char* table) const {
        return count(*m_db, QByteArray("SELECT count(*) FROM ").append(table).constData());
    }
};

namespace {

// The clock of every test: history times never depend on today.
QDateTime fixedNow() {
    return QDateTime(QDate(2026, 3, 5), QTime(10, 15), QTimeZone(3600));
}

} // namespace

void tst_InvoiceBook::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    BookDatabase::Options options;
    options.clock = fixedNow;
    m_db = BookDatabase::open(m_dir->path(), options);
}

void tst_InvoiceBook::cleanup() {
    m_db.reset();
    m_dir.reset();
}

void tst_InvoiceBook::issuedInvoiceReadsBack() {
    InvoiceBook book(*m_db);
    InvoiceRow row = invoice(QStringLiteral("A"), QStringLiteral("15"));
    row.vatGroups = {{QStringLiteral("21.00"), 8000, 1680}, {QStringLiteral("10.00"), 2000, 200}};
    row.summary.withholdingCents = 1500;
    row.summary.dueDate = QDate();
    const auto result = book.issue(row);
    QCOMPARE(result.outcome, Outcome::Issued);
    QCOMPARE(result.entry.version, 1);
    QVERIFY(result.entry.current);
    QCOMPARE(result.entry.seriesNumber, QStringLiteral("A-15"));
    QCOMPARE(result.entry.state, QStringLiteral("emitida"));
    QCOMPARE(result.entry.storedAt, QStringLiteral("2026-03-05T10:15:00+01:00"));

    const auto found = book.find(Issuer, QStringLiteral("A-15"));
    QVERIFY(found);
    QCOMPARE(found->id, result.entry.id);
    QCOMPARE(found->summary.withholdingCents, 1500);
    QVERIFY(!found->summary.dueDate.isValid());
    QCOMPARE(book.document(found->id), row.document);
    QCOMPARE(book.vatGroups(found->id), row.vatGroups);
    QCOMPARE(book.value(found->id), row.value);
    QCOMPARE(book.history(found->id).size(), 1);
    QCOMPARE(book.history(found->id).first().at, QStringLiteral("2026-03-05T10:15:00+01:00"));
    QVERIFY(!book.find(Issuer, QStringLiteral("A-16")));
}

void tst_InvoiceBook::oneCurrentVersionPerNumber_data() {
    QTest::addColumn<QStringList>("first");  // issuer, series, number
    QTest::addColumn<QStringList>("second"); // issuer, series, number
    QTest::addColumn<Outcome>("outcome");
    const QString other = QStringLiteral("X9999999X");
    QTest::newRow("same series and number")
        << QStringList{Issuer, "A", "15"} << QStringList{Issuer, "A", "15"} << Outcome::Conflict;
    QTest::newRow("same joined text, split otherwise")
        << QStringList{Issuer, "A-1", "2"} << QStringList{Issuer, "A", "1-2"} << Outcome::Conflict;
    QTest::newRow("number alone against series and number")
        << QStringList{Issuer, "", "A-7"} << QStringList{Issuer, "A", "7"} << Outcome::Conflict;
    QTest::newRow("same digits, other split text")
        << QStringList{Issuer, "A", "12"} << QStringList{Issuer, "A1", "2"} << Outcome::Issued;
    QTest::newRow("other series") << QStringList{Issuer, "A", "15"}
                                  << QStringList{Issuer, "B", "15"} << Outcome::Issued;
    QTest::newRow("other issuer") << QStringList{Issuer, "A", "15"} << QStringList{other, "A", "15"}
                                  << Outcome::Issued;
    QTest::newRow("letter case counts")
        << QStringList{Issuer, "a", "15"} << QStringList{Issuer, "A", "15"} << Outcome::Issued;
}

void tst_InvoiceBook::oneCurrentVersionPerNumber() {
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(Outcome, outcome);
    InvoiceBook book(*m_db);
    InvoiceRow a = invoice(first[1], first[2], QDate(2026, 1, 10));
    a.summary.issuerTaxId = first[0];
    InvoiceRow b = invoice(second[1], second[2]);
    b.summary.issuerTaxId = second[0];
    b.document += "<!-- otra -->";
    QCOMPARE(book.issue(a).outcome, Outcome::Issued);

    const auto result = book.issue(b);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(rows("invoices"), outcome == Outcome::Issued ? 2 : 1);
    if (outcome == Outcome::Conflict) {
        // What the person is asked about: the invoice already issued.
        QCOMPARE(result.entry.summary.issueDate, QDate(2026, 1, 10));
        QCOMPARE(result.entry.summary.totalCents, a.summary.totalCents);
        QCOMPARE(result.entry.summary.number, a.summary.number);
        QCOMPARE(rows("documents"), 1);
        QCOMPARE(rows("history"), 1);
    }
}

void tst_InvoiceBook::sameDocumentAgainAddsNothing() {
    InvoiceBook book(*m_db);
    const InvoiceRow row = invoice(QStringLiteral("A"), QStringLiteral("15"));
    const auto first = book.issue(row);
    int calls = 0;
    const auto again = book.issue(row, [&](qint64) { ++calls; });
    QCOMPARE(again.outcome, Outcome::Same);
    QCOMPARE(again.entry.id, first.entry.id);
    QCOMPARE(calls, 0);
    // Not a replacement either.
    QCOMPARE(book.replace(row).outcome, Outcome::Same);
    QCOMPARE(rows("invoices"), 1);
    QCOMPARE(rows("documents"), 1);
    QCOMPARE(rows("history"), 1);
}

void tst_InvoiceBook::replacedVersionStaysAsHistory() {
    InvoiceBook book(*m_db);
    const InvoiceRow first = invoice(QStringLiteral("A"), QStringLiteral("15"));
    InvoiceRow second = invoice(QStringLiteral("A"), QStringLiteral("15"), QDate(2026, 3, 6),
                                QStringLiteral("Cliente Dos"), 20000);
    const qint64 oldId = book.issue(first).entry.id;
    QCOMPARE(book.issue(second).outcome, Outcome::Conflict);

    const auto replaced = book.replace(second);
    QCOMPARE(replaced.outcome, Outcome::Issued);
    QCOMPARE(replaced.entry.version, 2);
    QCOMPARE(book.find(Issuer, QStringLiteral("A-15"))->id, replaced.entry.id);
    QCOMPARE(book.find(Issuer, QStringLiteral("A-15"))->summary.customerName,
             QStringLiteral("Cliente Dos"));

    const QList<BookEntry> versions = book.versions(Issuer, QStringLiteral("A-15"));
    QCOMPARE(versions.size(), 2);
    QVERIFY(!versions[0].current);
    QCOMPARE(versions[0].state, QStringLiteral("sustituida"));
    QVERIFY(versions[1].current);
    QCOMPARE(book.document(oldId), first.document);
    QCOMPARE(book.history(oldId).last().detail, QStringLiteral("Sustituida por la versión 2"));
    QCOMPARE(book.history(replaced.entry.id).last().detail,
             QStringLiteral("Sustituye a la versión 1"));
    QVERIFY(BookCheck::run(*m_db).sound());

    // A third version replaces the second, never the first again.
    second.document += "<!-- 3 -->";
    QCOMPARE(book.replace(second).entry.version, 3);
    QCOMPARE(count(*m_db, "SELECT count(*) FROM invoices WHERE is_current = 1"), 1);
}

void tst_InvoiceBook::callersRowsShareTheTransaction() {
    InvoiceBook book(*m_db);
    const auto written =
        book.issue(invoice(QStringLiteral("A"), QStringLiteral("1")), [&](qint64 id) {
            m_db->propertyOnce(QStringLiteral("ultima"), QString::number(id));
        });
    QCOMPARE(m_db->property(QStringLiteral("ultima")), QString::number(written.entry.id));

    // The caller's failure undoes the invoice with its own rows.
    QVERIFY_THROWS_EXCEPTION(
        AppError, book.issue(invoice(QStringLiteral("A"), QStringLiteral("2")), [&](qint64) {
            m_db->propertyOnce(QStringLiteral("otra"), QStringLiteral("x"));
            throw AppError(QStringLiteral("registro no válido"));
        }));
    QVERIFY(m_db->property(QStringLiteral("otra")).isNull());
    QVERIFY(!book.find(Issuer, QStringLiteral("A-2")));
    QCOMPARE(rows("invoices"), 1);
    QCOMPARE(rows("documents"), 1);
    QCOMPARE(rows("vat_groups"), 1);
    QCOMPARE(rows("history"), 1);
}

void tst_InvoiceBook::signedCopyIsKept() {
    InvoiceBook book(*m_db);
    const qint64 id = book.issue(invoice(QStringLiteral("A"), QStringLiteral("1"))).entry.id;
    QVERIFY(book.signedDocument(id).isEmpty());
    book.storeSigned(id, "<firmada/>", QStringLiteral("1.XSIG"));
    QCOMPARE(book.signedDocument(id), QByteArray("<firmada/>"));
    QCOMPARE(book.entry(id)->state, QStringLiteral("firmada"));
    QCOMPARE(book.history(id).last().detail, QStringLiteral("1.XSIG"));
    // The unsigned document stays as it was issued.
    QCOMPARE(book.document(id), invoice(QStringLiteral("A"), QStringLiteral("1")).document);
    QVERIFY_THROWS_EXCEPTION(AppError, book.storeSigned(id + 1, "<x/>", QStringLiteral("2.XSIG")));
    QCOMPARE(rows("documents"), 2);
}

void tst_InvoiceBook::importedDocumentHasNoValue() {
    InvoiceBook book(*m_db);
    InvoiceRow row = invoice(QStringLiteral("A"), QStringLiteral("1"));
    row.value.reset();
    const auto result = book.issue(row);
    QCOMPARE(result.entry.state, QStringLiteral("importada"));
    QVERIFY(!book.value(result.entry.id));
    QCOMPARE(book.issue(row).outcome, Outcome::Same); // imported twice: skipped
}

// The system's clock too: a local time would be kept without its offset.
void tst_InvoiceBook::timesCarryTheirOffset() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    InvoiceBook book(*db);
    const BookEntry entry = book.issue(invoice(QStringLiteral("A"), QStringLiteral("1"))).entry;
    const QRegularExpression withOffset(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)$"));
    QVERIFY2(withOffset.match(entry.storedAt).hasMatch(), qPrintable(entry.storedAt));
    const QString at = book.history(entry.id).first().at;
    QVERIFY2(withOffset.match(at).hasMatch(), qPrintable(at));
}

void tst_InvoiceBook::incompleteRowIsRefused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("says");
    QTest::newRow("no number") << "number"
                               << "falta el número";
    QTest::newRow("no issuer") << "issuer"
                               << "falta el NIF del emisor";
    QTest::newRow("no date") << "date"
                             << "falta la fecha de expedición";
    QTest::newRow("no document") << "document"
                                 << "falta el documento";
    QTest::newRow("rate with a comma") << "rate"
                                       << "el tipo de IVA «21,00» no es un número";
}

void tst_InvoiceBook::incompleteRowIsRefused() {
    QFETCH(QString, field);
    QFETCH(QString, says);
    InvoiceRow row = invoice(QStringLiteral("A"), QStringLiteral("1"));
    if (field == QLatin1String("number"))
        row.summary.number.clear();
    else if (field == QLatin1String("issuer"))
        row.summary.issuerTaxId = QStringLiteral(" ");
    else if (field == QLatin1String("date"))
        row.summary.issueDate = QDate();
    else if (field == QLatin1String("document"))
        row.document.clear();
    else
        row.vatGroups.first().rate = QStringLiteral("21,00");
    try {
        InvoiceBook(*m_db).issue(row);
        QFAIL("an incomplete invoice was issued");
    } catch (const AppError& error) {
        QVERIFY2(error.message().contains(says), qPrintable(error.message()));
    }
    QCOMPARE(rows("invoices"), 0);
}

QTEST_GUILESS_MAIN(tst_InvoiceBook)
#include "tst_InvoiceBook.moc"
