#include "common/AppError.h"
#include "storage/IniFile.h"
#include "storage/TextDecoding.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// The INI files: reading conventions, writing in place, encodings and the
// atomic save.
class tst_IniFile : public QObject {
    Q_OBJECT
private slots:
    void reading_data();
    void reading();
    void readingIntegers_data();
    void readingIntegers();
    void writing_data();
    void writing();
    void missingFileReadsAsEmptyAndSaveCreatesIt();
    void encodings_data();
    void encodings();
    void largeFilesReadAsDecodedWhole_data();
    void largeFilesReadAsDecodedWhole();
    void spanishLettersSurviveSaveAndLoad();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
};

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

bool runningAsRoot() {
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

// Makes a folder refuse new files for the life of the guard: by its mode, or
// for root (whom modes do not stop) by the immutable attribute.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path) : m_path(path) {
        if (runningAsRoot()) {
            m_immutable = QProcess::execute(QStringLiteral("chattr"), {"+i", path}) == 0;
            m_ok = m_immutable;
        } else {
            m_ok = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        }
    }
    ~ReadOnlyFolder() {
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {"-i", m_path});
        else
            QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool ok() const { return m_ok; }

private:
    QString m_path;
    bool m_ok = false;
    bool m_immutable = false;
};

} // namespace

void tst_IniFile::reading_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QString longValue(3000, u'x');
    QTest::newRow("case of section and key") << "[MisDatos]\nnombre=Ana\n"
                                             << "MISDATOS"
                                             << "NOMBRE"
                                             << "Ana";
    QTest::newRow("blanks around key and value") << "[S]\n  K \t=   v a l \t\n"
                                                 << "S"
                                                 << "K"
                                                 << "v a l";
    QTest::newRow("double quotes") << "[S]\nK=\"  x  \"\n"
                                   << "S"
                                   << "K"
                                   << "  x  ";
    QTest::newRow("single quotes") << "[S]\nK= 'y' \n"
                                   << "S"
                                   << "K"
                                   << "y";
    QTest::newRow("mismatched quotes stay") << "[S]\nK=\"y'\n"
                                            << "S"
                                            << "K"
                                            << "\"y'";
    QTest::newRow("only one pair goes") << "[S]\nK=\"\"x\"\"\n"
                                        << "S"
                                        << "K"
                                        << "\"x\"";
    QTest::newRow("lone quote stays") << "[S]\nK=\"\n"
                                      << "S"
                                      << "K"
                                      << "\"";
    QTest::newRow("after the first equals sign") << "[S]\nK=a=b\n"
                                                 << "S"
                                                 << "K"
                                                 << "a=b";
    QTest::newRow("empty value is not the default") << "[S]\nK=\n"
                                                    << "S"
                                                    << "K"
                                                    << "";
    QTest::newRow("cut at 2047") << "[S]\nK=" + longValue + "\n"
                                 << "S"
                                 << "K" << longValue.left(2047);
    QTest::newRow("2047 kept whole") << "[S]\nK=" + longValue.left(2047) << "S"
                                     << "K" << longValue.left(2047);
    QTest::newRow("missing key") << "[S]\nK=v\n"
                                 << "S"
                                 << "L"
                                 << "default";
    QTest::newRow("missing section") << "[S]\nK=v\n"
                                     << "T"
                                     << "K"
                                     << "default";
    QTest::newRow("key of another section") << "[S]\nK=v\n[T]\nL=w\n"
                                            << "S"
                                            << "L"
                                            << "default";
    QTest::newRow("first key wins") << "[S]\nK=1\nk=2\n"
                                    << "S"
                                    << "K"
                                    << "1";
    QTest::newRow("first section wins") << "[S]\nK=1\n[s]\nK=2\n"
                                        << "S"
                                        << "K"
                                        << "1";
    QTest::newRow("comments and blank lines") << "; notes\n\n[S]\n\n;K=0\nK=v\n"
                                              << "S"
                                              << "K"
                                              << "v";
    QTest::newRow("key before any section") << "K=0\n[S]\nL=1\n"
                                            << "S"
                                            << "K"
                                            << "default";
    QTest::newRow("CR LF line ends") << "[S]\r\nK=v\r\nL=w\r\n"
                                     << "S"
                                     << "K"
                                     << "v";
    QTest::newRow("line without equals sign") << "[S]\nK\nK=v\n"
                                              << "S"
                                              << "K"
                                              << "v";
}

