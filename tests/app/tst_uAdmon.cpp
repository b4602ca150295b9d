#include "WindowTestCase.h"
#include "app/uAdmon.h"

#include <QAbstractItemView>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

using namespace WindowTestKit;

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// "key=value" lines of one section, in file order.
QStringList sectionLines(const QString& path, const QString& name) {
    QStringList lines;
    bool inside = false;
    for (const QString& raw : readText(path).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'['))
            inside = line == u'[' + name + u']';
        else if (inside && !line.isEmpty())
            lines.append(line);
    }
    return lines;
}

AdministrationCentres sample(const QString& tag) {
    AdministrationCentres c;
    c.managingCode = tag + QStringLiteral("-L01");
    c.managingName = tag + QStringLiteral(" Alcaldía");
    c.officeCode = tag + QStringLiteral("-GE02");
    c.officeName = tag + QStringLiteral(" Intervención");
    c.unitCode = tag + QStringLiteral("-U03");
    c.unitName = tag + QStringLiteral(" Área de Facenda");
    return c;
}

bool same(const AdministrationCentres& a, const AdministrationCentres& b) {
    return a.managingCode == b.managingCode && a.managingName == b.managingName &&
           a.officeCode == b.officeCode && a.officeName == b.officeName &&
           a.unitCode == b.unitCode && a.unitName == b.unitName;
}

QStringList listed(TFormAdmon& w) {
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

} // namespace

class tst_uAdmon : public WindowTestCase {
    Q_OBJECT

    QString iniPath() const { return m_dir.filePath(QStringLiteral("Concellos.Ini")); }

    void saveAs(TFormAdmon& w, const QString& typed, const AdministrationCentres& values) {
        m_prompts.textAnswers.enqueue(typed);
        w.setCentres(values);
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton2"))->click();
    }

private slots:
    void init() { startWindowTest({QStringLiteral("Concellos.Ini")}); }
    void cleanup() { endWindowTest(); }

    void firstSaveCreatesTheCatalogue() {
        TFormAdmon w(m_dir.path());
        w.show();
        QVERIFY(listed(w).isEmpty());
        saveAs(w, QStringLiteral("concello de proba"), sample(QStringLiteral("P")));

        QCOMPARE(m_prompts.askedTexts(),
                 QStringList{QStringLiteral(
                     "Guardar Datos Admón.|Introduzca el nombre de la administración")});
        QVERIFY(m_prompts.errors().isEmpty());
        QVERIFY(w.isVisible()); // saving leaves the window open
        QCOMPARE(w.Texto(), QStringLiteral("CONCELLO DE PROBA"));
        QVERIFY(!w.ExisteConcello());
        QVERIFY(listed(w).isEmpty()); // the list shows it at the next opening
        QCOMPARE(sectionLines(iniPath(), QStringLiteral("CONCELLO DE PROBA")),
                 (QStringList{"NOMBRE_ORGANO=P Alcaldía", "Nombre_Oficina=P Intervención",
                              "Nombre_Unidad=P Área de Facenda", "ORGANO=P-L01", "Oficina=P-GE02",
                              "Unidad=P-U03"}));
        QCOMPARE(sectionLines(iniPath(), QStringLiteral("CONCELLOS")),
                 QStringList{QStringLiteral("1=CONCELLO DE PROBA")});
        QCOMPARE(sectionLines(iniPath(), QStringLiteral("REGISTRO")),
                 QStringList{QStringLiteral("CUANTOS=1")});

        TFormAdmon again(m_dir.path());
        QCOMPARE(listed(again), QStringList{QStringLiteral("CONCELLO DE PROBA")});
    }

