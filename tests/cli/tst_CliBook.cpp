#include "CliRunner.h"

#include "../book/BookFixture.h"

#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace BookFixture;

// orvane-cli book, run as a user would: each subcommand's main paths and
// errors, the exact bytes it writes, and a book it cannot use left alone.
class tst_CliBook : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void list_data();
    void list();
    void listFormats();
    void show_data();
    void show();
    void showWritesTheStoredBytes_data();
    void showWritesTheStoredBytes();
    void exportGivesTheRegister();
    void outputErrors_data();
    void outputErrors();
    void backupOpensInSqlite();
    void importDocuments();
    void importRefusals_data();
    void importRefusals();
    void importSignedCopy();
    void checkAndGaps_data();
    void checkAndGaps();
    void noBook_data();
    void noBook();
    void unusableBook_data();
    void unusableBook();
    void usage_data();
    void usage();

private:
    QTemporaryDir m_samples;
    QString m_ownDocument, m_otherSeller, m_secondOwn; // written by orvane-cli generate
};

namespace {

using CliRunner::cli;
using CliRunner::Run;

const QString OwnTaxId = QStringLiteral("33333333P"); // the seller of two samples

QDateTime fixedNow() {
    return QDateTime(QDate(2026, 3, 10), QTime(9, 30), QTimeZone(3600));
}

std::unique_ptr<BookDatabase> openAt(const QString& home) {
    BookDatabase::Options options;
    options.clock = fixedNow;
    return BookDatabase::open(home, options);
}

void writeRegistro(const QString& home, const QString& taxId) {
    QFile file(QDir(home).filePath(QStringLiteral("Registro.Ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[MISDATOS]\nNIF=" + taxId.toUtf8() + "\n");
}

const QByteArray SignedA2 = "<Facturae>A-2 firmada</Facturae>";

// A-1 and A-2 (signed, two VAT rates, withholding), B-1 and the series-less
// 77, dated apart, issued in another order.
void makeSmallBook(const QString& home) {
    auto db = openAt(home);
    InvoiceBook book(*db);
    InvoiceRow two = invoice("A", "2", QDate(2026, 2, 3), "Ana López", 123450);
    two.vatGroups = {{"21.00", 100000, 21000}, {"10.00", 20000, 2000}, {"0.00", 3450, 0}};
    two.summary.vatCents = 23000;
    two.summary.withholdingCents = 18518;
    two.summary.totalCents = 123450 + 23000 - 18518;
    book.issue(two);
    book.issue(invoice("A", "1", QDate(2026, 1, 31), "Obras \"Norte\"; S.L.", 5000));
    InvoiceRow b1 = invoice("B", "1", QDate(2026, 2, 20), "José Pérez", 40000);
    b1.summary.customerTaxId = QStringLiteral("12345678Z");
    book.issue(b1);
    book.issue(invoice("", "77", QDate(2026, 3, 1), "Lugo Motor S.L.", 5000));
    book.storeSigned(book.find(Issuer, "A-2")->id, SignedA2, "A-2.XSIG");
}

QString bookPath(const QString& home) {
    return QDir(home).filePath(QStringLiteral("Libro.db"));
}

// The first column of each listed line of book list's text.
QStringList listedNumbers(const QString& out) {
    QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    QStringList numbers;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i)
        numbers << lines[i].section(u' ', 0, 0);
    return numbers;
}

// stdout as bytes, for documents written there.
QByteArray rawOut(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(ORVANE_CLI_PATH), arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

void patchFile(const QString& path, const QByteArray& from, const QByteArray& to) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qsizetype at = file.readAll().indexOf(from);
    QVERIFY(at >= 0);
    file.seek(at);
    file.write(to);
}

} // namespace

void tst_CliBook::initTestCase() {
    for (const char* name : {"F2024-002.ini", "F2024-002-persona-fisica.ini", "F2024-001.ini"})
        QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/") + QLatin1String(name),
                    m_samples.filePath(QLatin1String(name)));
    m_ownDocument = m_samples.filePath(QStringLiteral("F2024-002.XML"));
    m_secondOwn = m_samples.filePath(QStringLiteral("F2024-002-persona-fisica.XML"));
    m_otherSeller = m_samples.filePath(QStringLiteral("F2024-001.XML"));
    for (const QString& document : {m_ownDocument, m_secondOwn, m_otherSeller}) {
        QString ini = document;
        ini.replace(QStringLiteral(".XML"), QStringLiteral(".ini"));
        const Run run = cli({"generate", "--home", m_samples.path(), "-o", document, ini});
        QVERIFY2(run.status == 0, qPrintable(run.err));
    }
}

