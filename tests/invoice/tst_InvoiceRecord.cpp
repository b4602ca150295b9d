#include "invoice/InvoiceRecord.h"

#include <QSignalSpy>
#include <QTest>

// Person type of each party and the "Admón. del estado." tick.
class tst_InvoiceRecord : public QObject {
    Q_OBJECT
private slots:
    void switchingKindEmptiesTheContactOnly_data();
    void switchingKindEmptiesTheContactOnly();
    void selectingTheSelectedKindKeepsTheContact();
    void customerLabel();
    void administrationTick();
};

void tst_InvoiceRecord::switchingKindEmptiesTheContactOnly_data() {
    QTest::addColumn<Party>("party");
    QTest::newRow("issuer") << Party::Issuer;
    QTest::newRow("customer") << Party::Customer;
}

void tst_InvoiceRecord::switchingKindEmptiesTheContactOnly() {
    QFETCH(Party, party);
    const bool issuer = party == Party::Issuer;
    const RecordField corporate =
        issuer ? RecordField::IssuerCorporateName : RecordField::CustomerCorporateName;
    const RecordField contact = issuer ? RecordField::IssuerContact : RecordField::CustomerContact;
    const RecordField firstName =
        issuer ? RecordField::IssuerFirstName : RecordField::CustomerFirstName;

    InvoiceRecord r;
    QCOMPARE(r.personType(party), PersonType::LegalEntity);
    r.setText(corporate, QStringLiteral("Talleres S.L."));
    r.setText(contact, QStringLiteral("Ana"));
    r.selectPersonType(party, PersonType::NaturalPerson);
    QCOMPARE(r.personType(party), PersonType::NaturalPerson);
    QCOMPARE(r.nameLabel(party), QStringLiteral("Nombre"));
    QVERIFY(r.text(contact).isEmpty());
    r.setText(firstName, QStringLiteral("Xoán"));

    r.selectPersonType(party, PersonType::LegalEntity);
    QCOMPARE(r.text(corporate), QStringLiteral("Talleres S.L."));
    QCOMPARE(r.text(firstName), QStringLiteral("Xoán"));
    QVERIFY(r.text(contact).isEmpty());
    QCOMPARE(r.nameLabel(party), QStringLiteral("R.Social"));
}

void tst_InvoiceRecord::selectingTheSelectedKindKeepsTheContact() {
    InvoiceRecord r;
    r.setText(RecordField::IssuerContact, QStringLiteral("Ana"));
    QSignalSpy changes(&r, &InvoiceRecord::personTypeChanged);
    r.selectPersonType(Party::Issuer, PersonType::LegalEntity);
    QCOMPARE(r.text(RecordField::IssuerContact), QStringLiteral("Ana"));
    QCOMPARE(changes.count(), 0);

    // The legal-entity layout keeps a contact just filled; the natural-person
    // layout empties it.
    r.applyLayout(Party::Issuer);
    QCOMPARE(r.text(RecordField::IssuerContact), QStringLiteral("Ana"));
}

void tst_InvoiceRecord::customerLabel() {
    InvoiceRecord r;
    QCOMPARE(r.nameLabel(Party::Customer), QStringLiteral("R. Social"));
    QCOMPARE(r.nameLabel(Party::Issuer), QStringLiteral("R.Social"));
    r.selectPersonType(Party::Customer, PersonType::NaturalPerson);
    r.selectPersonType(Party::Customer, PersonType::LegalEntity);
    QCOMPARE(r.nameLabel(Party::Customer), QStringLiteral("R.Social"));
}

// The tick is the invoice's alone: views hear of each change, importing or
// not; asking for the centres is the window's business.
void tst_InvoiceRecord::administrationTick() {
    InvoiceRecord r;
    QSignalSpy changed(&r, &InvoiceRecord::administrationChanged);
    r.setImportando(true);
    r.setAdministration(true);
    QVERIFY(r.isAdministration());
    r.setImportando(false);
    r.setAdministration(true); // already ticked: nothing to say
    r.setAdministration(false);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed[0][0].toBool(), true);
    QCOMPARE(changed[1][0].toBool(), false);
}

QTEST_APPLESS_MAIN(tst_InvoiceRecord)
#include "tst_InvoiceRecord.moc"