    // Only a to z are upper-cased. The same name in other letter case updates
    // the entry; so does a name that differs only in ñ and Ñ: the file finds
    // sections without regard to case, so a second entry would share (and
    // overwrite) the first one's values.
    void namesAreUpperCasedAToZOnly_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("catalogue");
        QTest::newRow("same name, other case")
            << QStringList{"concello de proba", "Concello de Proba"}
            << QStringList{"1=CONCELLO DE PROBA", "CUANTOS=1"};
        QTest::newRow("small and capital ñ")
            << QStringList{"concello de montaña", "CONCELLO DE MONTAÑA"}
            << QStringList{"1=CONCELLO DE MONTAñA", "CUANTOS=1"};
    }
    void namesAreUpperCasedAToZOnly() {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, catalogue);
        TFormAdmon w(m_dir.path());
        for (int i = 0; i < typed.size(); ++i)
            saveAs(w, typed[i], sample(QString::number(i)));
        QVERIFY(m_prompts.errors().isEmpty());
        QCOMPARE(sectionLines(iniPath(), QStringLiteral("CONCELLOS")) +
                     sectionLines(iniPath(), QStringLiteral("REGISTRO")),
                 catalogue);
        // The last save's values are what the last name's section holds.
        const QString last = ConcellosCatalogue::upperAsciiLetters(typed.constLast());
        QVERIFY(same(ConcellosCatalogue::load(m_dir.path(), last),
                     sample(QString::number(typed.size() - 1))));
    }

    // Keys 0..CUANTOS are listed, gaps skipped; a name above CUANTOS is not
    // listed and, saved again, is added once more.
    void handEditedCatalogue() {
        writeFile(iniPath(), "[REGISTRO]\nCUANTOS=3\n[CONCELLOS]\n0=CERO\n1=ARTEIXO\n3=BOIRO\n"
                             "5=OCULTO\n[BOIRO]\nORGANO=L015\n");
        {
            TFormAdmon w(m_dir.path());
            QCOMPARE(listed(w), (QStringList{"CERO", "ARTEIXO", "BOIRO"}));
            saveAs(w, QStringLiteral("oculto"), sample(QStringLiteral("O")));
            QVERIFY(!w.ExisteConcello());
            saveAs(w, QStringLiteral("boiro"), sample(QStringLiteral("B")));
            QVERIFY(w.ExisteConcello());
        }
        QCOMPARE(sectionLines(iniPath(), QStringLiteral("CONCELLOS")),
                 (QStringList{"0=CERO", "1=ARTEIXO", "3=BOIRO", "5=OCULTO", "4=OCULTO"}));
        QCOMPARE(sectionLines(iniPath(), QStringLiteral("REGISTRO")),
                 QStringList{QStringLiteral("CUANTOS=4")});
        TFormAdmon again(m_dir.path());
        QCOMPARE(listed(again), (QStringList{"CERO", "ARTEIXO", "BOIRO", "OCULTO"}));
    }

    // Closing the list loads the chosen administration over whatever was
    // typed; with nothing chosen every box is emptied.
    void closingTheListLoadsTheChoice() {
        writeFile(iniPath(), "[REGISTRO]\nCUANTOS=2\n[CONCELLOS]\n1=ARTEIXO\n2=BOIRO\n"
                             "[BOIRO]\nNOMBRE_ORGANO=Alcaldía de Boiro\nORGANO=L01150067\n"
                             "Oficina=L01150067\n");
        TFormAdmon w(m_dir.path());
        w.show();
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        QCOMPARE(combo->currentIndex(), -1);
        w.setCentres(sample(QStringLiteral("typed")));

        // Through the list itself: open it and click the second entry. The
        // list hides before the clicked entry becomes current.
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        const QRect item = view->visualRect(combo->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        QTRY_COMPARE(w.Texto(), QStringLiteral("BOIRO"));
        QCOMPARE(combo->currentIndex(), 1);
        AdministrationCentres boiro;
        boiro.managingName = QStringLiteral("Alcaldía de Boiro");
        boiro.managingCode = QStringLiteral("L01150067");
        boiro.officeCode = QStringLiteral("L01150067");
        QVERIFY(same(w.centres(), boiro));

        // An entry without a section, then no entry at all: all boxes empty.
        w.setCentres(sample(QStringLiteral("typed")));
        combo->setCurrentIndex(0);
        w.ComboBox1CloseUp();
        QVERIFY(same(w.centres(), AdministrationCentres()));
        w.setCentres(sample(QStringLiteral("typed")));
        combo->setCurrentIndex(-1);
        w.ComboBox1CloseUp();
        QCOMPARE(w.Texto(), QString());
        QVERIFY(same(w.centres(), AdministrationCentres()));
    }

    void savesThatWriteNothing_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<bool>("refused");
        QTest::newRow("cancelled") << std::optional<QString>() << false;
        QTest::newRow("empty name") << std::optional<QString>(QString()) << true;
        QTest::newRow("blank name") << std::optional<QString>(QStringLiteral("   ")) << true;
        QTest::newRow("name with brackets")
            << std::optional<QString>(QStringLiteral("ayto. [2024]")) << true;
        QTest::newRow("name in double quotes")
            << std::optional<QString>(QStringLiteral("\"ames\"")) << true;
    }
    void savesThatWriteNothing() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(bool, refused);
        TFormAdmon w(m_dir.path());
        w.show();
        w.setCentres(sample(QStringLiteral("X")));
        m_prompts.textAnswers.enqueue(answer);
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton2"))->click();
        QVERIFY(!QFile::exists(iniPath()));
        QCOMPARE(m_prompts.errors().size(), refused ? 1 : 0);
        QVERIFY(w.isVisible());
        QVERIFY(same(w.centres(), sample(QStringLiteral("X"))));
    }

    void unwritableCatalogue() {
        // A "folder" that is a regular file cannot take the catalogue, even for root.
        const QString appDir = m_dir.filePath(QStringLiteral("file-not-folder"));
        writeFile(appDir, "x");
        TFormAdmon w(appDir);
        w.show();
        saveAs(w, QStringLiteral("lugo"), sample(QStringLiteral("L")));
        QCOMPARE(m_prompts.errors(),
                 QStringList{QStringLiteral("No se puede guardar %1: una parte de la ruta no es una carpeta.")
                                 .arg(QDir::toNativeSeparators(appDir + "/Concellos.Ini"))});
        QVERIFY(w.isVisible());
        QVERIFY(same(w.centres(), sample(QStringLiteral("L"))));
    }

    // The tick accepts with every box, empty ones included; the exit button
    // and the title-bar close dismiss.
    void outcome_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("tag");
        QTest::newRow("tick") << "AdvSmoothButton1" << 25;
        QTest::newRow("exit") << "AdvSmoothButton4" << 0;
        QTest::newRow("close box") << "" << 0;
    }
    void outcome() {
        QFETCH(QString, how);
        QFETCH(int, tag);
        TFormAdmon w(m_dir.path());
        QCOMPARE(w.Tag(), 0);
        AdministrationCentres given = sample(QStringLiteral("Z"));
        given.officeName.clear();
        w.setCentres(given);
        w.show();
        w.findChild<QLineEdit*>(QStringLiteral("Edit3"))->setText(QStringLiteral("U-nova"));
        if (how.isEmpty())
            w.close();
        else
            w.findChild<QToolButton*>(how)->click();
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Tag(), tag);
        given.unitCode = QStringLiteral("U-nova");
        QVERIFY(same(w.centres(), given));
    }

    void boxesMapToTheirCentres() {
        TFormAdmon w(m_dir.path());
        w.setCentres(sample(QStringLiteral("M")));
        const auto text = [&](const char* name) {
            return w.findChild<QLineEdit*>(QLatin1String(name))->text();
        };
        QCOMPARE(text("Edit1"), QStringLiteral("M-L01"));
        QCOMPARE(text("Edit2"), QStringLiteral("M-GE02"));
        QCOMPARE(text("Edit3"), QStringLiteral("M-U03"));
        QCOMPARE(text("Edit6"), QStringLiteral("M Alcaldía"));
        QCOMPARE(text("Edit5"), QStringLiteral("M Intervención"));
        QCOMPARE(text("Edit4"), QStringLiteral("M Área de Facenda"));
    }
    void tabOrder() {
        TFormAdmon w(m_dir.path());
        const QStringList order{"Edit6",
                                "Edit1",
                                "Edit5",
                                "Edit2",
                                "Edit4",
                                "Edit3",
                                "ComboBox1",
                                "AdvSmoothButton4",
                                "AdvSmoothButton1",
                                "AdvSmoothButton2"};
        QCOMPARE(tabChain(w, order), order);
    }
};

QTEST_MAIN(tst_uAdmon)
#include "tst_uAdmon.moc"