void tst_CliBook::list_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("totals");
    QTest::newRow("all, by issue date")
        << QStringList{} << QStringList{"A-1", "A-2", "B-1", "77"}
        << "4 facturas: base 1.734,50, IVA 335,00, retención 185,18, total 1.884,32";
    QTest::newRow("a series") << QStringList{"--series", "A"} << QStringList{"A-1", "A-2"}
                              << "2 facturas: base 1.284,50, IVA 240,50, retención 185,18, "
                                 "total 1.339,82";
    QTest::newRow("no series") << QStringList{"--series", ""} << QStringList{"77"}
                               << "1 factura: base 50,00, IVA 10,50, retención 0,00, total 60,50";
    QTest::newRow("dates in both forms, ends included")
        << QStringList{"--from", "3/2/2026", "--to", "2026-02-20"} << QStringList{"A-2", "B-1"}
        << "2 facturas: base 1.634,50, IVA 314,00, retención 185,18, total 1.763,32";
    QTest::newRow("customer's name, accents and case ignored")
        << QStringList{"--customer", "JOSE"} << QStringList{"B-1"}
        << "1 factura: base 400,00, IVA 84,00, retención 0,00, total 484,00";
    QTest::newRow("customer's tax id")
        << QStringList{"--customer", "5678z"} << QStringList{"B-1"}
        << "1 factura: base 400,00, IVA 84,00, retención 0,00, total 484,00";
    QTest::newRow("customer, never the number")
        << QStringList{"--customer", "77"} << QStringList{}
        << "0 facturas: base 0,00, IVA 0,00, retención 0,00, total 0,00";
    QTest::newRow("nothing matches") << QStringList{"--customer", "nadie"} << QStringList{}
                                     << "0 facturas: base 0,00, IVA 0,00, retención 0,00, "
                                        "total 0,00";
}

void tst_CliBook::list() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, numbers);
    QFETCH(QString, totals);
    QTemporaryDir home;
    makeSmallBook(home.path());
    const Run run = cli(QStringList{"book", "list", "--home", home.path()} + options);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QString());
    QCOMPARE(listedNumbers(run.out), numbers);
    QCOMPARE(run.out.split(u'\n', Qt::SkipEmptyParts).last(), totals);
    // The heading names the columns the window shows.
    QVERIFY(run.out.startsWith(QStringLiteral("Serie-número")));
    for (const char* column :
         {"Fecha", "Cliente", "NIF", "Base", "IVA", "Retención", "Total", "Estado"})
        QVERIFY2(run.out.section(u'\n', 0, 0).contains(QString::fromUtf8(column)), column);
}

