#include "invoice/InvoiceRecord.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// Registro.Ini: the issuer loaded at start, the store of MISDATOS and the
// AutoFirma settings.
class tst_RegistroIni : public QObject {
    Q_OBJECT
private slots:
    void loadIssuerAtStart_data();
    void loadIssuerAtStart();
    void loadWithoutFileChangesNothing();
    void storeWritesKeysInOrder_data();
    void storeWritesKeysInOrder();
    void storeAsLegalEntityLeavesSurnames();
    void spanishLettersRoundTrip();
    void autoFirmaSettings();
};

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Key names of a section in file order.
QStringList keysOf(const QString& text) {
    QStringList keys;
    static const QRegularExpression key(QStringLiteral("^([^=\\[\\r\\n]+)="),
                                        QRegularExpression::MultilineOption);
    for (auto it = key.globalMatch(text); it.hasNext();)
        keys << it.next().captured(1);
    return keys;
}

const QByteArray BankKeys = "ENTIDAD= 2100 \nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                            "IBAN=\"ES9121000418450200051332\"\n";
const QByteArray PartyKeys = "NOMBRE=Xoán\nAPELLIDO1=Pérez\nAPELLIDO2=Núñez\nDIRECCION=Rúa 1\n"
                             "CP=15705\nPOBLACION=Santiago\nPROVINCIA=A Coruña\nNIF=B1\n"
                             "CONTACTO=Ana\nMAIL=a@b.es\n";

} // namespace

void tst_RegistroIni::loadIssuerAtStart_data() {
    QTest::addColumn<QByteArray>("persona");
    QTest::addColumn<PersonType>("type");
    QTest::addColumn<QStringList>("names"); // corporate, first, surname 1, surname 2
    QTest::addColumn<QString>("contact");
    QTest::addColumn<QString>("address");

    const QStringList untouched{"Previa S.L.", "", "", ""};
    QTest::newRow("legal entity") << QByteArray("PERSONA=J\n") << PersonType::LegalEntity
                                  << QStringList{"Xoán", "", "", ""} << "Ana"
                                  << "Rúa 1";
    QTest::newRow("natural person: contact emptied although stored")
        << QByteArray("PERSONA=F\n") << PersonType::NaturalPerson
        << QStringList{"Previa S.L.", "Xoán", "Pérez", "Núñez"} << ""
        << "Rúa 1";
    QTest::newRow("a word beginning with F")
        << QByteArray("PERSONA=Fisica\n") << PersonType::NaturalPerson
        << QStringList{"Previa S.L.", "Xoán", "Pérez", "Núñez"} << ""
        << "Rúa 1";
    QTest::newRow("lower-case j: bank fields only")
        << QByteArray("PERSONA=j\n") << PersonType::LegalEntity << untouched << "Previo contacto"
        << "Previa 2";
    QTest::newRow("lower-case f: bank fields only")
        << QByteArray("PERSONA=f\n") << PersonType::LegalEntity << untouched << "Previo contacto"
        << "Previa 2";
    QTest::newRow("PERSONA missing: bank fields only")
        << QByteArray() << PersonType::LegalEntity << untouched << "Previo contacto"
        << "Previa 2";
}

void tst_RegistroIni::loadIssuerAtStart() {
    QFETCH(QByteArray, persona);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("Registro.Ini")),
              "[MISDATOS]\n" + BankKeys + persona + PartyKeys);

    InvoiceRecord r;
    r.setText(RecordField::IssuerCorporateName, QStringLiteral("Previa S.L."));
    r.setText(RecordField::IssuerContact, QStringLiteral("Previo contacto"));
    r.setText(RecordField::IssuerAddress, QStringLiteral("Previa 2"));
    RegistroIni::loadIssuerAtStart(r, dir.path());

    QCOMPARE(r.text(RecordField::BankEntity), QStringLiteral("2100"));
    QCOMPARE(r.text(RecordField::BankOffice), QStringLiteral("0418"));
    QCOMPARE(r.text(RecordField::BankControlDigits), QStringLiteral("45"));
    QCOMPARE(r.text(RecordField::BankAccountNumber), QStringLiteral("0200051332"));
    QCOMPARE(r.text(RecordField::Iban), QStringLiteral("ES9121000418450200051332"));
    QTEST(r.personType(Party::Issuer), "type");
    QFETCH(QStringList, names);
    QCOMPARE(r.text(RecordField::IssuerCorporateName), names[0]);
    QCOMPARE(r.text(RecordField::IssuerFirstName), names[1]);
    QCOMPARE(r.text(RecordField::IssuerFirstSurname), names[2]);
    QCOMPARE(r.text(RecordField::IssuerSecondSurname), names[3]);
    QTEST(r.text(RecordField::IssuerContact), "contact");
    QTEST(r.text(RecordField::IssuerAddress), "address");
}

