#include "WindowTestCase.h"
#include "app/uRegistro.h"
#include "invoice/InvoiceRecord.h"
#include "settings/RegistroIni.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <unistd.h>

namespace {

using namespace WindowTestKit;

const QStringList LegalKeys{"ENTIDAD",   "OFICINA", "DC",        "CUENTA", "IBAN",
                            "PERSONA",   "NOMBRE",  "DIRECCION", "CP",     "POBLACION",
                            "PROVINCIA", "NIF",     "CONTACTO",  "MAIL"};
const QStringList NaturalKeys{
    "ENTIDAD",   "OFICINA",   "DC", "CUENTA",    "IBAN",      "PERSONA", "NOMBRE",   "APELLIDO1",
    "APELLIDO2", "DIRECCION", "CP", "POBLACION", "PROVINCIA", "NIF",     "CONTACTO", "MAIL"};

// key -> value of one section, in file order.
QList<QPair<QString, QString>> section(const QString& path, const QString& name) {
    QList<QPair<QString, QString>> entries;
    bool inside = false;
    for (const QString& line : QString::fromUtf8(readFile(path)).split(u'\n')) {
        const QString t = line.trimmed();
        if (t.startsWith(u'[')) {
            inside = t == u'[' + name + u']';
            continue;
        }
        const int eq = t.indexOf(u'=');
        if (inside && eq > 0)
            entries.append({t.left(eq), line.mid(line.indexOf(u'=') + 1)});
    }
    return entries;
}

QStringList keys(const QList<QPair<QString, QString>>& entries) {
    QStringList out;
    for (const auto& e : entries)
        out.append(e.first);
    return out;
}

QString value(const QList<QPair<QString, QString>>& entries, const QString& key) {
    for (const auto& e : entries)
        if (e.first == key)
            return e.second;
    return QStringLiteral("<missing>");
}

} // namespace

class tst_uRegistro : public WindowTestCase {
    Q_OBJECT

    QString iniPath() const { return m_dir.filePath(QStringLiteral("Registro.Ini")); }

    static QLineEdit* edit(TFormRegistro& w, const char* name) {
        auto* e = w.findChild<QLineEdit*>(QLatin1String(name));
        if (!e)
            qFatal("no edit %s", name);
        return e;
    }
    static QRadioButton* radio(TFormRegistro& w, const char* name) {
        return w.findChild<QRadioButton*>(QLatin1String(name));
    }

private slots:
    void init() { startWindowTest({QStringLiteral("Registro.Ini")}); }
    void cleanup() { endWindowTest(); }

    void firstSaveWritesAnEmptyLegalEntity() {
        TFormRegistro w(m_dir.path());
        w.show();
        QVERIFY(radio(w, "RadioButton3")->isChecked());
        QVERIFY(edit(w, "Edit1")->isVisible());
        QVERIFY(!edit(w, "Edit18")->isVisible());
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton1"))->click();

        QVERIFY(m_prompts.errors().isEmpty());
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QVERIFY(!w.isVisible());
        const auto stored = section(iniPath(), QStringLiteral("MISDATOS"));
        QCOMPARE(keys(stored), LegalKeys);
        for (const auto& [key, val] : stored)
            QCOMPARE(val, key == u"PERSONA" ? QStringLiteral("J") : QString());
    }

