#include "WindowTestCase.h"
#include "app/uAutoFirma.h"
#include "signing/InstalledPrograms.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

using namespace WindowTestKit;

class FakePrograms final : public InstalledPrograms {
public:
    explicit FakePrograms(QStringList names) : m_names(std::move(names)) {}
    QStringList displayNames() const override {
        ++calls;
        return m_names;
    }
    mutable int calls = 0;

private:
    QStringList m_names;
};

QStringList autofirmaSection(const QString& path) {
    QStringList lines;
    bool inside = false;
    for (const QByteArray& raw : readFile(path).split('\n')) {
        const QString line = QString::fromUtf8(raw).remove(u'\r');
        if (line.startsWith(u'['))
            inside = line == u"[AUTOFIRMA]";
        else if (inside && !line.isEmpty())
            lines.append(line);
    }
    return lines;
}

} // namespace

class tst_uAutoFirma : public WindowTestCase {
    Q_OBJECT

    QString iniPath() const { return m_dir.filePath(QStringLiteral("Registro.Ini")); }

private slots:
    void init() { startWindowTest({QStringLiteral("Registro.Ini")}); }
    void cleanup() { endWindowTest(); }

    // Stored values select an entry only when they match it exactly; saving
    // writes the selection, or empty text for none.
    void listSelection_data() {
        QTest::addColumn<QByteArray>("comando");
        QTest::addColumn<QByteArray>("firma");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("format");
        QTest::newRow("exact") << QByteArray("Sign -gui") << QByteArray("-format FACTURAE") << 1
                               << 2;
        QTest::newRow("first entries")
            << QByteArray("Sign -certgui") << QByteArray("-format AUTO") << 0 << 0;
        QTest::newRow("last format")
            << QByteArray("Sign -gui") << QByteArray("-format ODF") << 1 << 6;
        QTest::newRow("other letter case")
            << QByteArray("sign -certgui") << QByteArray("-FORMAT XADES") << -1 << -1;
        QTest::newRow("unknown") << QByteArray("Verify") << QByteArray("-format PDF") << -1 << -1;
        QTest::newRow("missing") << QByteArray() << QByteArray() << -1 << -1;
    }
    void listSelection() {
        QFETCH(QByteArray, comando);
        QFETCH(QByteArray, firma);
        QFETCH(int, command);
        QFETCH(int, format);
        writeFile(iniPath(), "[AUTOFIRMA]\nRUTAPROGRAMA=/opt/AutoFirma\nPROGRAMA=AutoFirma\n"
                             "COMANDO=" +
                                 comando + "\nFIRMA=" + firma + "\n");
        FakePrograms programs({});
        TFormAutoFirma w(m_dir.path(), nullptr, &programs);
        w.show();
        auto* commands = child<QComboBox>(w, "ComboBox1");
        auto* formats = child<QComboBox>(w, "ComboBox2");
        QCOMPARE(commands->currentIndex(), command);
        QCOMPARE(formats->currentIndex(), format);
        QVERIFY(!commands->isEditable());
        QVERIFY(!formats->isEditable());

        child<QToolButton>(w, "AdvSmoothButton1")->click();
        QVERIFY(m_prompts.errors().isEmpty());
        QVERIFY(w.isVisible());
        const QString expectedCommand = command < 0 ? QString() : commands->itemText(command);
        const QString expectedFormat = format < 0 ? QString() : formats->itemText(format);
        QCOMPARE(autofirmaSection(iniPath()),
                 (QStringList{"RUTAPROGRAMA=/opt/AutoFirma", "PROGRAMA=AutoFirma",
                              "COMANDO=" + expectedCommand, "FIRMA=" + expectedFormat}));
    }

