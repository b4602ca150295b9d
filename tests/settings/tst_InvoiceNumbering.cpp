#include "settings/AppFiles.h"
#include "settings/InvoiceNumbering.h"
#include "settings/RememberedFolders.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What Registro.Ini keeps besides the issuer and AutoFirma: the last number of
// each series and the folder of each kind of file.
class tst_InvoiceNumbering : public QObject {
    Q_OBJECT
private slots:
    void next_data();
    void next();
    void proposalFollowsTheSeries();
    void rememberNeverGoesBack_data();
    void rememberNeverGoesBack();
    void seriesOfAnyText_data();
    void seriesOfAnyText();
    void foldersPerKind();
    void unwritableSettingsAreSilent();
};

void tst_InvoiceNumbering::next_data() {
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("next");
    QTest::newRow("plain") << "7"
                           << "8";
    QTest::newRow("leading zeros kept") << "007"
                                        << "008";
    QTest::newRow("carry") << "0099"
                           << "0100";
    QTest::newRow("grows") << "999"
                           << "1000";
    QTest::newRow("prefix") << "F-99"
                            << "F-100";
    QTest::newRow("digits in the middle") << "2024/15"
                                          << "2024/16";
    QTest::newRow("longer than any integer") << "99999999999999999999999"
                                             << "100000000000000000000000";
    QTest::newRow("no digit at the end") << "A"
                                         << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_InvoiceNumbering::next() {
    QFETCH(QString, last);
    QFETCH(QString, next);
    QCOMPARE(InvoiceNumbering::next(last), next);
}

void tst_InvoiceNumbering::proposalFollowsTheSeries() {
    QTemporaryDir dir;
    // Nothing stored: the number on screen plus one, or 1.
    QCOMPARE(InvoiceNumbering::proposal(dir.path(), QStringLiteral("A"), QStringLiteral("12")),
             QStringLiteral("13"));
    QCOMPARE(InvoiceNumbering::proposal(dir.path(), QStringLiteral("A"), QString()),
             QStringLiteral("1"));
    InvoiceNumbering::remember(dir.path(), QStringLiteral("A"), QStringLiteral("0041"));
    InvoiceNumbering::remember(dir.path(), QStringLiteral("B"), QStringLiteral("7"));
    QCOMPARE(InvoiceNumbering::proposal(dir.path(), QStringLiteral("A"), QStringLiteral("3")),
             QStringLiteral("0042"));
    QCOMPARE(InvoiceNumbering::proposal(dir.path(), QStringLiteral("B"), QString()),
             QStringLiteral("8"));
    // The issuer's data in the same file stays.
    const IniFile ini(AppFiles::registroIni(dir.path()));
    QCOMPARE(ini.readString(QStringLiteral("NUMERACION"), QStringLiteral("A")),
             QStringLiteral("0041"));
}

void tst_InvoiceNumbering::rememberNeverGoesBack_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("used");
    QTest::addColumn<QString>("kept");
    QTest::newRow("a later number replaces") << "41"
                                             << "42"
                                             << "42";
    QTest::newRow("an old invoice written again") << "41"
                                                  << "7"
                                                  << "41";
    QTest::newRow("leading zeros compare by value") << "0041"
                                                    << "7"
                                                    << "0041";
    QTest::newRow("more digits, later") << "0099"
                                        << "100"
                                        << "100";
    QTest::newRow("same value, new form") << "0041"
                                          << "41"
                                          << "41";
    QTest::newRow("same prefix, earlier") << "F-2024-0010"
                                          << "F-2024-0009"
                                          << "F-2024-0010";
    QTest::newRow("another prefix replaces") << "F-2024-0010"
                                             << "F-2025-0001"
                                             << "F-2025-0001";
    QTest::newRow("beyond any integer") << "100000000000000000000"
                                        << "99999999999999999999"
                                        << "100000000000000000000";
    QTest::newRow("stored ends in no digit") << "15B"
                                             << "3"
                                             << "3";
    QTest::newRow("used ends in no digit") << "15"
                                           << "3B"
                                           << "3B";
}

