#include "common/AppError.h"
#include "invoice/BankAccount.h"
#include "invoice/InvoiceRecord.h"

#include <QTest>

// Control digits of a Spanish account, the IBAN, and entering the IBAN box.
class tst_BankAccount : public QObject {
    Q_OBJECT
private slots:
    void controlDigits_data();
    void controlDigits();
    void computeIban_data();
    void computeIban();
    void enteringTheIbanBox_data();
    void enteringTheIbanBox();
};

void tst_BankAccount::controlDigits_data() {
    QTest::addColumn<QString>("entityAndOffice");
    QTest::addColumn<QString>("account");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("error");

    QTest::newRow("example account") << "12345678"
                                     << "0123456789" << 1 << "";
    QTest::newRow("d1 of 11 becomes 0, d2 of 11 becomes 0") << "00000000"
                                                            << "0000000000" << 0 << "";
    QTest::newRow("real account") << "21000418"
                                  << "0200051332" << 45 << "";
    // Only the first eight and ten characters count.
    QTest::newRow("longer texts") << "123456789"
                                  << "0123456789999" << 1 << "";
    QTest::newRow("letter in the office")
        << "1234567A"
        << "0123456789" << -1 << "La cuenta bancaria lleva «A», que no es un dígito";
    QTest::newRow("first bad position from the right")
        << "1X34567Y"
        << "0123456789" << -1 << "La cuenta bancaria lleva «Y», que no es un dígito";
    QTest::newRow("blank in the account")
        << "12345678"
        << "01234 6789" << -1 << "La cuenta bancaria lleva « », que no es un dígito";
    QTest::newRow("entity too short")
        << "1235678"
        << "0123456789" << -1
        << "La cuenta bancaria está incompleta: la entidad y la oficina llevan 4 dígitos cada "
           "una y el número de cuenta 10";
    QTest::newRow("all empty")
        << ""
        << "" << -1
        << "La cuenta bancaria está incompleta: la entidad y la oficina llevan 4 dígitos cada "
           "una y el número de cuenta 10";
}

void tst_BankAccount::controlDigits() {
    QFETCH(QString, entityAndOffice);
    QFETCH(QString, account);
    QFETCH(int, digits);
    QFETCH(QString, error);
    try {
        QCOMPARE(BankAccount::BankControlDigits(entityAndOffice, account), digits);
        QVERIFY(error.isEmpty());
    } catch (const AppError& e) {
        QCOMPARE(e.message(), error);
    }
}

void tst_BankAccount::computeIban_data() {
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("iban");

    QTest::newRow("Spanish account") << ""
                                     << "12345678010123456789"
                                     << "ES5812345678010123456789";
    QTest::newRow("blank country means ES") << "  "
                                            << "12345678010123456789"
                                            << "ES5812345678010123456789";
    QTest::newRow("formatted IBAN with wrong check digits") << ""
                                                            << "es00 1234-5678-01-0123456789"
                                                            << "ES5812345678010123456789";
    QTest::newRow("real account") << ""
                                  << "21000418450200051332"
                                  << "ES9121000418450200051332";
    QTest::newRow("letters in the account") << ""
                                            << "GB00WEST12345698765432"
                                            << "GB82WEST12345698765432";
    QTest::newRow("only control digits") << ""
                                         << "45"
                                         << "ES3145";
    QTest::newRow("country argument") << "FR"
                                      << "20041010050500013M02606"
                                      << "FR1420041010050500013M02606";
    QTest::newRow("surrounding blanks") << ""
                                        << "  12345678010123456789\t"
                                        << "ES5812345678010123456789";
    QTest::newRow("34 characters") << "" << QString(34, u'1') << "ES21" + QString(34, u'1');
    QTest::newRow("35 characters") << "" << QString(35, u'1') << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("blanks only") << ""
                                 << "    "
                                 << "";
    QTest::newRow("letter third") << ""
                                  << "ESX812345678010123456789"
                                  << "";
    QTest::newRow("letter fourth") << ""
                                   << "ES5X12345678010123456789"
                                   << "";
}

void tst_BankAccount::computeIban() {
    QFETCH(QString, country);
    QFETCH(QString, account);
    QTEST(BankAccount::ComputeIban(country, account), "iban");
}

void tst_BankAccount::enteringTheIbanBox_data() {
    QTest::addColumn<QStringList>("parts"); // Edit13..Edit16
    QTest::addColumn<QString>("control");   // Edit15 afterwards
    QTest::addColumn<QString>("iban");      // Edit17 afterwards
    QTest::addColumn<QString>("error");

    QTest::newRow("control digits filled in")
        << QStringList{"1234", "5678", "", "0123456789"} << "01"
        << "ES5812345678010123456789"
        << "";
    QTest::newRow("control digits kept") << QStringList{"1234", "5678", "01", "0123456789"} << "01"
                                         << "ES5812345678010123456789"
                                         << "";
    QTest::newRow("wrong control digits carried over")
        << QStringList{"1234", "5678", "99", "0123456789"} << "99"
        << "ES9312345678990123456789"
        << "";
    QTest::newRow("only control digits") << QStringList{"", "", "45", ""} << "45"
                                         << "ES3145"
                                         << "";
    QTest::newRow("all empty: message, nothing changes")
        << QStringList{"", "", "", ""} << ""
        << "previous"
        << "La cuenta bancaria está incompleta: la entidad y la oficina llevan 4 dígitos cada "
           "una y el número de cuenta 10";
    QTest::newRow("letter in the account") << QStringList{"1234", "5678", "", "01234X6789"} << ""
                                           << "previous"
                                           << "La cuenta bancaria lleva «X», que no es un dígito";
    QTest::newRow("too long for an IBAN")
        << QStringList{"1234", "5678", "01", QString(30, u'9')} << "01"
        << ""
        << "";
}

void tst_BankAccount::enteringTheIbanBox() {
    QFETCH(QStringList, parts);
    QFETCH(QString, control);
    QFETCH(QString, iban);
    QFETCH(QString, error);

    InvoiceRecord r;
    r.setText(RecordField::BankEntity, parts[0]);
    r.setText(RecordField::BankOffice, parts[1]);
    r.setText(RecordField::BankControlDigits, parts[2]);
    r.setText(RecordField::BankAccountNumber, parts[3]);
    r.setText(RecordField::Iban, QStringLiteral("previous"));
    try {
        BankAccount::workOutIban(r);
        QVERIFY2(error.isEmpty(), "no error was raised");
        QCOMPARE(r.cuentaCompleta(), parts[0] + parts[1] + control + parts[3]);
    } catch (const AppError& e) {
        QCOMPARE(e.message(), error);
    }
    QCOMPARE(r.text(RecordField::BankControlDigits), control);
    QCOMPARE(r.text(RecordField::Iban), iban);
}

QTEST_APPLESS_MAIN(tst_BankAccount)
#include "tst_BankAccount.moc"