    void lists_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("commands") << "ComboBox1" << QStringList{"Sign -certgui", "Sign -gui"};
        QTest::newRow("formats") << "ComboBox2" << QStringList{"-format AUTO",     "-format PADES",
                                                               "-format FACTURAE", "-format CADES",
                                                               "-format XADES",    "-format OOXML",
                                                               "-format ODF"};
    }
    void lists() {
        QFETCH(QString, name);
        QFETCH(QStringList, entries);
        FakePrograms programs({});
        TFormAutoFirma w(m_dir.path(), nullptr, &programs);
        auto* combo = w.findChild<QComboBox*>(name);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items.append(combo->itemText(i));
        QCOMPARE(items, entries);
    }

    // Detection runs only without a stored folder, and only tells.
    void notice_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<bool>("scanned");
        QTest::addColumn<QString>("notice"); // empty: no notice shown
        const QString found = QStringLiteral("Indique la ruta de instalación de AutoFirma");
        const QString notFound = QStringLiteral("NO SE HA DETECTADO AUTOFIRMA \n"
                                                "Orvane NECESITA AUTOFIRMA PARA FIRMAR \n"
                                                "ELECTRÓNICAMENTE \nLAS FACTURAS GENERADAS.");
        QTest::newRow("installed")
            << QByteArray() << QStringList{"Firefox", "AutoFirma"} << true << found;
        QTest::newRow("part of a name, other case")
            << QByteArray() << QStringList{"Cliente autofirma 1.6", "Zoom"} << true << found;
        QTest::newRow("not installed")
            << QByteArray() << QStringList{"LibreOffice", "Auto Firma"} << true << notFound;
        QTest::newRow("empty list") << QByteArray() << QStringList() << true << notFound;
        QTest::newRow("folder stored, pointing nowhere")
            << QByteArray("[AUTOFIRMA]\nRUTAPROGRAMA=/no/such/folder\n") << QStringList{"AutoFirma"}
            << false << QString();
        QTest::newRow("only the program stored")
            << QByteArray("[AUTOFIRMA]\nPROGRAMA=AutoFirma.exe\n") << QStringList{"AutoFirma"}
            << true << found;
    }
    void notice() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, installed);
        QFETCH(bool, scanned);
        QFETCH(QString, notice);
        if (!file.isEmpty())
            writeFile(iniPath(), file);
        FakePrograms programs(installed);
        TFormAutoFirma w(m_dir.path(), nullptr, &programs);
        auto* area = child<QPlainTextEdit>(w, "RichEdit1");
        QVERIFY(area->isHidden());
        w.show();
        QCOMPARE(programs.calls, scanned ? 1 : 0);
        QCOMPARE(area->isVisible(), !notice.isEmpty());
        if (!notice.isEmpty())
            QCOMPARE(area->toPlainText(), notice);
        QVERIFY(area->isReadOnly());
        // Nothing is filled in from the list.
        if (file.isEmpty())
            QCOMPARE(child<QLineEdit>(w, "Edit29")->text(), QString());
        auto* list = child<QListWidget>(w, "ListBox1");
        QVERIFY(!list->isVisible());
        if (scanned) {
            QStringList sorted = installed;
            sorted.sort();
            QStringList shown;
            for (int i = 0; i < list->count(); ++i)
                shown.append(list->item(i)->text());
            QCOMPARE(shown, sorted);
        }
    }

    void chooseProgram_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("program");
        QTest::newRow("program file") << "/opt/Programas/AutoFirma/AutoFirma.exe"
                                      << "/opt/Programas/AutoFirma"
                                      << "AutoFirma.exe";
        QTest::newRow("blanks in folder") << "/opt/Mis Programas/Auto Firma/autofirma"
                                          << "/opt/Mis Programas/Auto Firma"
                                          << "autofirma";
        // The root keeps its separator; an empty folder would mean "not set up".
        QTest::newRow("in the root") << "/AutoFirma"
                                     << "/"
                                     << "AutoFirma";
        QTest::newRow("cancelled") << ""
                                   << "/antes"
                                   << "antes.exe";
    }
    void chooseProgram() {
        QFETCH(QString, chosen);
        QFETCH(QString, folder);
        QFETCH(QString, program);
        writeFile(iniPath(), "[AUTOFIRMA]\nRUTAPROGRAMA=/antes\nPROGRAMA=antes.exe\n");
        const QByteArray before = readFile(iniPath());
        FakePrograms programs({});
        TFormAutoFirma w(m_dir.path(), nullptr, &programs);
        w.show();
        m_prompts.fileAnswers.enqueue(chosen);
        child<QToolButton>(w, "AdvSmoothButton2")->click();
        QCOMPARE(m_prompts.openFilters(), QStringList{QStringLiteral("Todos los archivos (*)")});
        QCOMPARE(child<QLineEdit>(w, "Edit29")->text(), QDir::toNativeSeparators(folder));
        QCOMPARE(child<QLineEdit>(w, "Edit30")->text(), program);
        QCOMPARE(readFile(iniPath()), before); // nothing saved yet
    }

    // A save is what the next opening shows; closing without saving keeps the file.
    void saveThenReopen() {
        FakePrograms programs({QStringLiteral("AutoFirma")});
        {
            TFormAutoFirma w(m_dir.path(), nullptr, &programs);
            w.show();
            QVERIFY(child<QPlainTextEdit>(w, "RichEdit1")->isVisible());
            m_prompts.fileAnswers.enqueue(QStringLiteral("/usr/lib/Autofirma/AutoFirma.jar"));
            child<QToolButton>(w, "AdvSmoothButton2")->click();
            child<QComboBox>(w, "ComboBox1")->setCurrentIndex(0);
            child<QComboBox>(w, "ComboBox2")->setCurrentIndex(2);
            child<QToolButton>(w, "AdvSmoothButton1")->click();
            QVERIFY(w.isVisible());
            // The notice is not updated by the save.
            QCOMPARE(child<QPlainTextEdit>(w, "RichEdit1")->toPlainText(),
                     TFormAutoFirma::foundNotice());
            child<QComboBox>(w, "ComboBox1")->setCurrentIndex(1);
            child<QToolButton>(w, "AdvSmoothButton3")->click();
            QVERIFY(!w.isVisible());
        }
        QCOMPARE(autofirmaSection(iniPath()),
                 (QStringList{"RUTAPROGRAMA=/usr/lib/Autofirma", "PROGRAMA=AutoFirma.jar",
                              "COMANDO=Sign -certgui", "FIRMA=-format FACTURAE"}));
        TFormAutoFirma again(m_dir.path(), nullptr, &programs);
        again.show();
        QCOMPARE(child<QLineEdit>(again, "Edit29")->text(), QStringLiteral("/usr/lib/Autofirma"));
        QCOMPARE(child<QComboBox>(again, "ComboBox1")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(again, "ComboBox2")->currentIndex(), 2);
        QVERIFY(!child<QPlainTextEdit>(again, "RichEdit1")->isVisible());
    }

    void saveWithNoSelectionKeepsOtherSections() {
        writeFile(iniPath(), "[MISDATOS]\nNOMBRE=Café Ñ\n");
        FakePrograms programs({});
        TFormAutoFirma w(m_dir.path(), nullptr, &programs);
        w.show();
        child<QLineEdit>(w, "Edit29")->setText(QStringLiteral("C:\\Programas\\AutoFirma"));
        child<QToolButton>(w, "AdvSmoothButton1")->click();
        QCOMPARE(autofirmaSection(iniPath()), (QStringList{"RUTAPROGRAMA=C:\\Programas\\AutoFirma",
                                                           "PROGRAMA=", "COMANDO=", "FIRMA="}));
        QVERIFY(readFile(iniPath()).startsWith("[MISDATOS]\nNOMBRE=Café Ñ\n"));
    }

    void unwritableSettings() {
        const QString appDir = m_dir.filePath(QStringLiteral("file-not-folder"));
        writeFile(appDir, "x");
        FakePrograms programs({});
        TFormAutoFirma w(appDir, nullptr, &programs);
        w.show();
        child<QLineEdit>(w, "Edit29")->setText(QStringLiteral("/opt/af"));
        child<QToolButton>(w, "AdvSmoothButton1")->click();
        QCOMPARE(m_prompts.errors(),
                 QStringList{QStringLiteral("No se puede guardar %1: una parte de la ruta no es una carpeta.")
                                 .arg(QDir::toNativeSeparators(appDir + "/Registro.Ini"))});
        QVERIFY(w.isVisible());
        QCOMPARE(child<QLineEdit>(w, "Edit29")->text(), QStringLiteral("/opt/af"));
    }
    void tabOrder() {
        FakePrograms programs({});
        TFormAutoFirma w(m_dir.path(), nullptr, &programs);
        // The screen's order: the method, the certificate and its button, the
        // folder and its button, the program, the lists, the buttons.
        const QStringList order{"rbAutoFirma",      "rbCertificado",   "eCertificado",
                                "btnCertificado",   "Edit29",          "AdvSmoothButton2",
                                "Edit30",           "ComboBox1",       "ComboBox2",
                                "AdvSmoothButton1", "AdvSmoothButton3"};
        QCOMPARE(tabChain(w, order), order);
    }
};

QTEST_MAIN(tst_uAutoFirma)
#include "tst_uAutoFirma.moc"