// CSV and JSON give every column, amounts exact, in the listed order.
void tst_CliBook::listFormats() {
    QTemporaryDir home;
    makeSmallBook(home.path());
    const Run csv = cli({"book", "list", "--home", home.path(), "--csv", "--series", "A"});
    QCOMPARE(csv.status, 0);
    QCOMPARE(csv.out,
             QStringLiteral("Serie-número;Fecha;Cliente;NIF;Base;IVA;Retención;Total;Estado\r\n"
                            "A-1;31/01/2026;\"Obras \"\"Norte\"\"; S.L.\";A87654321;50,00;10,50;"
                            "0,00;60,50;emitida\r\n"
                            "A-2;03/02/2026;Ana López;A87654321;1.234,50;230,00;185,18;1.279,32;"
                            "firmada\r\n"));

    const Run json = cli({"book", "list", "--home", home.path(), "--json", "--from", "2026-02-20"});
    QCOMPARE(json.status, 0);
    const QJsonArray all = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(all.size(), 2);
    const QJsonObject b1 = all[0].toObject();
    QCOMPARE(b1["seriesNumber"].toString(), QStringLiteral("B-1"));
    QCOMPARE(b1["series"].toString(), QStringLiteral("B"));
    QCOMPARE(b1["issueDate"].toString(), QStringLiteral("2026-02-20"));
    QCOMPARE(b1["dueDate"].toString(), QStringLiteral("2026-03-22"));
    QCOMPARE(b1["customerName"].toString(), QStringLiteral("José Pérez"));
    QCOMPARE(b1["customerTaxId"].toString(), QStringLiteral("12345678Z"));
    QCOMPARE(b1["base"].toString(), QStringLiteral("400.00"));
    QCOMPARE(b1["vat"].toString(), QStringLiteral("84.00"));
    QCOMPARE(b1["total"].toString(), QStringLiteral("484.00"));
    QCOMPARE(b1["state"].toString(), QStringLiteral("emitida"));
    QCOMPARE(all[1].toObject()["seriesNumber"].toString(), QStringLiteral("77"));
    QCOMPARE(all[1].toObject()["series"].toString(), QString());
}

void tst_CliBook::show_data() {
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("says"); // lines of stdout, or the start of stderr
    QTest::newRow("as listed") << QStringList{"A-2"} << 0
                               << QStringList{"Factura A-2 (versión 1, firmada)",
                                              "Fecha de expedición: 03/02/2026",
                                              "Vencimiento: 05/03/2026",
                                              "Cliente: Ana López (A87654321)",
                                              "Base imponible: 1.234,50",
                                              "  al 21,00 %: base 1.000,00, cuota 210,00",
                                              "  al 10,00 %: base 200,00, cuota 20,00",
                                              "  al 0,00 %: base 34,50, cuota 0,00",
                                              "IVA: 230,00",
                                              "Retención: 185,18",
                                              "Total: 1.279,32",
                                              "Copia firmada: 32 bytes",
                                              "  2026-03-10T09:30:00+01:00 emitida",
                                              "  2026-03-10T09:30:00+01:00 firmada A-2.XSIG"};
    QTest::newRow("series and number apart")
        << QStringList{"A", "2"} << 0 << QStringList{"Factura A-2 (versión 1, firmada)"};
    QTest::newRow("number without series")
        << QStringList{"77"} << 0
        << QStringList{"Factura 77 (versión 1, emitida)", "Copia firmada: no"};
    QTest::newRow("empty series and number")
        << QStringList{"", "77"} << 0 << QStringList{"Factura 77 (versión 1, emitida)"};
    QTest::newRow("not in the book")
        << QStringList{"A-3"} << 1
        << QStringList{"La factura «A-3» no está en el libro de facturas"};
    QTest::newRow("number written otherwise")
        << QStringList{"a-2"} << 1 << QStringList{"La factura «a-2» no está"};
    QTest::newRow("no number") << QStringList{} << 2
                               << QStringList{"Falta el número de la factura"};
    QTest::newRow("three words") << QStringList{"A", "2", "3"} << 2 << QStringList{"Sobra: 3"};
}

void tst_CliBook::show() {
    QFETCH(QStringList, words);
    QFETCH(int, status);
    QFETCH(QStringList, says);
    QTemporaryDir home;
    makeSmallBook(home.path());
    const Run run = cli(QStringList{"book", "show", "--home", home.path()} + words);
    QCOMPARE(run.status, status);
    if (status == 0) {
        const QStringList lines = run.out.split(u'\n');
        for (const QString& line : says)
            QVERIFY2(lines.contains(line), qPrintable(line + u'\n' + run.out));
    } else {
        QVERIFY2(run.err.startsWith(says.first()), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }
}

void tst_CliBook::showWritesTheStoredBytes_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("document")
        << QStringList{"--xml"} << "A-1"
        << invoice("A", "1", QDate(2026, 1, 31), "Obras \"Norte\"; S.L.", 5000).document;
    QTest::newRow("signed copy") << QStringList{"--xsig"} << "A-2" << SignedA2;
}

