#include "BookFixture.h"

#include "book/BookCheck.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QTemporaryDir>
#include <QTest>

using namespace BookFixture;

Q_DECLARE_METATYPE(BookFinding::Kind)

// The check of the whole book finds what changed behind its back.
class tst_BookCheck : public QObject {
    Q_OBJECT
private slots:
    void soundBookPasses();
    void faultIsFound_data();
    void faultIsFound();
};

namespace {

// A book with signed, closed.
void makeBook(const QString& folder) {
    auto db = BookDatabase::open(folder);
    InvoiceBook book(*db);
    for (const char* number : {"1", "2", "3", "5"})
        book.issue(invoice(QStringLiteral("A"), QString::fromLatin1(number)));
    book.storeSigned(book.find(Issuer, QStringLiteral("A-2"))->id, "<Firmada>A-2 firmada</Firmada>",
                     QStringLiteral("A-2.XSIG"));
}

// Changes the first occurrence of from into to, in the file itself.
void patchFile(const QString& path, const QByteArray& from, const QByteArray& to) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf(from);
    QVERIFY(at >= 0);
    file.seek(at);
    file.write(to);
}

} // namespace

void tst_BookCheck::soundBookPasses() {
    QTemporaryDir dir;
    makeBook(dir.path());
    const BookCheckReport report = BookCheck::run(*BookDatabase::open(dir.path()));
    QVERIFY(report.sound());
    QCOMPARE(report.invoices, 4);
    QCOMPARE(report.documents, 5);
    // The missing A-4 is reported, and is not a fault.
    QCOMPARE(report.findings.size(), 1);
    QCOMPARE(report.findings[0].kind, BookFinding::Kind::Gap);
    QCOMPARE(report.findings[0].text, QStringLiteral("Falta el número A-4 (serie A)."));
}

void tst_BookCheck::faultIsFound_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<BookFinding::Kind>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("a document's bytes changed on disk")
        << "document" << BookFinding::Kind::Document
        << "El documento de A-3 (versión 1) no coincide con su huella SHA-256";
    QTest::newRow("a signed copy changed on disk")
        << "signed" << BookFinding::Kind::Document << "El documento firmado de A-2";
    QTest::newRow("an invoice without its document")
        << "incomplete" << BookFinding::Kind::Incomplete
        << "La factura A-9 (versión 1) no tiene su documento.";
    QTest::newRow("two current invoices of one number")
        << "duplicate" << BookFinding::Kind::Duplicate << "A-3, A-03";
}

void tst_BookCheck::faultIsFound() {
    QFETCH(QString, fault);
    QFETCH(BookFinding::Kind, kind);
    QFETCH(QString, says);
    QTemporaryDir dir;
    makeBook(dir.path());
    const QString path = dir.filePath(QStringLiteral("Libro.db"));
    if (fault == QLatin1String("document"))
        patchFile(path, "<Numero>3</Numero>", "<Numero>4</Numero>");
    else if (fault == QLatin1String("signed"))
        patchFile(path, "A-2 firmada", "A-2 FIRMADA");
    else {
        auto db = BookDatabase::open(dir.path());
        if (fault == QLatin1String("incomplete"))
            db->execute(
                "INSERT INTO invoices SELECT NULL, issuer_tax_id, series, '9', 'A-9', 1, 1, "
                "issue_date, due_date, customer_tax_id, customer_name, base_cents, "
                "vat_cents, withholding_cents, total_cents, stored_at, number_order, "
                "search_text FROM invoices WHERE number = '5'");
        else
            InvoiceBook(*db).issue(invoice(QStringLiteral("A"), QStringLiteral("03")));
    }

    const BookCheckReport report = BookCheck::run(*BookDatabase::open(dir.path()));
    QVERIFY(!report.sound());
    const auto found = std::find_if(report.findings.begin(), report.findings.end(),
                                    [&](const BookFinding& f) { return f.kind == kind; });
    QVERIFY(found != report.findings.end());
    QVERIFY2(found->text.contains(says), qPrintable(found->text));
}

QTEST_GUILESS_MAIN(tst_BookCheck)
#include "tst_BookCheck.moc"
