#include "common/FieldRounding.h"

#include <QTest>

#include <limits>

// The two-decimal rounding every numeric box applies, and the two texts of a
// rounded amount.
class tst_FieldRounding : public QObject {
    Q_OBJECT
private slots:
    void rounding_data();
    void rounding();
    void eighteenDigitsComeFirst();
    void hugeValuesAreClampedNotWrapped_data();
    void hugeValuesAreClampedNotWrapped();
};

void tst_FieldRounding::rounding_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("display");

    QTest::newRow("half away from zero") << 0.125 << "0.13"
                                         << "0,13";
    QTest::newRow("half, two integer digits") << 10.625 << "10.63"
                                              << "10,63";
    QTest::newRow("negative half") << -0.125 << "-0.13"
                                   << "-0,13";
    QTest::newRow("below half") << 0.124 << "0.12"
                                << "0,12";
    QTest::newRow("2.675 as a double lies below the tie") << 2.675 << "2.67"
                                                          << "2,67";
    QTest::newRow("1.005 as a double lies below the tie") << 1.005 << "1.00"
                                                          << "1,00";
    QTest::newRow("0.625 exact tie") << 0.625 << "0.63"
                                     << "0,63";
    QTest::newRow("-0.625 exact tie") << -0.625 << "-0.63"
                                      << "-0,63";
    QTest::newRow("one decimal gets a zero") << 0.3 << "0.30"
                                             << "0,30";
    QTest::newRow("thousandth") << 0.001 << "0.00"
                                << "0,00";
    QTest::newRow("half a cent") << 0.005 << "0.01"
                                 << "0,01";
    QTest::newRow("negative below one") << -0.4 << "-0.40"
                                        << "-0,40";
    QTest::newRow("rounds to zero loses its sign") << -0.004 << "0.00"
                                                   << "0,00";
    QTest::newRow("negative zero") << -0.0 << "0.00"
                                   << "0,00";
    QTest::newRow("whole") << 21.0 << "21.00"
                           << "21,00";
    QTest::newRow("thousands") << 1234.5 << "1234.50"
                               << "1.234,50";
    QTest::newRow("millions, negative") << -1234567.891 << "-1234567.89"
                                        << "-1.234.567,89";
    QTest::newRow("exactly a thousand") << 1000.0 << "1000.00"
                                        << "1.000,00";
    QTest::newRow("trillion") << 1000000000000.5 << "1000000000000.50"
                              << "1.000.000.000.000,50";
}

void tst_FieldRounding::rounding() {
    QFETCH(double, value);
    QFETCH(QString, plain);
    QFETCH(QString, display);

    const qint64 cents = FieldRounding::toCents(value);
    QCOMPARE(FieldRounding::plainText(cents), plain);
    QCOMPARE(FieldRounding::displayText(cents), display);
    // Reading the box back gives the rounded number itself.
    QCOMPARE(FieldRounding::round2(value), FieldRounding::fromCents(cents));
}

// Extended-precision values within the last digits of a tie: the 18-digit step
// decides, not the exact binary value.
void tst_FieldRounding::eighteenDigitsComeFirst() {
    // 0.124999999999999999900 has 18 significant digits 125000000000000000.
    QCOMPARE(FieldRounding::toCents(0.125L - 1e-19L), 13);
    QCOMPARE(FieldRounding::toCents(-(0.125L - 1e-19L)), -13);
    // 0.12499999999999999 stays below the tie at 18 digits.
    QCOMPARE(FieldRounding::toCents(0.125L - 1e-17L), 12);
    QCOMPARE(FieldRounding::toCents(std::numeric_limits<long double>::quiet_NaN()), 0);
}

void tst_FieldRounding::hugeValuesAreClampedNotWrapped_data() {
    QTest::addColumn<double>("value");
    QTest::newRow("1e16") << 1e16;
    QTest::newRow("1e17") << 1e17;
    QTest::newRow("5e17") << 5e17;
    QTest::newRow("9.3e17") << 9.3e17;
    QTest::newRow("1e19") << 1e19;
    QTest::newRow("1e300") << 1e300;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
}

// No invoice reaches these, but a hostile import can: the text must never
// come out smaller than the text of a smaller number.
void tst_FieldRounding::hugeValuesAreClampedNotWrapped() {
    QFETCH(double, value);
    const qint64 ceiling = FieldRounding::toCents(std::numeric_limits<double>::infinity());
    QCOMPARE(FieldRounding::toCents(value), ceiling);
    QCOMPARE(FieldRounding::toCents(-value), -ceiling);
    QVERIFY(FieldRounding::toCents(9.99e15) < ceiling);
    QVERIFY(FieldRounding::toCents(9.99e15) > FieldRounding::toCents(1e15));
}

QTEST_APPLESS_MAIN(tst_FieldRounding)
#include "tst_FieldRounding.moc"