// Byte for byte, on stdout and into a file.
void tst_CliBook::showWritesTheStoredBytes() {
    QFETCH(QStringList, options);
    QFETCH(QString, number);
    QFETCH(QByteArray, bytes);
    QTemporaryDir home;
    makeSmallBook(home.path());
    QCOMPARE(
        rawOut(QStringList{"book", "show", "--home", home.path()} + options + QStringList{number}),
        bytes);
    const QString target = home.filePath(QStringLiteral("salida.xml"));
    const Run run = cli(QStringList{"book", "show", "--home", home.path(), "-o", target} + options +
                        QStringList{number});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, target + u'\n');
    QCOMPARE(CliRunner::readAll(target), bytes);
}

void tst_CliBook::exportGivesTheRegister() {
    QTemporaryDir home;
    makeSmallBook(home.path());
    const QString target = home.filePath(QStringLiteral("registro.csv"));
    const Run run = cli({"book", "export", "--home", home.path(), "--csv", target});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, target + u'\n');
    QCOMPARE(CliRunner::readAll(target),
             QByteArray("\xEF\xBB\xBF"
                        "Fecha de expedición;Serie;Número;NIF del destinatario;"
                        "Nombre del destinatario;Base imponible;Tipo;Cuota;Retención;Total\r\n"
                        "31/01/2026;A;1;A87654321;\"Obras \"\"Norte\"\"; S.L.\";50,00;21,00;"
                        "10,50;0,00;60,50\r\n"
                        "03/02/2026;A;2;A87654321;Ana López;1.000,00;21,00;210,00;185,18;"
                        "1.279,32\r\n"
                        "03/02/2026;A;2;A87654321;Ana López;200,00;10,00;20,00;;\r\n"
                        "03/02/2026;A;2;A87654321;Ana López;34,50;0,00;0,00;;\r\n"
                        "20/02/2026;B;1;12345678Z;José Pérez;400,00;21,00;84,00;0,00;484,00\r\n"
                        "01/03/2026;;77;A87654321;Lugo Motor S.L.;50,00;21,00;10,50;0,00;"
                        "60,50\r\n"));

    // The same filters as the list.
    QVERIFY(
        cli({"book", "export", "--home", home.path(), "--series", "B", "--csv", target}).status ==
        0);
    QCOMPARE(CliRunner::readAll(target).split('\n').size(), 3);
}

void tst_CliBook::outputErrors_data() {
    QTest::addColumn<QStringList>("arguments"); // {HOME} and {BOOK} stand for the paths
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("export without --csv") << QStringList{"export"} << 2 << "Falta --csv";
    QTest::newRow("export, two files")
        << QStringList{"export", "--csv", "{HOME}/a.csv", "b.csv"} << 2 << "Sobra: b.csv";
    QTest::newRow("export over the book")
        << QStringList{"export", "--csv", "{BOOK}"} << 1 << "es el propio libro de facturas";
    QTest::newRow("export over Registro.Ini")
        << QStringList{"export", "--csv", "{HOME}/registro.ini"} << 1
        << "es Registro.Ini, la configuración del programa";
    QTest::newRow("export into a missing folder")
        << QStringList{"export", "--csv", "{HOME}/falta/r.csv"} << 1 << "No se puede crear";
    QTest::newRow("export, a date that does not exist")
        << QStringList{"export", "--from", "29/02/2026", "--csv", "{HOME}/r.csv"} << 2
        << "--from: la fecha «29/02/2026» no existe";
    QTest::newRow("export, dates the wrong way round")
        << QStringList{"export",     "--from", "2026-03-01",  "--to",
                       "2026-02-01", "--csv",  "{HOME}/r.csv"}
        << 2 << "La fecha de --from (01/03/2026) es posterior a la de --to (01/02/2026)";
    QTest::newRow("show -o the book")
        << QStringList{"show", "-o", "{BOOK}", "A-1"} << 1 << "es el propio libro de facturas";
    QTest::newRow("show -o Concellos.Ini")
        << QStringList{"show", "-o", "{HOME}/Concellos.Ini", "A-1"} << 1 << "es Concellos.Ini";
    QTest::newRow("backup without a file")
        << QStringList{"backup"} << 2 << "Falta el fichero de la copia";
    QTest::newRow("backup over the book")
        << QStringList{"backup", "{BOOK}"} << 1 << "es el propio libro de facturas";
    QTest::newRow("backup over its write-ahead log")
        << QStringList{"backup", "{BOOK}-wal"} << 1 << "es el propio libro de facturas";
    QTest::newRow("backup over Registro.Ini")
        << QStringList{"backup", "{HOME}/Registro.Ini"} << 1 << "es Registro.Ini";
    QTest::newRow("backup into a missing folder") << QStringList{"backup", "{HOME}/falta/copia.db"}
                                                  << 1 << "No se puede guardar la copia del libro";
}