void tst_RegistroIni::loadWithoutFileChangesNothing() {
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setText(RecordField::BankEntity, QStringLiteral("9999"));
    r.setText(RecordField::IssuerContact, QStringLiteral("Ana"));
    RegistroIni::loadIssuerAtStart(r, dir.path());
    QCOMPARE(r.text(RecordField::BankEntity), QStringLiteral("9999"));
    QCOMPARE(r.text(RecordField::IssuerContact), QStringLiteral("Ana"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Registro.Ini"))));
}

void tst_RegistroIni::storeWritesKeysInOrder_data() {
    QTest::addColumn<PersonType>("type");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("legal entity: 14 keys")
        << PersonType::LegalEntity
        << QStringList{"ENTIDAD",   "OFICINA", "DC",        "CUENTA", "IBAN",
                       "PERSONA",   "NOMBRE",  "DIRECCION", "CP",     "POBLACION",
                       "PROVINCIA", "NIF",     "CONTACTO",  "MAIL"};
    QTest::newRow("natural person: 16 keys")
        << PersonType::NaturalPerson
        << QStringList{"ENTIDAD",   "OFICINA",   "DC",        "CUENTA",    "IBAN", "PERSONA",
                       "NOMBRE",    "APELLIDO1", "APELLIDO2", "DIRECCION", "CP",   "POBLACION",
                       "PROVINCIA", "NIF",       "CONTACTO",  "MAIL"};
}

void tst_RegistroIni::storeWritesKeysInOrder() {
    QFETCH(PersonType, type);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Registro.Ini"));
    // First run: no file, every edit empty.
    IniFile ini(path);
    IssuerSettings{}.write(ini, type);
    ini.save();

    const IniFile stored(path);
    QCOMPARE(stored.text().left(11), QStringLiteral("[MISDATOS]\n"));
    QTEST(keysOf(stored.text()), "keys");
    QCOMPARE(stored.readString(QStringLiteral("MISDATOS"), QStringLiteral("PERSONA")),
             type == PersonType::LegalEntity ? QStringLiteral("J") : QStringLiteral("F"));
    QCOMPARE(stored.readString(QStringLiteral("MISDATOS"), QStringLiteral("NIF"), "-"), QString());
}

void tst_RegistroIni::storeAsLegalEntityLeavesSurnames() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Registro.Ini"));
    writeFile(path,
              "[MISDATOS]\n" + BankKeys + "PERSONA=F\n" + PartyKeys + "[AUTOFIRMA]\nPROGRAMA=x\n");

    IniFile ini(path);
    IssuerSettings s = IssuerSettings::read(ini);
    QCOMPARE(s.personLetter(), QStringLiteral("F"));
    s.name = QStringLiteral("Talleres S.L."); // Edit1 after the switch
    s.contact.clear();
    s.write(ini, PersonType::LegalEntity);
    ini.save();

    const IniFile stored(path);
    QCOMPARE(keysOf(stored.text()),
             (QStringList{"ENTIDAD", "OFICINA", "DC", "CUENTA", "IBAN", "PERSONA", "NOMBRE",
                          "APELLIDO1", "APELLIDO2", "DIRECCION", "CP", "POBLACION", "PROVINCIA",
                          "NIF", "CONTACTO", "MAIL", "PROGRAMA"}));
    const IssuerSettings back = IssuerSettings::read(stored);
    QCOMPARE(back.persona, QStringLiteral("J"));
    QCOMPARE(back.name, QStringLiteral("Talleres S.L."));
    QCOMPARE(back.surname1, QStringLiteral("Pérez"));
    QCOMPARE(back.surname2, QStringLiteral("Núñez"));
    QCOMPARE(back.contact, QString());
    QCOMPARE(AutoFirmaSettings::read(stored).program, QStringLiteral("x"));
}

void tst_RegistroIni::spanishLettersRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Registro.Ini"));
    IssuerSettings s;
    s.entity = QStringLiteral("2100");
    s.name = QStringLiteral("Íñigo");
    s.surname1 = QStringLiteral("Güemes");
    s.surname2 = QStringLiteral("Ibáñez");
    s.address = QStringLiteral("Rúa Ósca, 3º");
    s.town = QStringLiteral("Éibar");
    s.province = QStringLiteral("Gipuzkoa ÁÉÍÓÚÜÑ");
    s.email = QStringLiteral("iñigo@example.es");
    IniFile ini(path);
    s.write(ini, PersonType::NaturalPerson);
    ini.save();

    InvoiceRecord r;
    RegistroIni::loadIssuerAtStart(r, dir.path());
    QCOMPARE(r.personType(Party::Issuer), PersonType::NaturalPerson);
    QCOMPARE(r.text(RecordField::IssuerFirstName), s.name);
    QCOMPARE(r.text(RecordField::IssuerFirstSurname), s.surname1);
    QCOMPARE(r.text(RecordField::IssuerSecondSurname), s.surname2);
    QCOMPARE(r.text(RecordField::IssuerAddress), s.address);
    QCOMPARE(r.text(RecordField::IssuerTown), s.town);
    QCOMPARE(r.text(RecordField::IssuerProvince), s.province);
    QCOMPARE(r.text(RecordField::IssuerEmail), s.email);
}

void tst_RegistroIni::autoFirmaSettings() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Registro.Ini"));
    // Without a file every setting is empty: nothing is made up to start.
    const AutoFirmaSettings none = AutoFirmaSettings::read(IniFile(path));
    for (const QString& value : {none.folder, none.program, none.command, none.format})
        QCOMPARE(value, QString());

    writeFile(path, "[MISDATOS]\nNIF=B1\n");
    IniFile ini(path);
    AutoFirmaSettings{QStringLiteral("/opt/Auto Firma"), QStringLiteral("AutoFirma"),
                      QStringLiteral("Sign -gui"), QStringLiteral("-format XADES")}
        .write(ini);
    ini.save();
    QCOMPARE(keysOf(IniFile(path).text()),
             (QStringList{"NIF", "RUTAPROGRAMA", "PROGRAMA", "COMANDO", "FIRMA"}));

    const AutoFirmaSettings s = AutoFirmaSettings::read(IniFile(path));
    QCOMPARE(s.folder, QStringLiteral("/opt/Auto Firma"));
    QCOMPARE(s.program, QStringLiteral("AutoFirma"));
    QCOMPARE(s.command, QStringLiteral("Sign -gui"));
    QCOMPARE(s.format, QStringLiteral("-format XADES"));
}

QTEST_APPLESS_MAIN(tst_RegistroIni)
#include "tst_RegistroIni.moc"
