#include "signing/AutoFirmaLaunch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The signed-file name, the parameter text, the argument list and the start
// of AutoFirma itself.
class tst_AutoFirmaLaunch : public QObject {
    Q_OBJECT
private slots:
    void signedFileName_data();
    void signedFileName();
    void arguments_data();
    void arguments();
    void runPassesEachArgumentWhole();
    void runWithMissingProgramReportsTheError();
};

void tst_AutoFirmaLaunch::signedFileName_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("xml") << "C:\\Facturas\\F001.xml"
                         << "C:\\Facturas\\F001.XSIG";
    QTest::newRow("XML") << "C:\\Facturas\\F001.XML"
                         << "C:\\Facturas\\F001.XSIG";
    QTest::newRow("bare name") << "F001.xml"
                               << "F001.XSIG";
    QTest::newRow("four-letter extension") << "C:\\F\\A.json"
                                           << "C:\\F\\A.XSIG";
    QTest::newRow("no extension") << "C:\\F\\AB"
                                  << "C:\\F\\AB.XSIG";
    QTest::newRow("point only in a folder") << "C:\\F.2024\\AB"
                                            << "C:\\F.2024\\AB.XSIG";
    QTest::newRow("point only in a folder, slashes") << "/srv/v1.2/factura"
                                                     << "/srv/v1.2/factura.XSIG";
    QTest::newRow("two points") << "/srv/a.b.xml"
                                << "/srv/a.b.XSIG";
    QTest::newRow("blanks in the path") << "/home/ana/Mis Facturas/F 1.xml"
                                        << "/home/ana/Mis Facturas/F 1.XSIG";
}

void tst_AutoFirmaLaunch::signedFileName() {
    QFETCH(QString, input);
    QTEST(AutoFirmaLaunch::signedFileName(input), "output");
}

void tst_AutoFirmaLaunch::arguments_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("certificate dialog")
        << "Sign -certgui"
        << "-format FACTURAE"
        << "C:\\Facturas\\F001.xml" << QStringList{"Sign",    "-certgui",
                                                   "-i",      "C:\\Facturas\\F001.xml",
                                                   "-o",      "C:\\Facturas\\F001.XSIG",
                                                   "-format", "FACTURAE"};
    QTest::newRow("path with blanks stays whole")
        << "Sign -gui"
        << "-format XADES"
        << "/home/ana/Mis Facturas/F 1.xml"
        << QStringList{"Sign",    "-gui",
                       "-i",      "/home/ana/Mis Facturas/F 1.xml",
                       "-o",      "/home/ana/Mis Facturas/F 1.XSIG",
                       "-format", "XADES"};
    QTest::newRow("settings never saved")
        << ""
        << ""
        << "C:\\F\\A.xml" << QStringList{"-i", "C:\\F\\A.xml", "-o", "C:\\F\\A.XSIG"};
}

void tst_AutoFirmaLaunch::arguments() {
    QFETCH(QString, command);
    QFETCH(QString, format);
    QFETCH(QString, input);
    const QString output = AutoFirmaLaunch::signedFileName(input);
    QTEST(AutoFirmaLaunch::arguments(command, input, output, format), "arguments");
}

void tst_AutoFirmaLaunch::runPassesEachArgumentWhole() {
#ifdef Q_OS_WIN
    QSKIP("the fake AutoFirma is a shell script");
#else
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/Auto Firma XXXXXX"));
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("autofirma.sh"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Records its working folder and arguments one per line, then writes the
    // output file as AutoFirma would.
    file.write("#!/bin/sh\npwd > args.txt\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> args.txt; "
               "done\nprev=\nfor a in \"$@\"; do [ \"$prev\" = -o ] && echo signed > \"$a\"; "
               "prev=$a; done\nexit 3\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const QString input = dir.filePath(QStringLiteral("Mis Facturas F 1.xml"));
    const QString output = AutoFirmaLaunch::signedFileName(input);
    const QStringList args = AutoFirmaLaunch::arguments(QStringLiteral("Sign -certgui"), input,
                                                        output, QStringLiteral("-format FACTURAE"));
    QCOMPARE(AutoFirmaLaunch::run(dir.path(), QStringLiteral("autofirma.sh"), args), QString());

    QFile recorded(dir.filePath(QStringLiteral("args.txt")));
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(recorded.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QDir(dir.path()).canonicalPath());
    QCOMPARE(lines.mid(1), args);
    QVERIFY(QFile::exists(output)); // it ran to its end before run() returned
#endif
}

void tst_AutoFirmaLaunch::runWithMissingProgramReportsTheError() {
    QTemporaryDir dir;
    const QString error = AutoFirmaLaunch::run(dir.path(), QStringLiteral("AutoFirma.exe"),
                                               {QStringLiteral("-i"), QStringLiteral("x")});
    // In Spanish, the system's own words only if they are not known.
    QVERIFY2(error.startsWith(QStringLiteral("No se puede iniciar AutoFirma (")) &&
                 error.endsWith(QStringLiteral("): no existe el fichero o la carpeta")),
             qPrintable(error));
    // A folder of blanks is tried all the same and fails the same way.
    QVERIFY(!AutoFirmaLaunch::run(QStringLiteral("   "), QStringLiteral("AutoFirma.exe"), {})
                 .isEmpty());
}

QTEST_GUILESS_MAIN(tst_AutoFirmaLaunch)
#include "tst_AutoFirmaLaunch.moc"