// Nothing is written over the book or the settings; every refusal says why.
void tst_CliBook::outputErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    QTemporaryDir home;
    makeSmallBook(home.path());
    writeRegistro(home.path(), OwnTaxId);
    // An open book keeps its write-ahead log beside it.
    const auto held = BookDatabase::open(home.path());
    const QByteArray book = CliRunner::readAll(bookPath(home.path()));
    const QByteArray registro = CliRunner::readAll(home.filePath(QStringLiteral("Registro.Ini")));
    arguments.replaceInStrings(QStringLiteral("{BOOK}"), bookPath(home.path()));
    arguments.replaceInStrings(QStringLiteral("{HOME}"), home.path());
    const Run run = cli(QStringList{"book"} + arguments.mid(0, 1) +
                        QStringList{"--home", home.path()} + arguments.mid(1));
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(says), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QCOMPARE(CliRunner::readAll(bookPath(home.path())), book);
    QCOMPARE(CliRunner::readAll(home.filePath(QStringLiteral("Registro.Ini"))), registro);
}

// The copy is a whole book another program reads, while Orvane holds it.
void tst_CliBook::backupOpensInSqlite() {
    QTemporaryDir home;
    makeSmallBook(home.path());
    const auto held = BookDatabase::open(home.path());
    InvoiceBook(*held).issue(invoice("A", "3")); // still in the write-ahead log
    const QString target = home.filePath(QStringLiteral("copia de seguridad.db"));
    const Run run = cli({"book", "backup", "--home", home.path(), target});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, target + u'\n');
    const QByteArray numbers =
        sqliteProgram(target, QStringLiteral("SELECT series_number FROM invoices ORDER BY id; "
                                             "PRAGMA integrity_check;"));
    if (numbers.isNull())
        QSKIP("the sqlite3 program is not installed");
    QCOMPARE(numbers, QByteArray("A-2\nA-1\nB-1\n77\nA-3\nok\n"));
}

// Documents written before the book: the listed columns read from each, the
// same document again skipped with a word.
void tst_CliBook::importDocuments() {
    QTemporaryDir home;
    writeRegistro(home.path(), QStringLiteral("33.333.333-p"));
    Run run = cli({"book", "import", "--home", home.path(), m_ownDocument, m_secondOwn});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out,
             QStringLiteral("%1: P-2024-002\n%2: B-2024-002\n").arg(m_ownDocument, m_secondOwn));
    QCOMPARE(run.err, QString());

    {
        auto db = BookDatabase::open(home.path());
        InvoiceBook book(*db);
        const std::optional<BookEntry> p = book.find(OwnTaxId, QStringLiteral("P-2024-002"));
        QVERIFY(p);
        QCOMPARE(p->summary.issueDate, QDate(2024, 5, 2));
        QCOMPARE(p->summary.dueDate, QDate(2024, 6, 1));
        QCOMPARE(p->summary.customerTaxId, QStringLiteral("12345678Z"));
        QCOMPARE(p->summary.customerName, QStringLiteral("José Ángel Núñez Güell"));
        QCOMPARE(p->summary.baseCents, 44520);
        QCOMPARE(p->summary.vatCents, 9258);
        QCOMPARE(p->summary.withholdingCents, 0);
        QCOMPARE(p->summary.totalCents, 53778);
        QCOMPARE(p->state, QStringLiteral("importada"));
        QCOMPARE(book.vatGroups(p->id),
                 (QList<VatGroupRow>{{"21.00", 44085, 9258}, {"0.00", 435, 0}}));
        QCOMPARE(book.document(p->id), CliRunner::readAll(m_ownDocument));
        QVERIFY(!book.value(p->id)); // never offered as a new invoice
        QVERIFY(book.signedDocument(p->id).isEmpty());
    }

    run = cli({"book", "import", "--home", home.path(), m_ownDocument});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QStringLiteral("%1: la factura P-2024-002 ya está en el libro con este "
                                     "mismo documento; no se añade otra vez.\n")
                          .arg(m_ownDocument));
    QCOMPARE(count(*BookDatabase::open(home.path()), "SELECT count(*) FROM invoices"), 2);
}

