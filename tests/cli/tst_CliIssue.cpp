#include "../book/BookFixture.h"
#include "../book/ReadOnlyFolder.h"
#include "../book/SmallDisk.h"
#include "CliRunner.h"

#include "book/BookCheck.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

// orvane-cli generate into the invoice book as a user runs it: the book is
// written before the document, whatever kills the tool, however many run at
// once, when the disk fills up or the book cannot be written.
class tst_CliIssue : public QObject {
    Q_OBJECT
private slots:
    void heldNumberIsReplacedOnlyWithReplace();
    void killedAtAnyMomentEveryDocumentIsInTheBook();
    void twoToolsWithBlankNumbersNeverTakeOneNumber();
    void bookHeldTooLongIsAMessage();
    void fullDisk_data();
    void fullDisk();
    void readOnlyBookWarnsOnceAndWrites();
};

namespace {

using CliRunner::cli;
using CliRunner::Run;

const QString Issuer = QStringLiteral("B15123458");

// The sample invoice numbered number (blank: the book's next), its first
// line lines times over.
QByteArray importText(const QString& number, int lines = 1) {
    QByteArray text = CliRunner::readAll(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    text.replace("FACTURA=2024-001", "FACTURA=" + number.toUtf8());
    if (lines > 1) {
        text.replace("LINEAS=4", "LINEAS=" + QByteArray::number(lines));
        text = text.left(text.indexOf("[LINEAS]"));
        text += "[LINEAS]\n";
        for (int i = 1; i <= lines; ++i)
            text += QStringLiteral("NOMBRE%1=Pieza de recambio número %1 del vehículo municipal\n"
                                   "PRECIO%1=12,5\nCANTIDAD%1=1\nIVA%1=21\n")
                        .arg(i)
                        .toUtf8();
    }
    return text;
}

void writeHome(const QString& home) {
    QFile ini(QDir(home).filePath(QStringLiteral("Registro.Ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[MISDATOS]\nNIF=" + Issuer.toUtf8() + "\n");
}

// No fault book check knows (gaps, left by killed calls, are none), and the
// tool's own word.
void verifyWholeBook(const QString& home) {
    const BookCheckReport report = BookCheck::run(*BookDatabase::openExisting(home));
    QStringList findings;
    for (const BookFinding& f : report.findings)
        if (f.kind != BookFinding::Kind::Gap)
            findings << f.text;
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join(u'\n')));
    const Run check = cli({"book", "check", "--home", home});
    QVERIFY2(check.status == 0, qPrintable(check.out + check.err));
}

// The current numbers of series A and how many versions the book holds.
QStringList numbersInBook(const QString& home) {
    const auto db = BookDatabase::openExisting(home);
    SqlStatement select(*db, "SELECT number FROM invoices WHERE is_current = 1 ORDER BY id");
    QStringList numbers;
    while (select.next())
        numbers << select.text(0);
    return numbers;
}

} // namespace

void tst_CliIssue::heldNumberIsReplacedOnlyWithReplace() {
    QTemporaryDir dir;
    writeHome(dir.path());
    const QString import = CliRunner::writeFile(dir, "f.ini", importText("15"));
    QCOMPARE(cli({"generate", "--home", dir.path(), import}).status, 0);
    const QString document = dir.filePath("f.XML");
    const QByteArray first = CliRunner::readAll(document);
    // Ctrl+G twice: no question, no new version.
    QCOMPARE(cli({"generate", "--home", dir.path(), import}).status, 0);

    QByteArray changed = importText("15");
    changed.replace("PRECIO1=185,50", "PRECIO1=200");
    CliRunner::writeFile(dir, "f.ini", changed);
    const Run refused = cli({"generate", "--home", dir.path(), import});
    QCOMPARE(refused.status, 1);
    QCOMPARE(refused.out, QString());
    QCOMPARE(refused.err,
             import + QStringLiteral(": La factura A-15 ya está en el libro (emitida "
                                     "el 15/03/2024, 671,01 €). No se ha escrito "
                                     "nada: para sustituirla, repita la orden con "
                                     "--replace (la anterior queda en el historial)\n"));
    QCOMPARE(CliRunner::readAll(document), first);

    const Run replaced = cli({"generate", "--replace", "--home", dir.path(), import});
    QVERIFY2(replaced.status == 0, qPrintable(replaced.err));
    const auto db = BookDatabase::openExisting(dir.path());
    const QList<BookEntry> versions = InvoiceBook(*db).versions(Issuer, "A-15");
    QCOMPARE(versions.size(), 2);
    QCOMPARE(versions[0].state, HistoryKind::Replaced);
    QCOMPARE(InvoiceBook(*db).document(versions[1].id), CliRunner::readAll(document));
}

// Each call issues one invoice of its own number and may be killed at any
// moment; the book is never behind the files on disk.
void tst_CliIssue::killedAtAnyMomentEveryDocumentIsInTheBook() {
    constexpr int Calls = 200;
    QTemporaryDir dir;
    writeHome(dir.path());
    // How long a whole call takes here sets the range of the kills.
    const QString firstImport = CliRunner::writeFile(dir, "f0.ini", importText("0"));
    const Run whole = cli({"generate", "--home", dir.path(), firstImport});
    QCOMPARE(whole.status, 0);
    const int span = int(qMax<qint64>(20, whole.ms * 5 / 4));
    QRandomGenerator random(20261211);
    int killed = 0;
    for (int i = 1; i < Calls; ++i) {
        const QString number = QString::number(i);
        const QString import = CliRunner::writeFile(dir, "f" + number + ".ini", importText(number));
        QProcess tool;
        tool.start(QStringLiteral(ORVANE_CLI_PATH), {"generate", "--home", dir.path(), import});
        QVERIFY(tool.waitForStarted(10000));
        if (!tool.waitForFinished(random.bounded(span))) {
            tool.kill();
            ++killed;
            QVERIFY(tool.waitForFinished(60000));
        }
    }
    qInfo("%d of %d calls killed", killed, Calls);

    verifyWholeBook(dir.path());
    const QStringList numbers = numbersInBook(dir.path());
    QStringList distinct = numbers;
    distinct.removeDuplicates();
    QCOMPARE(distinct.size(), numbers.size());
    // Every document on disk is in the book, byte for byte.
    const auto db = BookDatabase::openExisting(dir.path());
    const InvoiceBook book(*db);
    const QStringList documents = QDir(dir.path()).entryList({"*.XML"}, QDir::Files);
    QVERIFY(!documents.isEmpty());
    for (const QString& name : documents) {
        const QString number = name.mid(1, name.size() - 5);
        const std::optional<BookEntry> entry = book.find(Issuer, "A-" + number);
        QVERIFY2(entry, qPrintable(name));
        QCOMPARE(book.document(entry->id), CliRunner::readAll(dir.filePath(name)));
    }
}

void tst_CliIssue::twoToolsWithBlankNumbersNeverTakeOneNumber() {
    QTemporaryDir dir;
    writeHome(dir.path());
    QStringList inputs[2];
    for (int tool = 0; tool < 2; ++tool) {
        const QString folder = dir.filePath(QString::number(tool));
        QDir().mkpath(folder);
        for (int i = 0; i < 100; ++i)
            inputs[tool] << CliRunner::writeFile(dir, QStringLiteral("%1/f%2.ini").arg(tool).arg(i),
                                                 importText(QString()));
    }
    QProcess tools[2];
    for (int tool = 0; tool < 2; ++tool)
        tools[tool].start(QStringLiteral(ORVANE_CLI_PATH),
                          QStringList{"generate", "--home", dir.path()} + inputs[tool]);
    for (QProcess& tool : tools) {
        QVERIFY(tool.waitForFinished(300000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    }
    const QStringList numbers = numbersInBook(dir.path());
    QCOMPARE(numbers.size(), 200);
    QStringList expected;
    for (int i = 1; i <= 200; ++i)
        expected << QString::number(i);
    QStringList sorted = numbers;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    QCOMPARE(sorted, expected);
    // Each document carries the number the book gave it.
    const auto db = BookDatabase::openExisting(dir.path());
    const InvoiceBook book(*db);
    for (const QStringList& list : inputs) {
        for (const QString& input : list) {
            const QByteArray document = CliRunner::readAll(input.chopped(4) + ".XML");
            const QRegularExpressionMatch m =
                QRegularExpression("<InvoiceNumber>([0-9]+)<").match(QString::fromUtf8(document));
            QVERIFY2(m.hasMatch(), qPrintable(input));
            QCOMPARE(book.document(book.find(Issuer, "A-" + m.captured(1))->id), document);
        }
    }
    verifyWholeBook(dir.path());
}

void tst_CliIssue::bookHeldTooLongIsAMessage() {
    QTemporaryDir dir;
    writeHome(dir.path());
    BookDatabase::open(dir.path());
    QProcess holder;
    holder.start(QStringLiteral(ORVANE_BOOK_ISSUER),
                 {"--book", dir.path(), "--series", "A", "--hold-ms", "30000"});
    QVERIFY(holder.waitForReadyRead(30000));
    QCOMPARE(holder.readAllStandardOutput(), QByteArray("held\n"));

    const QString import = CliRunner::writeFile(dir, "f.ini", importText("15"));
    const Run run = cli({"generate", "--home", dir.path(), import});
    holder.kill();
    holder.waitForFinished();
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("Otro Orvane está usando el libro de facturas")),
             qPrintable(run.err));
    QVERIFY(run.ms < 25000);
    QCOMPARE(run.out, QString());
    QVERIFY(!QFile::exists(dir.filePath("f.XML")));
    QVERIFY(numbersInBook(dir.path()).isEmpty());
}

void tst_CliIssue::fullDisk_data() {
    QTest::addColumn<bool>("bookOnTheFullDisk");
    QTest::newRow("the book") << true;
    QTest::newRow("the document") << false;
}

// The book commits first: a full disk under it stops everything; under the
// document alone, the invoice is issued and the message says so.
void tst_CliIssue::fullDisk() {
    QFETCH(bool, bookOnTheFullDisk);
    if (geteuid() != 0)
        QSKIP("a small disk is mounted only when the tests run as root");
    QTemporaryDir dir;
    const SmallDisk small(dir.filePath("disco"));
    const QString disk = small.path();
    if (disk.isEmpty())
        QSKIP("no small disk could be mounted here");
    const QString home = bookOnTheFullDisk ? disk : dir.filePath("home");
    QDir().mkpath(home);
    writeHome(home);
    const QString first = CliRunner::writeFile(dir, "small.ini", importText("1"));
    QCOMPARE(cli({"generate", "--home", home, first}).status, 0);
    const QStringList before = numbersInBook(home);

    // Everything left on the disk taken by another file.
    QFile filler(QDir(disk).filePath("relleno"));
    QVERIFY(SmallDisk::fill(filler));
    filler.close();

    const QString big = CliRunner::writeFile(dir, "big.ini", importText("2", 2000));
    const QString output = QDir(disk).filePath("big.XML");
    const Run run = cli({"generate", "--home", home, "-o", output, big});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QString()); // no document reported saved
    QVERIFY(!QFile::exists(output));
    // Room again, to look into the book.
    QVERIFY(filler.remove());
    if (bookOnTheFullDisk) {
        QVERIFY2(run.err.contains(QStringLiteral("No queda espacio en el disco para el libro")),
                 qPrintable(run.err));
        QCOMPARE(numbersInBook(home), before);
    } else {
        QVERIFY2(run.err.contains(QStringLiteral("La factura A-2 está emitida y guardada en el "
                                                 "libro de facturas")),
                 qPrintable(run.err));
        QCOMPARE(numbersInBook(home), before + QStringList{"2"});
    }
    verifyWholeBook(home);
}

void tst_CliIssue::readOnlyBookWarnsOnceAndWrites() {
    QTemporaryDir dir;
    const QString home = dir.filePath("home");
    QDir().mkpath(home);
    writeHome(home);
    QTemporaryDir work;
    const QString a = CliRunner::writeFile(work, "a.ini", importText("1"));
    const QString b = CliRunner::writeFile(work, "b.ini", importText("2"));
    const ReadOnlyFolder readOnly(home);
    if (readOnly.path().isEmpty())
        QSKIP("no read-only folder could be made here");
    const Run run = cli({"generate", "--home", readOnly.path(), a, b});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(run.out, work.filePath("a.XML") + "\n" + work.filePath("b.XML") + "\n");
    QVERIFY(QFile::exists(work.filePath("a.XML")));
    QVERIFY(QFile::exists(work.filePath("b.XML")));
    QCOMPARE(run.err.count(QStringLiteral("las facturas no se guardarán en el libro")), 1);
    QVERIFY(!QFile::exists(QDir(home).filePath("Libro.db")));
}

QTEST_GUILESS_MAIN(tst_CliIssue)
#include "tst_CliIssue.moc"