void tst_IniFile::reading() {
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    IniFile ini(QString{});
    ini.setText(text);
    QTEST(ini.readString(section, key, QStringLiteral("default")), "value");
}

void tst_IniFile::readingIntegers_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("digits") << "12" << 12;
    QTest::newRow("negative with blanks") << "  -3 " << -3;
    QTest::newRow("hexadecimal") << "0x1A" << 26;
    QTest::newRow("quoted") << "\"5\"" << 5;
    QTest::newRow("not a number") << "doce" << 7;
    QTest::newRow("decimal") << "1,5" << 7;
    QTest::newRow("too big") << "2147483648" << 7;
    QTest::newRow("empty") << "" << 7;
}

void tst_IniFile::readingIntegers() {
    QFETCH(QString, value);
    IniFile ini(QString{});
    ini.setText(QStringLiteral("[S]\nN=") + value + u'\n');
    QTEST(ini.readInteger(QStringLiteral("s"), QStringLiteral("n"), 7), "expected");
    QCOMPARE(ini.readInteger(QStringLiteral("S"), QStringLiteral("missing"), 7), 7);
}

void tst_IniFile::writing_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after");

    QTest::newRow("replace where it stands") << "[A]\nK=1\nL=2\n[B]\nK=3\n"
                                             << "A"
                                             << "K"
                                             << "9"
                                             << "[A]\nK=9\nL=2\n[B]\nK=3\n";
    // The whole line goes, blanks after the value included, and its break stays.
    QTest::newRow("replace a line with blanks after its value") << "[A]\r\n K = \"1\" \t\r\nL=2\r\n"
                                                                << "A"
                                                                << "K"
                                                                << "9"
                                                                << "[A]\r\nK=9\r\nL=2\r\n";
    QTest::newRow("replace an empty value on the last line") << "[A]\nL=2\nK= \t"
                                                             << "A"
                                                             << "K"
                                                             << "9"
                                                             << "[A]\nL=2\nK=9";
    QTest::newRow("replace found without regard to case") << "[A]\nK=1\nL=2\n"
                                                          << "a"
                                                          << "k"
                                                          << "9"
                                                          << "[A]\nk=9\nL=2\n";
    QTest::newRow("append at the end of its section") << "[A]\nK=1\n\n[B]\nK=3\n"
                                                      << "A"
                                                      << "M"
                                                      << "x"
                                                      << "[A]\nK=1\nM=x\n\n[B]\nK=3\n";
    QTest::newRow("append to the last section") << "[A]\nK=1\n[B]\nK=3\n"
                                                << "B"
                                                << "M"
                                                << "x"
                                                << "[A]\nK=1\n[B]\nK=3\nM=x\n";
    QTest::newRow("create the section at the end") << "[A]\nK=1\n"
                                                   << "B"
                                                   << "K"
                                                   << "v"
                                                   << "[A]\nK=1\n[B]\nK=v\n";
    QTest::newRow("no line break at the end") << "[A]\nK=1"
                                              << "B"
                                              << "K"
                                              << "v"
                                              << "[A]\nK=1\n[B]\nK=v\n";
    QTest::newRow("empty file") << ""
                                << "S"
                                << "K"
                                << "v"
                                << "[S]\nK=v\n";
    QTest::newRow("CR LF kept") << "[A]\r\nK=1\r\n"
                                << "A"
                                << "M"
                                << "x"
                                << "[A]\r\nK=1\r\nM=x\r\n";
    QTest::newRow("first key is the one replaced") << "[A]\nK=1\nK=2\n"
                                                   << "A"
                                                   << "K"
                                                   << "9"
                                                   << "[A]\nK=9\nK=2\n";
    QTest::newRow("first section is the one appended to") << "[A]\nK=1\n[A]\nL=2\n"
                                                          << "A"
                                                          << "M"
                                                          << "x"
                                                          << "[A]\nK=1\nM=x\n[A]\nL=2\n";
    QTest::newRow("line break in a value becomes a blank") << "[A]\n"
                                                           << "A"
                                                           << "K"
                                                           << "a\nb"
                                                           << "[A]\nK=a b\n";
    QTest::newRow("empty value") << "[A]\nK=1\n"
                                 << "A"
                                 << "K"
                                 << ""
                                 << "[A]\nK=\n";
}

