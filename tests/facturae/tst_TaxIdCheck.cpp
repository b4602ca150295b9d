#include "facturae/PaymentChecks.h"
#include "facturae/TaxIdCheck.h"

#include <QTest>

// Spanish tax ids and their check characters, IBANs and their mod-97 digits.
class tst_TaxIdCheck : public QObject {
    Q_OBJECT
private slots:
    void taxIds_data();
    void taxIds();
    void ibans_data();
    void ibans();
};

Q_DECLARE_METATYPE(TaxIdCheck::Kind)

void tst_TaxIdCheck::taxIds_data() {
    using K = TaxIdCheck::Kind;
    QTest::addColumn<QString>("written");
    QTest::addColumn<K>("kind");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("tidied");
    QTest::addColumn<QString>("expected");

    // A person's NIF: eight digits and the letter of their remainder by 23.
    QTest::newRow("person") << "12345678Z" << K::Person << true << false << "Z";
    QTest::newRow("person, other") << "45678901G" << K::Person << true << false << "G";
    QTest::newRow("person, leading zeros") << "00000023T" << K::Person << true << false << "T";
    QTest::newRow("person, wrong letter") << "12345678A" << K::Person << false << false << "Z";
    QTest::newRow("person, lower case") << "12345678z" << K::Person << true << true << "Z";
    QTest::newRow("person, blanks and dots")
        << " 12.345.678 - Z " << K::Person << true << true << "Z";
    QTest::newRow("person, ES prefix") << "ES12345678Z" << K::Person << true << false << "Z";
    QTest::newRow("person, ES prefix and blank")
        << "ES 12345678Z" << K::Person << true << true << "Z";
    QTest::newRow("person, seven digits") << "1234567Z" << K::Unrecognised << false << false << "";
    QTest::newRow("K, person letter on seven digits")
        << "K1234567L" << K::Person << true << false << "L";
    QTest::newRow("K, wrong letter") << "K1234567A" << K::Person << false << false << "L";

    // NIE: X, Y, Z stand for 0, 1, 2 in front of the seven digits.
    QTest::newRow("NIE X") << "X1234567L" << K::Foreigner << true << false << "L";
    QTest::newRow("NIE Y") << "Y1234567X" << K::Foreigner << true << false << "X";
    QTest::newRow("NIE Z") << "Z1234567R" << K::Foreigner << true << false << "R";
    QTest::newRow("NIE, wrong letter") << "X1234567T" << K::Foreigner << false << false << "L";
    QTest::newRow("NIE, lower case and hyphen")
        << "y-1234567-x" << K::Foreigner << true << true << "X";

    // Entities: a digit for A, B, E, H; a letter for P, Q, R, S, N, W and
    // for ids of non-residents (00 after the letter); either for the rest.
    QTest::newRow("company A") << "A28017895" << K::Entity << true << false << "5";
    QTest::newRow("company B") << "B15123458" << K::Entity << true << false << "8";
    QTest::newRow("company, wrong digit") << "B15123456" << K::Entity << false << false << "8";
    QTest::newRow("company, letter instead of digit")
        << "A2801789E" << K::Entity << false << false << "5";
    QTest::newRow("public body P") << "P1500200I" << K::Entity << true << false << "I";
    QTest::newRow("public body, wrong letter") << "P1500200A" << K::Entity << false << false << "I";
    QTest::newRow("public body, digit instead of letter")
        << "Q12345674" << K::Entity << false << false << "D";
    QTest::newRow("non-resident, letter") << "B0012345E" << K::Entity << true << false << "E";
    QTest::newRow("non-resident, digit") << "B00123455" << K::Entity << false << false << "E";
    QTest::newRow("association G, digit") << "G12345674" << K::Entity << true << false << "4";
    QTest::newRow("association G, letter") << "G1234567D" << K::Entity << true << false << "D";
    QTest::newRow("association G, wrong") << "G1234567C" << K::Entity << false << false << "D";
    QTest::newRow("entity, lower case") << "b15123458" << K::Entity << true << true << "8";
    QTest::newRow("entity, ES prefix") << "ESB15123458" << K::Entity << true << false << "8";
    QTest::newRow("entity, unknown letter")
        << "I15123458" << K::Unrecognised << false << false << "";

    QTest::newRow("other country") << "FR40303265045" << K::OtherCountry << false << false << "";
    QTest::newRow("other country, Portugal")
        << "PT 501 964 843" << K::OtherCountry << false << true << "";
    QTest::newRow("empty") << "" << K::Unrecognised << false << false << "";
    QTest::newRow("blank") << "   " << K::Unrecognised << false << true << "";
    QTest::newRow("too short") << "123" << K::Unrecognised << false << false << "";
    QTest::newRow("ES and nothing Spanish") << "ES123" << K::Unrecognised << false << false << "";
}

void tst_TaxIdCheck::taxIds() {
    QFETCH(QString, written);
    QFETCH(TaxIdCheck::Kind, kind);
    QFETCH(bool, valid);
    QFETCH(bool, tidied);
    QFETCH(QString, expected);
    const TaxIdCheck::Result result = TaxIdCheck::check(written);
    QCOMPARE(result.kind, kind);
    QCOMPARE(result.valid, valid);
    QCOMPARE(result.tidied, tidied);
    QCOMPARE(result.expected, expected);
    QCOMPARE(result.problem.isEmpty(), valid);
}

void tst_TaxIdCheck::ibans_data() {
    QTest::addColumn<QString>("iban");
    QTest::addColumn<bool>("valid");
    QTest::newRow("Spanish") << "ES9121000418450200051332" << true;
    QTest::newRow("Spanish, blanks") << "ES91 2100 0418 4502 0005 1332" << true;
    QTest::newRow("Spanish, lower case") << "es9121000418450200051332" << true;
    QTest::newRow("German") << "DE89370400440532013000" << true;
    QTest::newRow("digit changed") << "ES9121000418450200051333" << false;
    QTest::newRow("digits swapped") << "ES9121000418450200051323" << false;
    QTest::newRow("check digits 00") << "ES0021000418450200051332" << false;
    QTest::newRow("no country") << "9121000418450200051332" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("symbols") << "ES91-2100-0418" << false;
}

void tst_TaxIdCheck::ibans() {
    QFETCH(QString, iban);
    QFETCH(bool, valid);
    QCOMPARE(PaymentChecks::ibanValid(iban), valid);
}

QTEST_GUILESS_MAIN(tst_TaxIdCheck)
#include "tst_TaxIdCheck.moc"
