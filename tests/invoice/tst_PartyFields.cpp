#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"

#include <QHash>
#include <QSet>
#include <QTest>

// The one table of a party's fields, and loading a party by its keys.
class tst_PartyFields : public QObject {
    Q_OBJECT
private slots:
    void eachRecordFieldBelongsToOnePartyField();
    void load_data();
    void load();
    void personTypeOf_data();
    void personTypeOf();
};

void tst_PartyFields::eachRecordFieldBelongsToOnePartyField() {
    QSet<RecordField> seen;
    for (const PartyFieldInfo& info : PartyFields::all()) {
        for (Party party : {Party::Issuer, Party::Customer}) {
            const auto field = PartyFields::recordField(party, info.field);
            if (!field)
                continue;
            QVERIFY2(!seen.contains(*field), info.iniKey);
            seen.insert(*field);
        }
        QVERIFY(info.legalEntity || info.naturalPerson);
    }
    // Eleven issuer fields, ten customer fields: the customer has no e-mail.
    QCOMPARE(seen.size(), 21);
    QVERIFY(!PartyFields::recordField(Party::Customer, PartyField::Email));
    // The name key carries either name; everything else has a key of its own.
    QCOMPARE(PartyFields::iniKey(PartyField::CorporateName),
             PartyFields::iniKey(PartyField::FirstName));
}

void tst_PartyFields::load_data() {
    QTest::addColumn<int>("party");
    QTest::addColumn<PersonType>("type");
    QTest::addColumn<QStringList>("names"); // corporate, first, surname 1, surname 2
    QTest::addColumn<QString>("contact");
    QTest::addColumn<QString>("email");
    QTest::newRow("issuer, legal entity") << int(Party::Issuer) << PersonType::LegalEntity
                                          << QStringList{"v:NOMBRE", "", "", ""} << "v:CONTACTO"
                                          << "v:MAIL";
    QTest::newRow("issuer, natural person: no contact")
        << int(Party::Issuer) << PersonType::NaturalPerson
        << QStringList{"", "v:NOMBRE", "v:APELLIDO1", "v:APELLIDO2"} << ""
        << "v:MAIL";
    QTest::newRow("customer, legal entity: no e-mail")
        << int(Party::Customer) << PersonType::LegalEntity << QStringList{"v:NOMBRE", "", "", ""}
        << "v:CONTACTO"
        << "";
}

void tst_PartyFields::load() {
    QFETCH(int, party);
    QFETCH(PersonType, type);
    QFETCH(QStringList, names);
    const Party p = Party(party);
    InvoiceRecord r;
    QStringList asked;
    PartyFields::load(r, p, type, [&](const QString& key) {
        asked << key;
        return QStringLiteral("v:") + key;
    });
    QCOMPARE(r.personType(p), type);
    auto text = [&](PartyField f) { return r.text(*PartyFields::recordField(p, f)); };
    QCOMPARE((QStringList{text(PartyField::CorporateName), text(PartyField::FirstName),
                          text(PartyField::FirstSurname), text(PartyField::SecondSurname)}),
             names);
    QTEST(text(PartyField::Contact), "contact");
    QCOMPARE(text(PartyField::Address), QStringLiteral("v:DIRECCION"));
    QCOMPARE(text(PartyField::PostCode), QStringLiteral("v:CP"));
    QCOMPARE(text(PartyField::Town), QStringLiteral("v:POBLACION"));
    QCOMPARE(text(PartyField::Province), QStringLiteral("v:PROVINCIA"));
    QCOMPARE(text(PartyField::TaxId), QStringLiteral("v:NIF"));
    QFETCH(QString, email);
    QCOMPARE(r.text(RecordField::IssuerEmail), email);
    QCOMPARE(asked.contains(QStringLiteral("MAIL")), p == Party::Issuer);
}

void tst_PartyFields::personTypeOf_data() {
    QTest::addColumn<QString>("letter");
    QTest::addColumn<int>("type"); // -1: none
    QTest::newRow("J") << "J" << int(PersonType::LegalEntity);
    QTest::newRow("F") << "F" << int(PersonType::NaturalPerson);
    QTest::newRow("lower case") << "f" << -1;
    QTest::newRow("a word") << "Fisica" << -1;
    QTest::newRow("empty") << "" << -1;
}

void tst_PartyFields::personTypeOf() {
    QFETCH(QString, letter);
    QFETCH(int, type);
    const auto found = PartyFields::personTypeOf(letter);
    QCOMPARE(found ? int(*found) : -1, type);
}

QTEST_APPLESS_MAIN(tst_PartyFields)
#include "tst_PartyFields.moc"