void tst_IniFile::writing() {
    QFETCH(QString, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    IniFile ini(QString{});
    ini.setText(before);
    ini.writeString(section, key, value);
    QTEST(ini.text(), "after");
    QCOMPARE(ini.readString(section, key), QString(value).replace(u'\n', u' ').trimmed());
}

void tst_IniFile::missingFileReadsAsEmptyAndSaveCreatesIt() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Registro.Ini"));
    IniFile ini(path);
    QVERIFY(!ini.existed());
    QVERIFY(!ini.hasSection(QStringLiteral("MISDATOS")));
    QCOMPARE(ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("NIF"), QStringLiteral("-")),
             QStringLiteral("-"));
    QCOMPARE(ini.readInteger(QStringLiteral("REGISTRO"), QStringLiteral("CUANTOS"), 0), 0);
    QVERIFY(!QFile::exists(path)); // reading creates nothing

    ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("NIF"), QStringLiteral("B1"));
    ini.save();
    const IniFile again(path);
    QVERIFY(again.existed());
    QCOMPARE(again.readString(QStringLiteral("misdatos"), QStringLiteral("nif")),
             QStringLiteral("B1"));
}

void tst_IniFile::encodings_data() {
    QTest::addColumn<QString>("fixture");
    QTest::newRow("UTF-8") << "utf8.ini";
    QTest::newRow("UTF-8 with BOM") << "utf8-bom.ini";
    QTest::newRow("UTF-16 LE with BOM") << "utf16le-bom.ini";
    QTest::newRow("UTF-16 BE with BOM") << "utf16be-bom.ini";
    QTest::newRow("Windows-1252") << "windows-1252.ini";
}

void tst_IniFile::encodings() {
    QFETCH(QString, fixture);
    const QString path = QFINDTESTDATA("data/" + fixture);
    QVERIFY(!path.isEmpty());
    IniFile ini(path);
    QCOMPARE(ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("NOMBRE")),
             QStringLiteral("Peñas Ñandú Güemes áéíóú ÁÉÍÓÚ €"));
    QCOMPARE(ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("CP")),
             QStringLiteral("15705"));

    // A store writes UTF-8 and keeps the rest of the file.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.ini"));
    QVERIFY(QFile::copy(path, copy));
    IniFile writable(copy);
    writable.writeString(QStringLiteral("MISDATOS"), QStringLiteral("CP"), QStringLiteral("15220"));
    writable.save();
    QCOMPARE(readAll(copy), QByteArray("[MISDATOS]\r\nNOMBRE=Peñas Ñandú Güemes áéíóú ÁÉÍÓÚ "
                                       "€\r\nCP=15220\r\n"));
}

namespace {

// A [S] section of `lines` keys K1..Kn whose values mix ASCII with letters of
// two and three bytes in UTF-8, in lines of varying length, so characters
// fall across every boundary of the pieces the file is read in.
QByteArray manyLines(int lines, const QByteArray& lineStart = {}) {
    QByteArray bytes = "[S]\n";
    for (int n = 1; n <= lines; ++n)
        bytes +=
            lineStart + "K" + QByteArray::number(n) + "=Peña €" + QByteArray(n % 37, 'x') + "ú\n";
    return bytes;
}

} // namespace