    // Whatever is typed comes back at the next showing, Spanish letters and
    // inner blanks included, and the file holds the keys of the chosen kind.
    void roundTrip_data() {
        QTest::addColumn<bool>("natural");
        QTest::newRow("legal entity") << false;
        QTest::newRow("natural person") << true;
    }
    void roundTrip() {
        QFETCH(bool, natural);
        const QStringList names{"Edit13", "Edit14", "Edit15", "Edit16", "Edit17", "Edit2",
                                "Edit3",  "Edit4",  "Edit5",  "Edit6",  "Edit28"};
        const QStringList values{"2100",
                                 "0418",
                                 "45",
                                 "0200051332",
                                 "ES21 2100 0418 4502 0005 1332",
                                 "Rúa da Peña, 7  1ºB",
                                 "15001",
                                 "A Coruña",
                                 "Ourense",
                                 "B1234567Ü",
                                 "cañón@exemplo.es"};
        {
            TFormRegistro w(m_dir.path());
            w.show();
            if (natural)
                radio(w, "RadioButton4")->click();
            for (int i = 0; i < names.size(); ++i)
                edit(w, names[i].toLatin1())->setText(values[i]);
            if (natural) {
                edit(w, "Edit18")->setText(QStringLiteral("Íñigo"));
                edit(w, "Edit19")->setText(QStringLiteral("Muñoz"));
                edit(w, "Edit20")->setText(QStringLiteral("Güell Álvarez"));
            } else {
                edit(w, "Edit1")->setText(QStringLiteral("Construcciones Ñandú, S.L."));
                edit(w, "Edit26")->setText(QStringLiteral("José Ramón"));
            }
            w.AdvSmoothButton1Click();
            QVERIFY(!w.isVisible());
        }
        const auto stored = section(iniPath(), QStringLiteral("MISDATOS"));
        QCOMPARE(keys(stored), natural ? NaturalKeys : LegalKeys);
        QCOMPARE(value(stored, "PERSONA"), natural ? QStringLiteral("F") : QStringLiteral("J"));
        QCOMPARE(value(stored, "POBLACION"), QStringLiteral("A Coruña"));

        TFormRegistro again(m_dir.path());
        again.show();
        QCOMPARE(again.TipoPersona(), natural ? QStringLiteral("F") : QStringLiteral("J"));
        QCOMPARE(radio(again, "RadioButton4")->isChecked(), natural);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(edit(again, names[i].toLatin1())->text(), values[i]);
        if (natural) {
            QCOMPARE(edit(again, "Edit18")->text(), QStringLiteral("Íñigo"));
            QCOMPARE(edit(again, "Edit19")->text(), QStringLiteral("Muñoz"));
            QCOMPARE(edit(again, "Edit20")->text(), QStringLiteral("Güell Álvarez"));
            QVERIFY(!edit(again, "Edit26")->isVisible());
            QCOMPARE(caption(again, "Label1"), QStringLiteral("Nombre"));
        } else {
            QCOMPARE(edit(again, "Edit1")->text(), QStringLiteral("Construcciones Ñandú, S.L."));
            QCOMPARE(edit(again, "Edit26")->text(), QStringLiteral("José Ramón"));
            QVERIFY(edit(again, "Edit26")->isVisible());
        }
    }

    // A natural person has no contact: a stored one is neither shown nor kept.
    void storedContactOfNaturalPersonIsDropped() {
        writeFile(iniPath(), "[MISDATOS]\nPERSONA=F\nNOMBRE=Ana\nAPELLIDO1=Sáez\n"
                             "CONTACTO=Secretaría\n");
        TFormRegistro w(m_dir.path());
        w.show();
        QVERIFY(radio(w, "RadioButton4")->isChecked());
        QCOMPARE(edit(w, "Edit18")->text(), QStringLiteral("Ana"));
        QCOMPARE(edit(w, "Edit26")->text(), QString());
        QVERIFY(!edit(w, "Edit26")->isVisible());
        w.AdvSmoothButton1Click();
        QCOMPARE(value(section(iniPath(), "MISDATOS"), "CONTACTO"), QString());
    }