// The stored number is what the next new invoice follows: it never moves
// back to a number already used.
void tst_InvoiceNumbering::rememberNeverGoesBack() {
    QFETCH(QString, stored);
    QFETCH(QString, used);
    QTemporaryDir dir;
    InvoiceNumbering::remember(dir.path(), QStringLiteral("A"), stored);
    InvoiceNumbering::remember(dir.path(), QStringLiteral("A"), used);
    QTEST(InvoiceNumbering::last(dir.path(), QStringLiteral("A")), "kept");
}

void tst_InvoiceNumbering::seriesOfAnyText_data() {
    QTest::addColumn<QString>("series");
    QTest::newRow("empty") << "";
    QTest::newRow("equals sign") << "A=B";
    QTest::newRow("brackets") << "[MISDATOS]";
    QTest::newRow("blanks and accents") << " Serie Ñ ";
    QTest::newRow("percent") << "%";
}

// A series is part of a key: whatever it holds, it neither breaks the file
// nor mixes with another series.
void tst_InvoiceNumbering::seriesOfAnyText() {
    QFETCH(QString, series);
    QTemporaryDir dir;
    QFile file(AppFiles::registroIni(dir.path()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[MISDATOS]\nNOMBRE=Ana\n");
    file.close();
    InvoiceNumbering::remember(dir.path(), series, QStringLiteral("5"));
    InvoiceNumbering::remember(dir.path(), QStringLiteral("Otra"), QStringLiteral("90"));
    QCOMPARE(InvoiceNumbering::last(dir.path(), series), QStringLiteral("5"));
    QCOMPARE(InvoiceNumbering::last(dir.path(), QStringLiteral("Otra")), QStringLiteral("90"));
    const IniFile ini(AppFiles::registroIni(dir.path()));
    QCOMPARE(ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("NOMBRE")),
             QStringLiteral("Ana"));
}

void tst_InvoiceNumbering::foldersPerKind() {
    QTemporaryDir dir;
    using RememberedFolders::Kind;
    QCOMPARE(RememberedFolders::folder(dir.path(), Kind::Import), QString());
    QDir(dir.path()).mkpath(QStringLiteral("entrada con blancos"));
    QDir(dir.path()).mkpath(QStringLiteral("salida"));
    const QString in = dir.filePath(QStringLiteral("entrada con blancos"));
    RememberedFolders::remember(dir.path(), Kind::Import, in + QStringLiteral("/f.ini"));
    RememberedFolders::remember(dir.path(), Kind::Save,
                                dir.filePath(QStringLiteral("salida/f.xml")));
    QCOMPARE(RememberedFolders::folder(dir.path(), Kind::Import), QDir::toNativeSeparators(in));
    QCOMPARE(RememberedFolders::folder(dir.path(), Kind::Save),
             QDir::toNativeSeparators(dir.filePath(QStringLiteral("salida"))));
    QCOMPARE(RememberedFolders::folder(dir.path(), Kind::Sign), QString());
    const IniFile ini(AppFiles::registroIni(dir.path()));
    QVERIFY(!ini.readString(QStringLiteral("CARPETAS"), QStringLiteral("IMPORTAR")).isEmpty());
    QVERIFY(!ini.readString(QStringLiteral("CARPETAS"), QStringLiteral("GUARDAR")).isEmpty());
    // A folder that has gone is not offered.
    QVERIFY(QDir(in).removeRecursively());
    QCOMPARE(RememberedFolders::folder(dir.path(), Kind::Import), QString());
}

void tst_InvoiceNumbering::unwritableSettingsAreSilent() {
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("no existe"));
    RememberedFolders::remember(home, RememberedFolders::Kind::Sign,
                                dir.filePath(QStringLiteral("x.xml")));
    InvoiceNumbering::remember(home, QStringLiteral("A"), QStringLiteral("1"));
    QVERIFY(!QFile::exists(home));
}

QTEST_GUILESS_MAIN(tst_InvoiceNumbering)
#include "tst_InvoiceNumbering.moc"
