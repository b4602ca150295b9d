#include "common/AppError.h"
#include "settings/ConcellosCatalogue.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Concellos.Ini: listing, loading and saving administrations.
class tst_ConcellosCatalogue : public QObject {
    Q_OBJECT
private slots:
    void firstSaveIntoAMissingFile();
    void savingAnExistingNameUpdatesIt();
    void onlyLettersAToZAreUpperCased_data();
    void onlyLettersAToZAreUpperCased();
    void listing_data();
    void listing();
    void nameAboveCuantosIsAddedAgain();
    void emptyOrBlankNameIsRefused_data();
    void emptyOrBlankNameIsRefused();
    void failedSaveReportsTheFile();
    void unstorableNameIsRefused_data();
    void unstorableNameIsRefused();
    void acceptedNameComesBackExactly_data();
    void acceptedNameComesBackExactly();
};

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const AdministrationCentres Centres{QStringLiteral("L01"), QStringLiteral("Xestor"),
                                    QStringLiteral("L02"), QStringLiteral("Intervención"),
                                    QStringLiteral("L03"), QStringLiteral("Obras")};

} // namespace

void tst_ConcellosCatalogue::firstSaveIntoAMissingFile() {
    QTemporaryDir dir;
    QCOMPARE(ConcellosCatalogue::names(dir.path()), QStringList());
    QCOMPARE(ConcellosCatalogue::save(dir.path(), QStringLiteral("concello de proba"), Centres),
             QStringLiteral("CONCELLO DE PROBA"));
    QCOMPARE(QString::fromUtf8(readAll(dir.filePath(QStringLiteral("Concellos.Ini")))),
             QStringLiteral("[CONCELLO DE PROBA]\nNOMBRE_ORGANO=Xestor\n"
                            "Nombre_Oficina=Intervención\nNombre_Unidad=Obras\nORGANO=L01\n"
                            "Oficina=L02\nUnidad=L03\n[CONCELLOS]\n1=CONCELLO DE PROBA\n"
                            "[REGISTRO]\nCUANTOS=1\n"));
    QCOMPARE(ConcellosCatalogue::names(dir.path()), QStringList{"CONCELLO DE PROBA"});
    const AdministrationCentres loaded =
        ConcellosCatalogue::load(dir.path(), QStringLiteral("CONCELLO DE PROBA"));
    QCOMPARE(loaded.managingCode, Centres.managingCode);
    QCOMPARE(loaded.managingName, Centres.managingName);
    QCOMPARE(loaded.officeCode, Centres.officeCode);
    QCOMPARE(loaded.officeName, Centres.officeName);
    QCOMPARE(loaded.unitCode, Centres.unitCode);
    QCOMPARE(loaded.unitName, Centres.unitName);
    // An unknown name loads six empty values.
    QCOMPARE(ConcellosCatalogue::load(dir.path(), QString()).managingName, QString());
}

void tst_ConcellosCatalogue::savingAnExistingNameUpdatesIt() {
    QTemporaryDir dir;
    ConcellosCatalogue::save(dir.path(), QStringLiteral("concello de proba"), Centres);
    AdministrationCentres changed = Centres;
    changed.unitName = QStringLiteral("Servizo de Obras");
    QCOMPARE(ConcellosCatalogue::save(dir.path(), QStringLiteral("Concello de Proba"), changed),
             QStringLiteral("CONCELLO DE PROBA"));
    QCOMPARE(ConcellosCatalogue::names(dir.path()), QStringList{"CONCELLO DE PROBA"});
    const IniFile ini(dir.filePath(QStringLiteral("Concellos.Ini")));
    QCOMPARE(ini.readInteger(QStringLiteral("REGISTRO"), QStringLiteral("CUANTOS"), -1), 1);
    QCOMPARE(ConcellosCatalogue::load(dir.path(), QStringLiteral("CONCELLO DE PROBA")).unitName,
             QStringLiteral("Servizo de Obras"));
}

void tst_ConcellosCatalogue::onlyLettersAToZAreUpperCased_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("a to z") << "concello de proba"
                            << "CONCELLO DE PROBA";
    QTest::newRow("ñ stays small") << "concello de montaña"
                                   << "CONCELLO DE MONTAñA";
    QTest::newRow("accents stay") << "xunta de galicia, consellería"
                                  << "XUNTA DE GALICIA, CONSELLERíA";
    QTest::newRow("blanks kept") << " ames "
                                 << " AMES ";
}

void tst_ConcellosCatalogue::onlyLettersAToZAreUpperCased() {
    QFETCH(QString, typed);
    QTEST(ConcellosCatalogue::upperAsciiLetters(typed), "stored");
}

