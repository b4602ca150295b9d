// Files no one should feed the program: each ends with a clear message or the
// usual default, in bounded time, and the record stays usable.

#include "HostileFiles.h"

#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "storage/IniFile.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using HostileFiles::Kind;

class tst_HostileInput : public QObject {
    Q_OBJECT

private slots:
    void import_data();
    void import();
    void lenientReadOfUnusableFiles_data();
    void lenientReadOfUnusableFiles();
    void valueCutKeepsWholeCharacters();
};

void tst_HostileInput::import_data() {
    QTest::addColumn<Kind>("kind");
    // Part of the message, or empty when the file is accepted.
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("description");

    const QString noDate = QStringLiteral(
        "FECHA: falta la fecha de la factura; escriba una fecha válida como dd/mm/aaaa");
    const QString tooBig = QStringLiteral("es demasiado grande (el máximo es de 16 MB)");
    QTest::newRow("empty file") << Kind::Empty << noDate << 0 << QString();
    QTest::newRow("binary garbage") << Kind::Garbage << noDate << 0 << QString();
    QTest::newRow("200 MB") << Kind::Huge200MB << tooBig << 0 << QString();
    QTest::newRow("10 MB line") << Kind::Line10MB << QString() << 1 << QString(150, u'x');
    QTest::newRow("LINEAS=1000000")
        << Kind::Lineas1Million
        << QStringLiteral("indica 1000000 líneas; el máximo que admite una factura es 100000") << 0
        << QString();
    QTest::newRow("1,000,000 text lines in LINEAS")
        << Kind::Million1TextLines << QString() << 3 << QString();
    QTest::newRow("LINEAS=2^31 reads as missing")
        << Kind::Lineas2Pow31 << QString() << 1 << QStringLiteral("uno");
    QTest::newRow("1 MB description")
        << Kind::Description1MB << QString() << 1 << QString(150, u'd');
    QTest::newRow("invalid UTF-8 read as Windows-1252")
        << Kind::InvalidUtf8 << QString() << 1 << QStringLiteral("Café España Ã( fin");
    QTest::newRow("UTF-16LE without BOM")
        << Kind::Utf16LeNoBom << QString() << 1 << QStringLiteral("Camión de Núñez");
    QTest::newRow("UTF-16BE without BOM")
        << Kind::Utf16BeNoBom << QString() << 1 << QStringLiteral("Camión de Núñez");
    QTest::newRow("NUL bytes") << Kind::NulBytes << QString() << 1 << QString::fromUtf8("a\0b", 3);
    QTest::newRow("folder") << Kind::Folder << QStringLiteral("es una carpeta, no un fichero") << 0
                            << QString();
    QTest::newRow("no read permission")
        << Kind::NoReadPermission << QStringLiteral("No se puede leer el fichero") << 0
        << QString();
    QTest::newRow("named pipe") << Kind::Pipe << QStringLiteral("no es un fichero normal") << 0
                                << QString();
    QTest::newRow("blanks, quotes, accents in the path")
        << Kind::OddPath << QString() << 1 << QStringLiteral("Peñón");
    QTest::newRow("missing file") << Kind::Missing << QStringLiteral("No existe el fichero") << 0
                                  << QString();
}

void tst_HostileInput::import() {
    QFETCH(Kind, kind);
    QFETCH(QString, message);
    QFETCH(int, lines);
    QFETCH(QString, description);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString cannot;
    const QString path = HostileFiles::make(kind, QDir(dir.path()), cannot);
    if (path.isEmpty())
        QSKIP(qPrintable(cannot));

    InvoiceRecord record;
    record.lines().open();
    QString error;
    QElapsedTimer clock;
    clock.start();
    try {
        InvoiceImport::importFile(record, path, true);
    } catch (const AppError& e) {
        error = e.message();
    }
    // Generous for sanitizer builds; a plain build takes well under a second.
    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));

    if (message.isEmpty())
        QCOMPARE(error, QString());
    else
        QVERIFY2(error.contains(message), qPrintable(error));
    if (message.contains(u"fichero"))
        QVERIFY2(error.contains(path), qPrintable(error)); // says which file

    // Whatever happened, the table is open and consistent and a document
    // can be written from what was read.
    QVERIFY(record.lines().isOpen());
    QVERIFY(!record.importando());
    QCOMPARE(record.lines().count(), lines);
    if (lines > 0)
        QCOMPARE(record.lines().lines().first().description, description);
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    FacturaeWriter::write(record, buffer);
    QXmlStreamReader xml(buffer.data());
    while (!xml.atEnd())
        xml.readNext();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
}

// Registro.Ini and Concellos.Ini are read leniently: an unusable file reads
// as an empty one, quickly, and is left untouched.
void tst_HostileInput::lenientReadOfUnusableFiles_data() {
    QTest::addColumn<Kind>("kind");
    QTest::newRow("200 MB") << Kind::Huge200MB;
    QTest::newRow("folder") << Kind::Folder;
    QTest::newRow("no read permission") << Kind::NoReadPermission;
    QTest::newRow("named pipe") << Kind::Pipe;
    QTest::newRow("binary garbage") << Kind::Garbage;
}

void tst_HostileInput::lenientReadOfUnusableFiles() {
    QFETCH(Kind, kind);
    QTemporaryDir dir;
    QString cannot;
    const QString path = HostileFiles::make(kind, QDir(dir.path()), cannot);
    if (path.isEmpty())
        QSKIP(qPrintable(cannot));
    QElapsedTimer clock;
    clock.start();
    const IniFile ini(path);
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY(ini.existed());
    QCOMPARE(ini.readString(QStringLiteral("DATOS_GENERALES"), QStringLiteral("FECHA")), QString());
    QCOMPARE(ini.readInteger(QStringLiteral("DATOS_GENERALES"), QStringLiteral("LINEAS"), 9), 9);
}

// A value cut at 2047 characters never ends in half of a character, which
// could not be written to the document or back to a file.
void tst_HostileInput::valueCutKeepsWholeCharacters() {
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // outside the 16-bit range
    IniFile ini(QString{});
    ini.setText(QStringLiteral("[S]\nK=") + QString(2046, u'a') + clef + clef +
                QStringLiteral("\n"));
    const QString value = ini.readString(QStringLiteral("S"), QStringLiteral("K"));
    QCOMPARE(value, QString(2046, u'a'));
    ini.setText(QStringLiteral("[S]\nK=") + QString(2045, u'a') + clef + clef);
    QCOMPARE(ini.readString(QStringLiteral("S"), QStringLiteral("K")), QString(2045, u'a') + clef);
}

QTEST_GUILESS_MAIN(tst_HostileInput)
#include "tst_HostileInput.moc"
