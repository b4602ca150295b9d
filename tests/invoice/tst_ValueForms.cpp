#include "common/ValueForms.h"

#include <QTest>

// The forms in which numbers, whole numbers and dates arrive from an import
// file or from typing.
class tst_ValueForms : public QObject {
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void typedNumbers_data();
    void typedNumbers();
    void wholeNumbers_data();
    void wholeNumbers();
    void dates_data();
    void dates();
};

void tst_ValueForms::numbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("value"); // plainText(0, 8)

    QTest::newRow("decimal comma") << "12,50" << true << "12.5";
    QTest::newRow("whole") << "7" << true << "7";
    QTest::newRow("negative") << "-3,25" << true << "-3.25";
    QTest::newRow("plus sign") << "+2,5" << true << "2.5";
    QTest::newRow("blanks around") << "  4,5 \t" << true << "4.5";
    QTest::newRow("exponent") << "1,5e2" << true << "150";
    QTest::newRow("capital exponent, negative") << "25E-1" << true << "2.5";
    QTest::newRow("exponent with plus") << "1e+3" << true << "1000";
    QTest::newRow("point as decimal mark") << "12.50" << false << "0";
    // Grouping only as the screen shows it: groups of three, a decimal comma.
    QTest::newRow("point grouping thousands") << "1.250,00" << true << "1250";
    QTest::newRow("two groups") << "-1.234.567,5" << true << "-1234567.5";
    QTest::newRow("grouping without a comma") << "1.250" << false << "0";
    QTest::newRow("group of two") << "1.25,0" << false << "0";
    QTest::newRow("four digits before the group") << "1250.000,0" << false << "0";
    QTest::newRow("grouped with exponent") << "1.250,0e2" << false << "0";
    QTest::newRow("blank inside") << "1 000" << false << "0";
    QTest::newRow("empty") << "" << false << "0";
    QTest::newRow("only blanks") << "   " << false << "0";
    QTest::newRow("letters") << "doce" << false << "0";
    QTest::newRow("sign alone") << "-" << false << "0";
    QTest::newRow("exponent without digits") << "1e" << false << "0";
    QTest::newRow("trailing text") << "12,5 EUR" << false << "0";
    QTest::newRow("beyond what a decimal holds") << "1e400" << false << "0";
    QTest::newRow("eight decimals") << "0,12345678" << true << "0.12345678";
    QTest::newRow("nine decimals") << "0,123456789" << false << "0";
    QTest::newRow("trailing zeros do not count") << "0,1234567800" << true << "0.12345678";
}

void tst_ValueForms::numbers() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, value);
    const auto parsed = ValueForms::parseNumber(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(parsed->plainText(0, 8), value);
}

using Status = ValueForms::NumberRead::Status;
Q_DECLARE_METATYPE(ValueForms::NumberRead::Status)

// What a person types into a number box or cell.
void tst_ValueForms::typedNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("value"); // plainText(0, 8) when read

    QTest::newRow("decimal comma") << "12,50" << Status::Ok << "12.5";
    QTest::newRow("thousands point and comma") << "1.234,50" << Status::Ok << "1234.5";
    QTest::newRow("several thousands points") << "1.234.567" << Status::Ok << "1234567";
    QTest::newRow("point, one digit") << "12.5" << Status::Ok << "12.5";
    QTest::newRow("point, two digits") << "-0.25" << Status::Ok << "-0.25";
    QTest::newRow("point, four digits") << "0.1523" << Status::Ok << "0.1523";
    QTest::newRow("point, eight digits") << "1.12345678" << Status::Ok << "1.12345678";
    QTest::newRow("point, three digits is ambiguous") << "1.500" << Status::AmbiguousPoint << "";
    QTest::newRow("point, nine digits") << "1.123456789" << Status::TooManyDecimals << "";
    QTest::newRow("comma, nine digits") << "0,123456789" << Status::TooManyDecimals << "";
    QTest::newRow("points in the wrong places") << "12.34.5" << Status::NotANumber << "";
    QTest::newRow("point and comma swapped") << "1,234.50" << Status::NotANumber << "";
    QTest::newRow("letters") << "abc" << Status::NotANumber << "";
    QTest::newRow("too large") << "1e40" << Status::TooLarge << "";
}

void tst_ValueForms::typedNumbers() {
    QFETCH(QString, text);
    QFETCH(Status, status);
    QFETCH(QString, value);
    const ValueForms::NumberRead read = ValueForms::readTypedNumber(text);
    QCOMPARE(read.status, status);
    if (read.ok())
        QCOMPARE(read.value.plainText(0, 8), value);
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