void tst_ConcellosCatalogue::listing_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("nextKey"); // key a new name gets

    QTest::newRow("hand-edited gap") << QByteArray("[CONCELLOS]\n1=AMES\n3=BRION\n"
                                                   "[REGISTRO]\nCUANTOS=3\n")
                                     << QStringList{"AMES", "BRION"} << "4";
    QTest::newRow("key 0 is listed") << QByteArray("[CONCELLOS]\n0=CERO\n1=AMES\n"
                                                   "[REGISTRO]\nCUANTOS=1\n")
                                     << QStringList{"CERO", "AMES"} << "2";
    QTest::newRow("keys above CUANTOS are not") << QByteArray("[CONCELLOS]\n1=AMES\n2=BRION\n"
                                                              "[REGISTRO]\nCUANTOS=1\n")
                                                << QStringList{"AMES"} << "2";
    QTest::newRow("negative CUANTOS lists nothing") << QByteArray("[CONCELLOS]\n0=CERO\n1=AMES\n"
                                                                  "[REGISTRO]\nCUANTOS=-1\n")
                                                    << QStringList{} << "0";
    QTest::newRow("CUANTOS not a number") << QByteArray("[CONCELLOS]\n0=CERO\n1=AMES\n"
                                                        "[REGISTRO]\nCUANTOS=dous\n")
                                          << QStringList{"CERO"} << "1";
    QTest::newRow("file order, case of keys") << QByteArray("[concellos]\n2=BRION\n1=AMES\n"
                                                            "[registro]\ncuantos=2\n")
                                              << QStringList{"AMES", "BRION"} << "3";
}

void tst_ConcellosCatalogue::listing() {
    QFETCH(QByteArray, file);
    QFETCH(QString, nextKey);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Concellos.Ini"));
    writeFile(path, file);
    QTEST(ConcellosCatalogue::names(dir.path()), "names");

    ConcellosCatalogue::save(dir.path(), QStringLiteral("novo"), Centres);
    const IniFile ini(path);
    QCOMPARE(ini.readString(QStringLiteral("CONCELLOS"), nextKey), QStringLiteral("NOVO"));
    QCOMPARE(ini.readString(QStringLiteral("REGISTRO"), QStringLiteral("CUANTOS")), nextKey);
}

void tst_ConcellosCatalogue::nameAboveCuantosIsAddedAgain() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Concellos.Ini"));
    writeFile(path, "[CONCELLOS]\n1=AMES\n3=BRION\n[REGISTRO]\nCUANTOS=1\n");
    QCOMPARE(ConcellosCatalogue::names(dir.path()), QStringList{"AMES"});
    ConcellosCatalogue::save(dir.path(), QStringLiteral("brion"), Centres);
    const IniFile ini(path);
    QCOMPARE(ini.readString(QStringLiteral("CONCELLOS"), QStringLiteral("2")),
             QStringLiteral("BRION"));
    QCOMPARE(ini.readString(QStringLiteral("CONCELLOS"), QStringLiteral("3")),
             QStringLiteral("BRION"));
    QCOMPARE(ini.readInteger(QStringLiteral("REGISTRO"), QStringLiteral("CUANTOS"), 0), 2);
    QCOMPARE(ConcellosCatalogue::names(dir.path()), (QStringList{"AMES", "BRION"}));

    // Saving it again now finds it under key 2.
    ConcellosCatalogue::save(dir.path(), QStringLiteral("Brion"), Centres);
    QCOMPARE(IniFile(path).readInteger(QStringLiteral("REGISTRO"), QStringLiteral("CUANTOS"), 0),
             2);
}

void tst_ConcellosCatalogue::emptyOrBlankNameIsRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("empty, no file") << "" << false;
    QTest::newRow("blanks, no file") << "   " << false;
    QTest::newRow("empty, file kept") << "" << true;
    QTest::newRow("tab, file kept") << "\t" << true;
}

void tst_ConcellosCatalogue::emptyOrBlankNameIsRefused() {
    QFETCH(QString, name);
    QFETCH(bool, fileExists);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Concellos.Ini"));
    const QByteArray old = "[CONCELLOS]\n1=AMES\n[REGISTRO]\nCUANTOS=1\n";
    if (fileExists)
        writeFile(path, old);
    try {
        ConcellosCatalogue::save(dir.path(), name, Centres);
        QFAIL("an empty name was accepted");
    } catch (const AppError& e) {
        QVERIFY(!e.message().isEmpty());
    }
    QCOMPARE(QFile::exists(path), fileExists);
    if (fileExists)
        QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), fileExists ? 1 : 0);
}

void tst_ConcellosCatalogue::failedSaveReportsTheFile() {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("app")), "a file where the folder should be");
    const QString appDir = dir.filePath(QStringLiteral("app"));
    try {
        ConcellosCatalogue::save(appDir, QStringLiteral("ames"), Centres);
        QFAIL("the save did not fail");
    } catch (const AppError& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("No se puede guardar ") +
                     QDir::toNativeSeparators(
                         QFileInfo(appDir + QStringLiteral("/Concellos.Ini")).absoluteFilePath()) +
                     QStringLiteral(": una parte de la ruta no es una carpeta"));
    }
}