void tst_CliBook::importRefusals_data() {
    QTest::addColumn<QString>("file");  // own, other, or the bytes to write
    QTest::addColumn<QString>("taxId"); // [MISDATOS] NIF
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("another seller")
        << "other" << OwnTaxId << 1
        << "el vendedor de esta factura tiene el NIF «B15123458», no el suyo (33333333P)";
    QTest::newRow("not Facturae") << "<Pedido><Numero>1</Numero></Pedido>" << OwnTaxId << 1
                                  << "«pedido.xml» no es una factura Facturae";
    QTest::newRow("not XML") << "Factura 1: 100 euros" << OwnTaxId << 1
                             << "«pedido.xml» no es una factura Facturae";
    QTest::newRow("the number taken by another document")
        << "changed" << OwnTaxId << 1
        << "el número P-2024-002 ya lo tiene otra factura del libro (del 02/05/2024, José Ángel "
           "Núñez Güell, total 537,78 €) con otro documento; esta no se añade";
    QTest::newRow("no tax id of your own") << "own"
                                           << "" << 1 << "Falta su NIF en Mis datos";
    QTest::newRow("a missing file") << "missing" << OwnTaxId << 1 << "falta.xml";
}

// A refused document adds nothing; the book keeps what it had.
void tst_CliBook::importRefusals() {
    QFETCH(QString, file);
    QFETCH(QString, taxId);
    QFETCH(int, status);
    QFETCH(QString, says);
    QTemporaryDir home;
    writeRegistro(home.path(), taxId);
    QString input = home.filePath(QStringLiteral("pedido.xml"));
    qint64 before = 0;
    if (file == u"own") {
        input = m_ownDocument;
    } else if (file == u"other") {
        input = m_otherSeller;
    } else if (file == u"missing") {
        input = home.filePath(QStringLiteral("falta.xml"));
    } else if (file == u"changed") {
        QCOMPARE(cli({"book", "import", "--home", home.path(), m_ownDocument}).status, 0);
        before = 1;
        QByteArray bytes = CliRunner::readAll(m_ownDocument);
        bytes.replace("<Name>José Ángel</Name>", "<Name>José Ángel </Name>");
        CliRunner::writeFile(home, QStringLiteral("pedido.xml"), bytes);
    } else {
        CliRunner::writeFile(home, QStringLiteral("pedido.xml"), file.toUtf8());
    }
    const Run run = cli({"book", "import", "--home", home.path(), input});
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(says), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    if (taxId.isEmpty()) {
        QVERIFY(!QFile::exists(bookPath(home.path())));
    } else {
        QCOMPARE(count(*BookDatabase::open(home.path()), "SELECT count(*) FROM invoices"), before);
    }
}