    void switchingKindBeforeSaving_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("toNatural");
        QTest::addColumn<QString>("typedName");
        QTest::addColumn<QStringList>("expected"); // NOMBRE, APELLIDO1, APELLIDO2, CONTACTO
        const QByteArray natural = "[MISDATOS]\nPERSONA=F\nNOMBRE=Ana\nAPELLIDO1=Sáez\n"
                                   "APELLIDO2=Núñez\nCONTACTO=\n";
        const QByteArray legal = "[MISDATOS]\nPERSONA=J\nNOMBRE=Talleres Sáez SL\n"
                                 "CONTACTO=Pilar\n";
        // The surnames stay in the file; nobody reads them while PERSONA is J.
        QTest::newRow("F to J") << natural << false << QString()
                                << QStringList{"", "Sáez", "Núñez", ""};
        QTest::newRow("F to J, name typed") << natural << false << QStringLiteral("Sáez e Hijos")
                                            << QStringList{"Sáez e Hijos", "Sáez", "Núñez", ""};
        // The corporate name leaves the file; the contact is emptied.
        QTest::newRow("J to F") << legal << true << QString() << QStringList{"", "", "", ""};
    }
    void switchingKindBeforeSaving() {
        QFETCH(QByteArray, file);
        QFETCH(bool, toNatural);
        QFETCH(QString, typedName);
        QFETCH(QStringList, expected);
        writeFile(iniPath(), file);

        TFormRegistro w(m_dir.path());
        w.show();
        radio(w, toNatural ? "RadioButton4" : "RadioButton3")->click();
        QCOMPARE(edit(w, "Edit26")->text(), QString());
        edit(w, toNatural ? "Edit18" : "Edit1")->setText(typedName);
        w.AdvSmoothButton1Click();

        const auto stored = section(iniPath(), "MISDATOS");
        QCOMPARE(value(stored, "PERSONA"), toNatural ? QStringLiteral("F") : QStringLiteral("J"));
        QCOMPARE((QStringList{value(stored, "NOMBRE"), value(stored, "APELLIDO1"),
                              value(stored, "APELLIDO2"), value(stored, "CONTACTO")}),
                 expected);
    }

    // Only the first character counts, upper case only.
    void personTypeLetter_data() {
        QTest::addColumn<QByteArray>("persona");
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<bool>("naturalLayout");
        QTest::addColumn<bool>("nameLoaded");
        QTest::newRow("word with F") << QByteArray("Fisica") << "F" << true << true;
        QTest::newRow("word with J") << QByteArray("Juridica") << "J" << false << true;
        QTest::newRow("lower-case f") << QByteArray("f") << "f" << false << false;
        QTest::newRow("empty") << QByteArray("") << "" << false << false;
    }
    void personTypeLetter() {
        QFETCH(QByteArray, persona);
        QFETCH(QString, tipo);
        QFETCH(bool, naturalLayout);
        QFETCH(bool, nameLoaded);
        writeFile(iniPath(), "[MISDATOS]\nENTIDAD=2100\nIBAN=ES00\nPERSONA=" + persona +
                                 "\nNOMBRE=Xoán\nDIRECCION=Rúa Nova\nMAIL=a@b.es\n");
        TFormRegistro w(m_dir.path());
        w.show();
        QCOMPARE(w.TipoPersona(), tipo);
        QCOMPARE(edit(w, "Edit13")->text(), QStringLiteral("2100"));
        QCOMPARE(edit(w, "Edit17")->text(), QStringLiteral("ES00"));
        QCOMPARE(edit(w, "Edit18")->isVisible(), naturalLayout);
        QCOMPARE(edit(w, naturalLayout ? "Edit18" : "Edit1")->text(),
                 nameLoaded ? QStringLiteral("Xoán") : QString());
        QCOMPARE(edit(w, "Edit2")->text(), nameLoaded ? QStringLiteral("Rúa Nova") : QString());

        if (!nameLoaded) {
            // Storing now writes the radio button's letter and the empty edits.
            w.AdvSmoothButton1Click();
            const auto stored = section(iniPath(), "MISDATOS");
            QCOMPARE(value(stored, "PERSONA"), QStringLiteral("J"));
            QCOMPARE(value(stored, "NOMBRE"), QString());
            QCOMPARE(value(stored, "ENTIDAD"), QStringLiteral("2100"));
        }
    }

    void switchingLayoutKeepsHiddenTextButEmptiesContact() {
        TFormRegistro w(m_dir.path());
        w.show();
        edit(w, "Edit1")->setText(QStringLiteral("Ferretería Bos"));
        edit(w, "Edit26")->setText(QStringLiteral("Lois"));
        radio(w, "RadioButton4")->click();
        QVERIFY(!edit(w, "Edit1")->isVisible());
        QVERIFY(!edit(w, "Edit26")->isVisible());
        QVERIFY(w.findChild<QLabel*>("Label19")->isVisible());
        radio(w, "RadioButton3")->click();
        QCOMPARE(edit(w, "Edit1")->text(), QStringLiteral("Ferretería Bos"));
        QVERIFY(edit(w, "Edit26")->isVisible());
        QCOMPARE(edit(w, "Edit26")->text(), QString());
        QCOMPARE(caption(w, "Label1"), QStringLiteral("R.Social"));
    }

    void closeLeavesTheFileAlone() {
        const QByteArray before = "[MISDATOS]\r\nPERSONA=J\r\nNOMBRE=  Vella  \r\n";
        writeFile(iniPath(), before);
        TFormRegistro w(m_dir.path());
        w.show();
        edit(w, "Edit1")->setText(QStringLiteral("Nova"));
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton3"))->click();
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QCOMPARE(readFile(iniPath()), before);

        TFormRegistro again(m_dir.path());
        again.show();
        QCOMPARE(edit(again, "Edit1")->text(), QStringLiteral("Vella"));
    }

    // The typing limits bind what a person types, never what the file holds.
    void accountTypingLimits_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("limit");
        QTest::newRow("Edit13") << QByteArray("Edit13") << 4;
        QTest::newRow("Edit14") << QByteArray("Edit14") << 4;
        QTest::newRow("Edit15") << QByteArray("Edit15") << 2;
        QTest::newRow("Edit16") << QByteArray("Edit16") << 10;
    }
    void accountTypingLimits() {
        QFETCH(QByteArray, name);
        QFETCH(int, limit);
        writeFile(iniPath(), "[MISDATOS]\nENTIDAD=123456789012\nOFICINA=123456789012\n"
                             "DC=123456789012\nCUENTA=123456789012\n");
        TFormRegistro w(m_dir.path());
        w.show();
        QLineEdit* box = edit(w, name.constData());
        QCOMPARE(box->text(), QStringLiteral("123456789012")); // loaded whole

        // An over-long text can still be shortened and edited down.
        box->setCursorPosition(box->text().size());
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("12345678901"));
        QTest::keyClicks(box, QStringLiteral("9"));
        QCOMPARE(box->text(), QStringLiteral("12345678901"));

        box->clear();
        QTest::keyClicks(box, QStringLiteral("98765432109876"));
        QCOMPARE(box->text(), QStringLiteral("98765432109876").left(limit));
        box->setCursorPosition(0);
        QTest::keyClicks(box, QStringLiteral("5"));
        QCOMPARE(box->text().size(), limit);
        QVERIFY(!box->text().startsWith(u'5'));

        // A paste that does not fit is cut to what fits.
        box->clear();
        QTest::keyClicks(box, QStringLiteral("1"));
        QApplication::clipboard()->setText(QStringLiteral("ABCDEFGHIJKLMN"));
        QTest::keySequence(box, QKeySequence::Paste);
        QCOMPARE(box->text(), (QStringLiteral("1") + QStringLiteral("ABCDEFGHIJKLMN")).left(limit));
        // The IBAN has no limit.
        edit(w, "Edit17")->clear();
        QTest::keyClicks(edit(w, "Edit17"), QStringLiteral("ES9121000418450200051332"));
        QCOMPARE(edit(w, "Edit17")->text(), QStringLiteral("ES9121000418450200051332"));
    }

    // The IBAN is worked out from the account as on the main window, so
    // Registro.Ini holds the IBAN every invoice shows; one typed or stored
    // stays as it is.
    void ibanFollowsTheAccount_data() {
        QTest::addColumn<QString>("stored");    // [MISDATOS] keys
        QTest::addColumn<QStringList>("typed"); // the four account parts, typed
        QTest::addColumn<QString>("shown");     // IBAN box once loaded and typed
        QTest::addColumn<QString>("dc");        // DC and IBAN saved
        QTest::addColumn<QString>("iban");
        const QString account = QStringLiteral("ENTIDAD=2100\nOFICINA=0418\nCUENTA=0200051332\n");
        const QString iban = QStringLiteral("ES9121000418450200051332");
        QTest::newRow("stored without IBAN") << account + "DC=45\n"
                                             << QStringList() << iban << "45" << iban;
        QTest::newRow("stored without control digits or IBAN")
            << account << QStringList() << iban << "45" << iban;
        QTest::newRow("typed") << QString() << QStringList{"2100", "0418", "45", "0200051332"}
                               << iban << "45" << iban;
        QTest::newRow("typed without control digits")
            << QString() << QStringList{"2100", "0418", "", "0200051332"} << iban << "45" << iban;
        QTest::newRow("account cut short") << account + "DC=45\nIBAN=" + iban
                                           << QStringList{"2100", "0418", "45", "020005133"} << ""
                                           << "45"
                                           << "";
        QTest::newRow("foreign IBAN, no account") << "IBAN=DE89370400440532013000\n"
                                                  << QStringList() << "DE89370400440532013000"
                                                  << ""
                                                  << "DE89370400440532013000";
        QTest::newRow("stored IBAN stays")
            << account + "DC=45\nIBAN=ES91 2100 0418 4502 0005 1332\n"
            << QStringList() << "ES91 2100 0418 4502 0005 1332"
            << "45"
            << "ES91 2100 0418 4502 0005 1332";
    }
    void ibanFollowsTheAccount() {
        QFETCH(QString, stored);
        QFETCH(QStringList, typed);
        if (!stored.isEmpty())
            writeFile(iniPath(), ("[MISDATOS]\nPERSONA=J\n" + stored).toUtf8());
        TFormRegistro w(m_dir.path());
        w.show();
        const char* parts[] = {"Edit13", "Edit14", "Edit15", "Edit16"};
        for (int i = 0; i < typed.size(); ++i) {
            QLineEdit* box = edit(w, parts[i]);
            box->setFocus();
            box->selectAll();
            if (typed[i].isEmpty())
                QTest::keyClick(box, Qt::Key_Delete);
            else
                QTest::keyClicks(box, typed[i]);
        }
        QTEST(edit(w, "Edit17")->text(), "shown");
        w.AdvSmoothButton1Click();
        const auto saved = section(iniPath(), QStringLiteral("MISDATOS"));
        QTEST(value(saved, "DC"), "dc");
        QTEST(value(saved, "IBAN"), "iban");
    }

    // "Santiago de Compostela" shows whole in the town box.
    void longTownFits() {
        TFormRegistro w(m_dir.path());
        w.show();
        QLineEdit* town = edit(w, "Edit4");
        town->setText(QStringLiteral("Santiago de Compostela"));
        QVERIFY(town->fontMetrics().horizontalAdvance(town->text()) + 8 <= town->width());
    }

    // A store that cannot reach the disk says so, keeps the old file whole and
    // keeps the window open with what the user typed.
    void unwritableFileKeepsWindowAndOldFile() {
        QTemporaryDir dir;
        QString appDir = dir.path();
        QByteArray before;
        const bool root = ::geteuid() == 0;
        if (root) {
            // Permissions do not stop root: use a "folder" that is a file.
            appDir = dir.filePath(QStringLiteral("not-a-folder"));
            writeFile(appDir, "x");
        } else {
            before =
                "[MISDATOS]\nPERSONA=J\nNOMBRE=Antiga\nCONTACTO=Eva\n[AUTOFIRMA]\nPROGRAMA=a\n";
            writeFile(dir.filePath(QStringLiteral("Registro.Ini")), before);
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        }
        const QString path = appDir + QStringLiteral("/Registro.Ini");
        {
            TFormRegistro w(appDir);
            w.show();
            edit(w, "Edit1")->setText(QStringLiteral("Nova Razón"));
            w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton1"))->click();
            // The file's name, then the system's reason.
            QCOMPARE(m_prompts.errors().size(), 1);
            QVERIFY2(
                m_prompts.errors().first().startsWith(
                    QStringLiteral("No se puede guardar %1: ").arg(QDir::toNativeSeparators(path))),
                qPrintable(m_prompts.errors().first()));
            QVERIFY(w.isVisible());
            QCOMPARE(w.result(), int(QDialog::Rejected));
            QCOMPARE(edit(w, "Edit1")->text(), QStringLiteral("Nova Razón"));
        }
        if (!root) {
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QCOMPARE(readFile(path), before);
        }
    }
    void tabOrder() {
        TFormRegistro w(m_dir.path());
        // The screen's order: kind, name ... e-mail, account, IBAN, logo,
        // exemption reason, buttons.
        const QStringList order{"RadioButton3",    "Edit18",
                                "Edit19",          "Edit20",
                                "Edit1",           "Edit2",
                                "Edit3",           "Edit4",
                                "Edit5",           "Edit6",
                                "Edit26",          "Edit28",
                                "Edit13",          "Edit14",
                                "Edit15",          "Edit16",
                                "Edit17",          "eLogo",
                                "bLogo",           "CausaMotivo",
                                "MotivoExencion",  "CalificacionIva0",
                                "ComboBoxIrpf",    "AdvSmoothButton1",
                                "AdvSmoothButton3"};
        QCOMPARE(tabChain(w, order), order);
    }

    // The reason written on exempt lines is kept with the issuer's data.
    void exemptionReasonIsEditable() {
        writeFile(iniPath(), "[MISDATOS]\r\nPERSONA=J\r\nMOTIVOEXENCION=Exenta por el art. 20\r\n");
        TFormRegistro w(m_dir.path());
        w.show();
        QLineEdit* reason = edit(w, "MotivoExencion");
        QCOMPARE(reason->text(), QStringLiteral("Exenta por el art. 20"));
        reason->setText(QStringLiteral("Exenta según el artículo 20.Uno.9.º"));
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton1"))->click();
        InvoiceRecord record;
        RegistroIni::loadTreatmentSettings(record, m_dir.path());
        QCOMPARE(record.reasons().text(VatTreatment::E6),
                 QStringLiteral("Exenta según el artículo 20.Uno.9.º"));

        // Emptied: the usual reason again.
        TFormRegistro again(m_dir.path());
        again.show();
        edit(again, "MotivoExencion")->clear();
        again.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton1"))->click();
        QVERIFY(readFile(iniPath()).contains("MOTIVOEXENCION=\r\n"));
        RegistroIni::loadTreatmentSettings(record, m_dir.path());
        QCOMPARE(record.reasons().text(VatTreatment::E6),
                 TreatmentReasons::usualText(VatTreatment::E6));
    }

    // Each cause keeps its own reason, edited through the list beside it;
    // the cause of a line at 0 % is stored once another than E6 is chosen.
    void reasonPerCauseAndCauseAtZero() {
        writeFile(iniPath(), "[MISDATOS]\r\nPERSONA=J\r\nMOTIVOEXENCION=Otra causa\r\n");
        TFormRegistro w(m_dir.path());
        w.show();
        auto* cause = child<QComboBox>(w, "CausaMotivo");
        QLineEdit* reason = edit(w, "MotivoExencion");
        QCOMPARE(reason->text(), QStringLiteral("Otra causa")); // E6 shown first
        cause->setCurrentIndex(cause->findData(int(VatTreatment::E1)));
        QCOMPARE(reason->text(), QString());
        QCOMPARE(reason->placeholderText(), TreatmentReasons::usualText(VatTreatment::E1));
        reason->setText(QStringLiteral("Servicios médicos, art. 20.Uno.3.º"));
        cause->setCurrentIndex(cause->findData(int(VatTreatment::E6)));
        QCOMPARE(reason->text(), QStringLiteral("Otra causa"));
        auto* zero = child<QComboBox>(w, "CalificacionIva0");
        QCOMPARE(zero->currentData().toInt(), int(VatTreatment::E6));
        zero->setCurrentIndex(zero->findData(int(VatTreatment::N1)));
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton1"))->click();

        const QByteArray stored = readFile(iniPath());
        QVERIFY(stored.contains("MOTIVOE1=Servicios médicos, art. 20.Uno.3.º\r\n"));
        QVERIFY(stored.contains("MOTIVOEXENCION=Otra causa\r\n"));
        QVERIFY(stored.contains("CALIFICACIONIVA0=N1\r\n"));
        QVERIFY(!stored.contains("MOTIVOE2")); // never set: not written
        InvoiceRecord record;
        RegistroIni::loadTreatmentSettings(record, m_dir.path());
        QCOMPARE(record.reasons().text(VatTreatment::E1),
                 QStringLiteral("Servicios médicos, art. 20.Uno.3.º"));
        QCOMPARE(record.reasons().text(VatTreatment::E2),
                 TreatmentReasons::usualText(VatTreatment::E2));
        QCOMPARE(record.lines().zeroRateCause(), VatTreatment::N1);

        TFormRegistro again(m_dir.path());
        again.show();
        QCOMPARE(child<QComboBox>(again, "CalificacionIva0")->currentData().toInt(),
                 int(VatTreatment::N1));
    }

    // The usual withholding rate: stored in the files' form, only once it is
    // not 0, so a file without it keeps its keys; a rate that is none is
    // refused and nothing is stored.
    void usualWithholdingRate_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // "<missing>": no IRPF key
        QTest::addColumn<QString>("error");
        QTest::newRow("whole") << "15"
                               << "15" << QString();
        QTest::newRow("decimal comma") << "7,50"
                                       << "7,5" << QString();
        QTest::newRow("decimal point, as typed on screen") << "15.5"
                                                           << "15,5" << QString();
        QTest::newRow("0: no key") << "0"
                                   << "<missing>" << QString();
        QTest::newRow("empty: no key") << ""
                                       << "<missing>" << QString();
        QTest::newRow("over 100")
            << "150"
            << "<missing>"
            << QStringLiteral("El tipo de retención del I.R.P.F. «150» debe estar entre 0 y 100.");
        QTest::newRow("letters") << "abc"
                                 << "<missing>"
                                 << QStringLiteral("El tipo de retención del I.R.P.F. «abc» no es "
                                                   "un número (use la coma decimal: 12,50)");
    }
    void usualWithholdingRate() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, error);
        const QByteArray before = "[MISDATOS]\nPERSONA=J\nNOMBRE=Ana S.L.\n";
        writeFile(iniPath(), before);
        TFormRegistro w(m_dir.path());
        w.show();
        auto* rate = child<QComboBox>(w, "ComboBoxIrpf");
        QCOMPARE(rate->currentText(), QStringLiteral("0"));
        rate->setEditText(typed);
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton1"))->click();
        QCOMPARE(m_prompts.errors(), error.isEmpty() ? QStringList() : QStringList{error});
        if (!error.isEmpty()) {
            QVERIFY(w.isVisible());
            QCOMPARE(readFile(iniPath()), before);
            return;
        }
        QCOMPARE(value(section(iniPath(), QStringLiteral("MISDATOS")), QStringLiteral("IRPF")),
                 stored);
        // Shown again as stored.
        TFormRegistro again(m_dir.path());
        again.show();
        QCOMPARE(child<QComboBox>(again, "ComboBoxIrpf")->currentText(),
                 stored == u"<missing>" ? QStringLiteral("0") : stored);
    }
};

QTEST_MAIN(tst_uRegistro)
#include "tst_uRegistro.moc"
