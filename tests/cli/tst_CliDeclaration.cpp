#include "../pdf/PdfPages.h"
#include "CliRunner.h"

#include "Version.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// orvane-cli declaration as a person runs it: the PDF's path on stdout, its
// text the declaration's, errors in Spanish on stderr and the usual exit
// statuses.
class tst_CliDeclaration : public QObject {
    Q_OBJECT
private slots:
    void writesTheDeclaration_data();
    void writesTheDeclaration();
    void refused_data();
    void refused();
    void listedInTheToolsHelp();
};

namespace {

using CliRunner::Run;

// The tool run in folder, as from a terminal open there.
Run runIn(const QString& folder, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ORVANE_CLI_PATH), arguments);
    Run result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace

void tst_CliDeclaration::writesTheDeclaration_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("written"); // relative to the folder it runs in
    QTest::newRow("default name") << QStringList{"declaration"} << "declaracion-responsable.pdf";
    QTest::newRow("-o") << QStringList{"declaration", "-o", "Declaración Orvane.pdf"}
                        << "Declaración Orvane.pdf";
    QTest::newRow("-o a file named like an option")
        << QStringList{"declaration", "-o", "-d.pdf"} << "-d.pdf";
}

void tst_CliDeclaration::writesTheDeclaration() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, written);
    QTemporaryDir dir;
    const Run run = runIn(dir.path(), arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, written + u'\n');
    // The title takes two lines.
    const QString text = PdfPages::squeezedText(dir.filePath(written));
    QVERIFY2(
        text.startsWith(QStringLiteral("DECLARACIÓNRESPONSABLEDELSISTEMAINFORMÁTICODEFACTURACIÓN"
                                       "NombredelsistemainformáticoOrvane")),
        qPrintable(text));
    QVERIFY2(
        text.contains(QStringLiteral("Identificadorcompletodelaversión" ORVANE_VERSION_STRING)),
        qPrintable(text));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written});
}

void tst_CliDeclaration::refused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errContains");
    QTest::newRow("a file to read") << QStringList{"declaration", "factura.xml"} << 2
                                    << "La orden no lee ficheros: sobra «factura.xml»";
    QTest::newRow("-o without its file")
        << QStringList{"declaration", "-o"} << 2 << "Falta el fichero tras -o";
    QTest::newRow("unknown option")
        << QStringList{"declaration", "--html"} << 2 << "Opción desconocida: --html";
    QTest::newRow("missing folder") << QStringList{"declaration", "-o", "falta/d.pdf"} << 1
                                    << "falta/d.pdf: No se puede guardar «falta/d.pdf»: ";
    QTest::newRow("a folder") << QStringList{"declaration", "-o", "."} << 1
                              << "No se puede guardar «.»: es una carpeta.";
}

void tst_CliDeclaration::refused() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, errContains);
    QTemporaryDir dir;
    const Run run = runIn(dir.path(), arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QVERIFY(QDir(dir.path()).isEmpty());
}

void tst_CliDeclaration::listedInTheToolsHelp() {
    const Run help = CliRunner::cli({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY2(help.out.contains(u"  declaration escribe en PDF la declaración responsable"),
             qPrintable(help.out));
    const Run own = CliRunner::cli({"declaration", "--help"});
    QCOMPARE(own.status, 0);
    QVERIFY2(own.out.startsWith(u"Uso: orvane-cli declaration [-o SALIDA.pdf]\n"),
             qPrintable(own.out));
    QCOMPARE(own.err, QString());
}

QTEST_GUILESS_MAIN(tst_CliDeclaration)
#include "tst_CliDeclaration.moc"