// The signed copy of an invoice kept unsigned becomes its signed copy; a
// signed document alone is kept as both.
void tst_CliBook::importSignedCopy() {
    QTemporaryDir home;
    writeRegistro(home.path(), OwnTaxId);
    QByteArray signedBytes = CliRunner::readAll(m_ownDocument);
    const qsizetype end = signedBytes.lastIndexOf("</");
    signedBytes.insert(end, "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">"
                            "<ds:SignatureValue>AA==</ds:SignatureValue></ds:Signature>");
    const QString signedPath =
        CliRunner::writeFile(home, QStringLiteral("F2024-002.XSIG"), signedBytes);
    Run run = cli({"book", "import", "--home", home.path(), m_ownDocument, signedPath});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("%1: P-2024-002\n%2: P-2024-002 (copia firmada)\n")
                          .arg(m_ownDocument, signedPath));
    QCOMPARE(rawOut({"book", "show", "--home", home.path(), "--xsig", "P-2024-002"}), signedBytes);
    QCOMPARE(rawOut({"book", "show", "--home", home.path(), "--xml", "P-2024-002"}),
             CliRunner::readAll(m_ownDocument));

    // Again: nothing new.
    run = cli({"book", "import", "--home", home.path(), signedPath});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(QStringLiteral("ya está en el libro")), qPrintable(run.err));

    // Signed alone: its bytes are the document and the signed copy.
    QTemporaryDir other;
    writeRegistro(other.path(), OwnTaxId);
    QCOMPARE(cli({"book", "import", "--home", other.path(), signedPath}).status, 0);
    QCOMPARE(rawOut({"book", "show", "--home", other.path(), "--xsig", "P-2024-002"}), signedBytes);
    QVERIFY(cli({"book", "show", "--home", other.path(), "P-2024-002"})
                .out.contains(QStringLiteral("(versión 1, firmada)")));
}

void tst_CliBook::checkAndGaps_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    const QStringList check{"check"}, gaps{"gaps"};
    QTest::newRow("check, sound book")
        << "" << check << 0
        << "{BOOK}: correcto (0 errores, 0 huecos en la numeración; 4 facturas, 5 documentos)\n";
    QTest::newRow("check, a gap is a warning")
        << "gap" << check << 0
        << "WARNING Faltan 2 números, del A-3 al A-4 (serie A).\n"
           "{BOOK}: correcto (0 errores, 1 hueco en la numeración; 5 facturas, 6 documentos)\n";
    QTest::newRow("check, a document changed")
        << "document" << check << 1
        << "ERROR El documento de B-1 (versión 1) no coincide con su huella SHA-256: ha cambiado "
           "desde que se guardó.\n"
           "{BOOK}: con errores (1 error, 0 huecos en la numeración; 4 facturas, 5 documentos)\n";
    QTest::newRow("gaps, none") << "" << gaps << 0
                                << "No falta ningún número en las series del libro.\n";
    QTest::newRow("gaps") << "gap" << gaps << 0 << "Faltan 2 números, del A-3 al A-4 (serie A).\n";
}

void tst_CliBook::checkAndGaps() {
    QFETCH(QString, fault);
    QFETCH(QStringList, command);
    QFETCH(int, status);
    QFETCH(QString, out);
    QTemporaryDir home;
    makeSmallBook(home.path());
    if (fault == u"gap")
        InvoiceBook(*openAt(home.path())).issue(invoice("A", "5"));
    else if (fault == u"document")
        patchFile(bookPath(home.path()), "<Numero>1</Numero><Total>48400",
                  "<Numero>1</Numero><Total>48500");
    const Run run = cli(QStringList{"book"} + command + QStringList{"--home", home.path()});
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, QString(out).replace(QStringLiteral("{BOOK}"), bookPath(home.path())));
    QCOMPARE(run.err, QString());
}

void tst_CliBook::noBook_data() {
    QTest::addColumn<QStringList>("command");
    for (const QStringList& command :
         {QStringList{"list"}, QStringList{"show", "A-1"}, QStringList{"export", "--csv", "r.csv"},
          QStringList{"backup", "copia.db"}, QStringList{"check"}, QStringList{"gaps"}})
        QTest::addRow("%s", qPrintable(command.first())) << command;
}

// Looking into a book that is not there says so and makes none.
void tst_CliBook::noBook() {
    QFETCH(QStringList, command);
    QTemporaryDir home;
    const Run run =
        cli(QStringList{"book", command.first(), "--home", home.path()} + command.mid(1));
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, QStringLiteral("No hay libro de facturas en «%1»: se crea al emitir la "
                                     "primera factura, y las emitidas antes se añaden con "
                                     "«orvane-cli book import».\n")
                          .arg(QDir::toNativeSeparators(bookPath(home.path()))));
    QVERIFY(QDir(home.path()).isEmpty());
}

