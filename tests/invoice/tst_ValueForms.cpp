#include "common/ValueForms.h"

#include <QTest>

// The forms in which numbers, whole numbers and dates arrive from an import
// file or from typing.
class tst_ValueForms : public QObject {
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void wholeNumbers_data();
    void wholeNumbers();
    void dates_data();
    void dates();
};

void tst_ValueForms::numbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");

    QTest::newRow("decimal comma") << "12,50" << true << 12.5;
    QTest::newRow("whole") << "7" << true << 7.0;
    QTest::newRow("negative") << "-3,25" << true << -3.25;
    QTest::newRow("plus sign") << "+2,5" << true << 2.5;
    QTest::newRow("blanks around") << "  4,5 \t" << true << 4.5;
    QTest::newRow("exponent") << "1,5e2" << true << 150.0;
    QTest::newRow("capital exponent, negative") << "25E-1" << true << 2.5;
    QTest::newRow("exponent with plus") << "1e+3" << true << 1000.0;
    QTest::newRow("point as decimal mark") << "12.50" << false << 0.0;
    QTest::newRow("point grouping thousands") << "1.250,00" << false << 0.0;
    QTest::newRow("blank inside") << "1 000" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("only blanks") << "   " << false << 0.0;
    QTest::newRow("letters") << "doce" << false << 0.0;
    QTest::newRow("sign alone") << "-" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("trailing text") << "12,5 EUR" << false << 0.0;
    QTest::newRow("beyond a double") << "1e400" << false << 0.0;
}

void tst_ValueForms::numbers() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const auto parsed = ValueForms::parseNumber(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(static_cast<double>(*parsed), value);
}

void tst_ValueForms::wholeNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");

    QTest::newRow("digits") << "12" << true << 12;
    QTest::newRow("blanks") << " 3 " << true << 3;
    QTest::newRow("negative") << "-2" << true << -2;
    QTest::newRow("plus") << "+4" << true << 4;
    QTest::newRow("hexadecimal") << "0x10" << true << 16;
    QTest::newRow("hexadecimal capital X") << "0X1f" << true << 31;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("2^31 does not fit") << "2147483648" << false << 0;
    QTest::newRow("decimal") << "1,5" << false << 0;
    QTest::newRow("letters") << "tres" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("hexadecimal without digits") << "0x" << false << 0;
    QTest::newRow("bad hexadecimal digit") << "0x1g" << false << 0;
}

void tst_ValueForms::wholeNumbers() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const auto parsed = ValueForms::parseInteger(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void tst_ValueForms::dates_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");

    QTest::newRow("d/M/yyyy") << "5/3/2024" << QDate(2024, 3, 5);
    QTest::newRow("dd/MM/yyyy") << "05/03/2024" << QDate(2024, 3, 5);
    QTest::newRow("ISO") << "2024-03-05" << QDate(2024, 3, 5);
    QTest::newRow("leap day") << "29/02/2024" << QDate(2024, 2, 29);
    QTest::newRow("end of year") << "31/12/2020" << QDate(2020, 12, 31);
    QTest::newRow("no leap day") << "29/02/2023" << QDate();
    QTest::newRow("day 32") << "32/01/2024" << QDate();
    QTest::newRow("month 13") << "01/13/2024" << QDate();
    QTest::newRow("two-digit year") << "05/03/24" << QDate();
    QTest::newRow("points") << "05.03.2024" << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("text") << "mañana" << QDate();
    QTest::newRow("first day of 1900") << "01/01/1900" << QDate(1900, 1, 1);
    QTest::newRow("last day of 1899") << "31/12/1899" << QDate();
    QTest::newRow("year 999") << "31/12/0999" << QDate();
    QTest::newRow("ISO year 999") << "0999-12-31" << QDate();
    QTest::newRow("zero day of the date count") << "1899-12-30" << QDate();
}

void tst_ValueForms::dates() {
    QFETCH(QString, text);
    QFETCH(QDate, date);
    const auto parsed = ValueForms::parseDate(text);
    QCOMPARE(parsed.has_value(), date.isValid());
    if (date.isValid()) {
        QCOMPARE(*parsed, date);
        QCOMPARE(ValueForms::parseDate(ValueForms::dateText(date)), date);
    }
}

QTEST_APPLESS_MAIN(tst_ValueForms)
#include "tst_ValueForms.moc"