// Names the file cannot hold are refused before anything is written; the
// catalogue already there stays byte for byte.
void tst_ConcellosCatalogue::unstorableNameIsRefused_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("brackets") << "ayto. [2024]";
    QTest::newRow("closing bracket") << "ames]";
    QTest::newRow("opening bracket") << "[ames";
    QTest::newRow("line break") << "ames\nbrion";
    QTest::newRow("carriage return") << "ames\rbrion";
    QTest::newRow("in double quotes") << "\"ames\"";
    QTest::newRow("leading double quote") << "\"ames";
    QTest::newRow("trailing double quote") << "ames\"";
    QTest::newRow("in single quotes") << "'ames'";
    QTest::newRow("longer than a value can be read") << QString(2048, u'x');
    QTest::newRow("half a character") << QStringLiteral("ames") + QChar(0xD800);
}

void tst_ConcellosCatalogue::unstorableNameIsRefused() {
    QFETCH(QString, typed);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Concellos.Ini"));
    const QByteArray before = "[CONCELLOS]\n1=AMES\n[REGISTRO]\nCUANTOS=1\n";
    writeFile(path, before);
    try {
        ConcellosCatalogue::save(dir.path(), typed, Centres);
        QFAIL("the name was accepted");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("El nombre de la administración")) &&
                     e.message().endsWith(QStringLiteral("no se ha guardado nada")),
                 qPrintable(e.message()));
    }
    QCOMPARE(readAll(path), before);
    QCOMPARE(ConcellosCatalogue::nameProblem(ConcellosCatalogue::storedName(typed)).isEmpty(),
             false);
}

// Whatever is accepted is listed once and loads its six values back, also
// when saved a second time.
void tst_ConcellosCatalogue::acceptedNameComesBackExactly_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("parentheses, point") << "ayto. (2024)"
                                        << "AYTO. (2024)";
    QTest::newRow("blanks around are dropped") << "  concello de ames \t"
                                               << "CONCELLO DE AMES";
    QTest::newRow("apostrophe inside") << "o'donnell"
                                       << "O'DONNELL";
    QTest::newRow("one single quote at the start") << "'ames"
                                                   << "'AMES";
    QTest::newRow("quotes inside") << "ames \"vello\" 2"
                                   << "AMES \"VELLO\" 2";
    QTest::newRow("equals sign") << "a=b"
                                 << "A=B";
    QTest::newRow("semicolon first") << ";ames"
                                     << ";AMES";
    QTest::newRow("letters beyond a to z") << "ñandú"
                                           << "ñANDú";
    QTest::newRow("longest name") << QString(2047, u'x') << QString(2047, u'X');
    QTest::newRow("other case of a listed name") << "Brión"
                                                 << "BRIÓN";
}

void tst_ConcellosCatalogue::acceptedNameComesBackExactly() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QTemporaryDir dir;
    // BRIÓN is listed already; "Brión" upper-cases to "BRIóN", the same
    // section for the file, so it is that entry.
    writeFile(dir.filePath(QStringLiteral("Concellos.Ini")),
              QStringLiteral("[BRIÓN]\nORGANO=B1\n[CONCELLOS]\n1=BRIÓN\n[REGISTRO]\nCUANTOS=1\n")
                  .toUtf8());
    for (int round = 0; round < 2; ++round) {
        AdministrationCentres centres = Centres;
        centres.unitName += QString::number(round);
        QCOMPARE(ConcellosCatalogue::save(dir.path(), typed, centres), stored);
        const QStringList names = ConcellosCatalogue::names(dir.path());
        QCOMPARE(names.count(stored), 1);
        QCOMPARE(names.size(), stored == u"BRIÓN" ? 1 : 2);
        const AdministrationCentres loaded = ConcellosCatalogue::load(dir.path(), stored);
        QCOMPARE(loaded.managingCode, centres.managingCode);
        QCOMPARE(loaded.managingName, centres.managingName);
        QCOMPARE(loaded.officeName, centres.officeName);
        QCOMPARE(loaded.unitName, centres.unitName);
        QCOMPARE(loaded.unitCode, centres.unitCode);
    }
    // BRIÓN's values survive unless it was the one saved.
    if (stored != u"BRIÓN")
        QCOMPARE(ConcellosCatalogue::load(dir.path(), QStringLiteral("BRIÓN")).managingCode,
                 QStringLiteral("B1"));
}

QTEST_APPLESS_MAIN(tst_ConcellosCatalogue)
#include "tst_ConcellosCatalogue.moc"