void tst_CliBook::unusableBook_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("says");
    const QList<QStringList> commands = {
        {"list"},  {"show", "A-1"}, {"export", "--csv", "r.csv"}, {"backup", "copia.db"},
        {"check"}, {"gaps"},        {"import", "{DOC}"}};
    const struct {
        const char* damage;
        const char* says;
    } damages[] = {
        {"random", "está dañado (no es una base de datos SQLite) y no se ha tocado. Guarde una "
                   "copia de ese fichero y empiece un libro nuevo a su lado."},
        {"foreign", "no es un libro de facturas de Orvane (es la base de datos de otro programa) "
                    "y no se ha tocado. Muévalo a otra carpeta o empiece un libro nuevo a su "
                    "lado."},
        {"newer", "es de una versión más reciente de Orvane"},
    };
    for (const auto& d : damages) {
        for (const QStringList& command : commands)
            QTest::addRow("%s, %s", d.damage, qPrintable(command.first()))
                << d.damage << command << QString::fromUtf8(d.says);
    }
}

// A book that cannot be used is named, explained and never written, by
// every subcommand.
void tst_CliBook::unusableBook() {
    QFETCH(QString, damage);
    QFETCH(QStringList, command);
    QFETCH(QString, says);
    QTemporaryDir home;
    writeRegistro(home.path(), OwnTaxId);
    const QString path = bookPath(home.path());
    if (damage == u"random") {
        QByteArray noise(8192, '\0');
        QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        CliRunner::writeFile(home, QStringLiteral("Libro.db"), noise);
    } else {
        makeSmallBook(home.path());
        openAt(home.path())
            ->execute(damage == u"foreign" ? "PRAGMA application_id = 0"
                                           : "PRAGMA user_version = 999");
    }
    const QByteArray before = CliRunner::readAll(path);
    const QStringList entries = QDir(home.path()).entryList(QDir::Files);
    command.replaceInStrings(QStringLiteral("{DOC}"), m_ownDocument);
    const Run run =
        cli(QStringList{"book", command.first(), "--home", home.path()} + command.mid(1));
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QDir::toNativeSeparators(path)), qPrintable(run.err));
    QVERIFY2(run.err.contains(says), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QCOMPARE(CliRunner::readAll(path), before);
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), entries);
}

void tst_CliBook::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("book alone") << QStringList{"book"} << 2 << ""
                                << "Uso: orvane-cli book ORDEN";
    QTest::newRow("book --help") << QStringList{"book", "--help"} << 0
                                 << "Uso: orvane-cli book ORDEN"
                                 << "";
    QTest::newRow("unknown subcommand") << QStringList{"book", "borrar"} << 2 << ""
                                        << "Orden del libro desconocida: borrar";
    for (const char* sub : {"list", "show", "export", "import", "backup", "check", "gaps"})
        QTest::addRow("%s --help", sub)
            << QStringList{"book", sub, "--help"} << 0
            << QStringLiteral("Uso: orvane-cli book %1 ").arg(QLatin1String(sub)) << "";
    QTest::newRow("unknown option") << QStringList{"book", "list", "--todo"} << 2 << ""
                                    << "Opción desconocida: --todo";
    QTest::newRow("--json with --csv") << QStringList{"book", "list", "--json", "--csv"} << 2 << ""
                                       << "--json y --csv no van juntas";
    QTest::newRow("--home without a folder") << QStringList{"book", "check", "--home"} << 2 << ""
                                             << "Falta la carpeta tras --home";
    QTest::newRow("a date of another form")
        << QStringList{"book", "list", "--to", "2026.01.01"} << 2 << ""
        << "--to: la fecha «2026.01.01» no es una fecha";
    QTest::newRow("filters are the list's")
        << QStringList{"book", "check", "--series", "A"} << 2 << ""
        << "Opción desconocida: --series";
    QTest::newRow("--xml with --xsig")
        << QStringList{"book", "show", "--xml", "--xsig", "A-1"} << 2 << ""
        << "--xml y --xsig no van juntas";
    QTest::newRow("import without documents") << QStringList{"book", "import"} << 2 << ""
                                              << "Falta la factura que añadir";
}

void tst_CliBook::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run run = cli(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out), qPrintable(run.out));
    QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.startsWith(err), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(tst_CliBook)
#include "tst_CliBook.moc"