// A file is read a piece at a time; whatever the pieces, its text is the
// whole file's bytes decoded at once.
void tst_IniFile::largeFilesReadAsDecodedWhole_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("lastValue"); // of K<lines>
    const QString utf8Value = QStringLiteral("Peña €") + QString(20000 % 37, u'x') + u'ú';
    QTest::newRow("UTF-8") << manyLines(20000) << utf8Value;
    QTest::newRow("UTF-8, U+FEFF opening every line")
        << manyLines(20000, "\xEF\xBB\xBF") << QString();
    QTest::newRow("UTF-8 without a line break")
        << QByteArray("[S]\nK=") + QByteArray("ñ€x").repeated(100000) << QString();
    QTest::newRow("UTF-8 with a byte-order mark") << "\xEF\xBB\xBF" + manyLines(20000) << utf8Value;
    QTest::newRow("UTF-16 without a mark")
        << QByteArray(reinterpret_cast<const char*>(QString::fromUtf8(manyLines(20000)).utf16()),
                      QString::fromUtf8(manyLines(20000)).size() * 2)
        << utf8Value;
    // Not UTF-8 only far into the file: all of it is Windows-1252.
    QTest::newRow("Windows-1252 seen late")
        << manyLines(20000) + "K20001=Pe\xF1" + "a\n"
        << QStringLiteral("PeÃ±a â‚¬") + QString(20000 % 37, u'x') + QStringLiteral("Ãº");
    QTest::newRow("UTF-8 cut inside its last character")
        << manyLines(20000) + "K20001=\xE2\x82"
        << QStringLiteral("PeÃ±a â‚¬") + QString(20000 % 37, u'x') + QStringLiteral("Ãº");
}

void tst_IniFile::largeFilesReadAsDecodedWhole() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, lastValue);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.ini"));
    writeFile(path, bytes);
    const IniFile ini(path, true);
    QVERIFY(ini.text() == TextDecoding::decode(bytes)); // QCOMPARE would print megabytes
    QVERIFY(ini.text().size() > 100000);
    // No more room than a character per byte: the text never grows by half.
    QVERIFY(ini.text().capacity() <= bytes.size() + 1);
    if (!lastValue.isEmpty())
        QCOMPARE(ini.readString(QStringLiteral("S"), QStringLiteral("K20000")), lastValue);
}

void tst_IniFile::spanishLettersSurviveSaveAndLoad() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Concellos.Ini"));
    const QString name = QStringLiteral("CONCELLO DE MONTAñA");
    const QString value = QStringLiteral("Intervención Xeral, Güeñes ÚÍÓ");
    IniFile ini(path);
    ini.writeString(name, QStringLiteral("Nombre_Oficina"), value);
    ini.save();
    const IniFile loaded(path);
    QCOMPARE(loaded.readString(name, QStringLiteral("NOMBRE_OFICINA")), value);
    QVERIFY(!readAll(path).startsWith("\xEF\xBB\xBF"));
    QVERIFY(readAll(path).contains(value.toUtf8()));
}

void tst_IniFile::failedSaveKeepsTheOldFile_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("folder missing") << "missing/Registro.Ini" << false;
    QTest::newRow("parent is a regular file") << "plain.txt/Registro.Ini" << false;
    QTest::newRow("folder refuses new files") << "locked/Registro.Ini" << true;
}

void tst_IniFile::failedSaveKeepsTheOldFile() {
    QFETCH(QString, relative);
    QFETCH(bool, readOnlyFolder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("plain.txt")), "not a folder");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    const QByteArray old = "[MISDATOS]\r\nNOMBRE=Peñas\r\nNIF=B1\r\n";
    writeFile(dir.filePath(QStringLiteral("locked/Registro.Ini")), old);

    const QString path = dir.filePath(relative);
    IniFile ini(path);
    ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("NIF"), QStringLiteral("B2"));
    ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("MAIL"), QStringLiteral("a@b.es"));

    std::unique_ptr<ReadOnlyFolder> guard;
    if (readOnlyFolder) {
        guard = std::make_unique<ReadOnlyFolder>(dir.filePath(QStringLiteral("locked")));
        if (!guard->ok())
            QSKIP("cannot make a folder refuse new files here (root without chattr)");
    }
    try {
        ini.save();
        QFAIL("the save did not fail");
    } catch (const AppError& e) {
        // The file's name, then the system's reason.
        const QString named = QStringLiteral("No se puede guardar ") +
                              QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) +
                              QStringLiteral(": ");
        QVERIFY2(e.message().startsWith(named) && e.message().size() > named.size(),
                 qPrintable(e.message()));
    }
    guard.reset();
    QCOMPARE(readAll(dir.filePath(QStringLiteral("locked/Registro.Ini"))), old);
    QCOMPARE(QDir(dir.filePath(QStringLiteral("locked"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{"Registro.Ini"});
    QCOMPARE(readAll(dir.filePath(QStringLiteral("plain.txt"))), QByteArray("not a folder"));
}

QTEST_APPLESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
