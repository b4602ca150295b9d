#include "BookFixture.h"

#include "book/BookDatabase.h"
#include "book/BookExport.h"
#include "book/InvoiceBook.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace BookFixture;

// The register of issued invoices as an accountant's spreadsheet reads it.
class tst_BookExport : public QObject {
    Q_OBJECT
private slots:
    void registerOfIssuedInvoices();
    void filterAndFileSave();
};

namespace {

void fillSmallBook(BookDatabase& db) {
    InvoiceBook book(db);
    InvoiceRow mixed = invoice("A", "2", QDate(2026, 2, 3), "Ana López", 123450);
    mixed.vatGroups = {{"21.00", 100000, 21000}, {"10.00", 20000, 2000}, {"0.00", 3450, 0}};
    mixed.summary.vatCents = 23000;
    mixed.summary.withholdingCents = 18518;
    mixed.summary.totalCents = 123450 + 23000 - 18518;
    book.issue(mixed);
    // Issued later, dated earlier: the register goes by date.
    InvoiceRow quoted = invoice("A", "1", QDate(2026, 1, 31), "Obras \"Norte\"; S.L.", 5000);
    quoted.vatGroups = {{"5.5", 5000, 275}};
    quoted.summary.vatCents = 275;
    quoted.summary.totalCents = 5275;
    book.issue(quoted);
    // A document without VAT groups still has its line.
    InvoiceRow bare = invoice("", "2026-7", QDate(2026, 2, 10), "Cliente Tres", -2500);
    bare.vatGroups.clear();
    bare.summary.vatCents = 0;
    bare.summary.totalCents = -2500;
    bare.value.reset();
    book.issue(bare);
}

} // namespace

void tst_BookExport::registerOfIssuedInvoices() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    fillSmallBook(*db);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    BookExport::writeCsv(*db, {}, out);
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "Fecha de expedición;Serie;Número;NIF del destinatario;Nombre del destinatario;"
        "Base imponible;Tipo;Cuota;Retención;Total\r\n"
        "31/01/2026;A;1;A87654321;\"Obras \"\"Norte\"\"; S.L.\";50,00;5,50;2,75;0,00;52,75\r\n"
        "03/02/2026;A;2;A87654321;Ana López;1.000,00;21,00;210,00;185,18;1.279,32\r\n"
        "03/02/2026;A;2;A87654321;Ana López;200,00;10,00;20,00;;\r\n"
        "03/02/2026;A;2;A87654321;Ana López;34,50;0,00;0,00;;\r\n"
        "10/02/2026;;2026-7;A87654321;Cliente Tres;-25,00;;;0,00;-25,00\r\n";
    QCOMPARE(out.data(), expected);
}

void tst_BookExport::filterAndFileSave() {
    QTemporaryDir dir;
    auto db = BookDatabase::open(dir.path());
    fillSmallBook(*db);
    const QString path = dir.filePath(QStringLiteral("registro.csv"));
    BookFilter february;
    february.from = QDate(2026, 2, 1);
    BookExport::saveCsv(*db, february, path);
    const QList<QByteArray> lines = fileBytes(path).split('\n');
    QCOMPARE(lines.size(), 6); // heading, three lines of A-2, one of 2026-7, the end
    QVERIFY(lines[1].startsWith("03/02/2026;A;2;"));

    // Never over the book itself, by its name or through a link.
    const QByteArray book = fileBytes(db->path());
    const QString link = dir.filePath(QStringLiteral("enlace.csv"));
    QVERIFY(QFile::link(db->path(), link));
    for (const QString& target : {db->path(), link}) {
        try {
            BookExport::saveCsv(*db, {}, target);
            QFAIL("the register replaced the book");
        } catch (const AppError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("es el propio libro")),
                     qPrintable(error.message()));
        }
    }
    QCOMPARE(fileBytes(db->path()), book);

    // A file that cannot be made is named in the message.
    const QString nowhere = dir.filePath(QStringLiteral("no/existe/registro.csv"));
    try {
        BookExport::saveCsv(*db, {}, nowhere);
        QFAIL("saved into a folder that does not exist");
    } catch (const AppError& error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(nowhere)),
                 qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(tst_BookExport)
#include "tst_BookExport.moc"
