#include "common/AppError.h"
#include "common/Decimal.h"

#include <QRandomGenerator>
#include <QTest>

// Exact decimal money: reading, rounding half away from zero, products worked
// out in full, the texts, and the limits of what the type holds. The suite
// runs twice: with the compiler's 128-bit integers and with the portable
// arithmetic other compilers use.
class tst_Decimal : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void parseXml_data();
    void parseXml();
    void arithmetic_data();
    void arithmetic();
    void texts_data();
    void texts();
    void ordering();
    void overflowThrows();
    void wideProductsAgreeWithDivision();
    void smallProductsAgreeWithIntegers();
};

using Status = Decimal::ParseStatus;
Q_DECLARE_METATYPE(Decimal::ParseStatus)

static Decimal dec(const char* text) {
    return Decimal::fromText(text);
}

void tst_Decimal::parse_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("plain"); // plainText(0, 8) when Ok

    QTest::newRow("whole") << QByteArray("21") << Status::Ok << "21";
    QTest::newRow("signs") << QByteArray("-12.5") << Status::Ok << "-12.5";
    QTest::newRow("plus") << QByteArray("+0.25") << Status::Ok << "0.25";
    QTest::newRow("eight decimals") << QByteArray("0.12345678") << Status::Ok << "0.12345678";
    QTest::newRow("trailing zeros do not count")
        << QByteArray("0.1234567800000") << Status::Ok << "0.12345678";
    QTest::newRow("nine decimals") << QByteArray("0.123456789") << Status::TooManyDecimals << "";
    QTest::newRow("nine decimals by exponent")
        << QByteArray("1e-9") << Status::TooManyDecimals << "";
    QTest::newRow("exponent") << QByteArray("1.5e2") << Status::Ok << "150";
    QTest::newRow("negative exponent") << QByteArray("15E-3") << Status::Ok << "0.015";
    QTest::newRow("minus zero") << QByteArray("-0.000") << Status::Ok << "0";
    QTest::newRow("zero with a huge exponent") << QByteArray("0e999999999") << Status::Ok << "0";
    QTest::newRow("leading zeros") << QByteArray("000123.4500") << Status::Ok << "123.45";
    QTest::newRow("largest whole part") << QByteArray("1000000000000000000000000000000")
                                        << Status::Ok << "1000000000000000000000000000000";
    QTest::newRow("beyond the type") << QByteArray("1e31") << Status::TooLarge << "";
    QTest::newRow("beyond the type, many digits") << QByteArray(80, '9') << Status::TooLarge << "";
    QTest::newRow("many digits and decimals")
        << QByteArray("0." + QByteArray(70, '1')) << Status::TooManyDecimals << "";
    QTest::newRow("letters") << QByteArray("abc") << Status::NotANumber << "";
    QTest::newRow("empty") << QByteArray("") << Status::NotANumber << "";
    QTest::newRow("point without digits") << QByteArray("1.") << Status::NotANumber << "";
    QTest::newRow("exponent without digits") << QByteArray("1e") << Status::NotANumber << "";
    QTest::newRow("comma is not ours") << QByteArray("1,5") << Status::NotANumber << "";
}

void tst_Decimal::parse() {
    QFETCH(QByteArray, text);
    QFETCH(Status, status);
    QFETCH(QString, plain);
    Decimal value = Decimal::fromInteger(7);
    QCOMPARE(Decimal::parse(text.constData(), text.size(), value), status);
    if (status == Status::Ok)
        QCOMPARE(value.plainText(0, 8), plain);
    else
        QCOMPARE(value, Decimal::fromInteger(7)); // left as it was
}

// Numbers as documents of any program write them: the check and the readable
// copy take every value the schemas' decimal form allows and nothing else.
void tst_Decimal::parseXml_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("plain"); // plainText(0, 8) when Ok

    QTest::newRow("two decimals") << QByteArray("609.87") << Status::Ok << "609.87";
    QTest::newRow("blanks and line ends around")
        << QByteArray(" \t-12.50\r\n") << Status::Ok << "-12.5";
    QTest::newRow("no whole part") << QByteArray(".5") << Status::Ok << "0.5";
    QTest::newRow("negative, no whole part") << QByteArray("-.25") << Status::Ok << "-0.25";
    QTest::newRow("no fraction after the point") << QByteArray("5.") << Status::Ok << "5";
    QTest::newRow("zero tail beyond eight decimals")
        << QByteArray("35.500000000000") << Status::Ok << "35.5";
    QTest::newRow("point alone") << QByteArray(".") << Status::NotANumber << "";
    QTest::newRow("sign alone") << QByteArray("-") << Status::NotANumber << "";
    QTest::newRow("blanks only") << QByteArray("  ") << Status::NotANumber << "";
    QTest::newRow("exponent is not the decimal form")
        << QByteArray("1E3") << Status::NotANumber << "";
    QTest::newRow("blank inside") << QByteArray("1 000.00") << Status::NotANumber << "";
    QTest::newRow("decimal comma") << QByteArray("580,33") << Status::NotANumber << "";
    QTest::newRow("nine decimals") << QByteArray("3.000000001") << Status::TooManyDecimals << "";
    QTest::newRow("thirty-one decimals")
        << QByteArray("3.0000000000000000000000000000001") << Status::TooManyDecimals << "";
    QTest::newRow("10^37") << QByteArray("10000000000000000000000000000000000000.00")
                           << Status::TooLarge << "";
}

void tst_Decimal::parseXml() {
    QFETCH(QByteArray, text);
    QFETCH(Status, status);
    QFETCH(QString, plain);
    Decimal value = Decimal::fromInteger(7);
    QCOMPARE(Decimal::parseXml(text.constData(), text.size(), value), status);
    if (status == Status::Ok)
        QCOMPARE(value.plainText(0, 8), plain);
    else
        QCOMPARE(value, Decimal::fromInteger(7));
}

void tst_Decimal::arithmetic_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<QString>("expected"); // plainText(2, 8)

    // Rounding to cents, half away from zero on the exact value.
    QTest::newRow("2.675 ties up") << "round2" << QByteArray("2.675") << QByteArray() << "2.68";
    QTest::newRow("-0.625 ties down")
        << "round2" << QByteArray("-0.625") << QByteArray() << "-0.63";
    QTest::newRow("1.005 ties up") << "round2" << QByteArray("1.005") << QByteArray() << "1.01";
    QTest::newRow("below a tie") << "round2" << QByteArray("0.12499999") << QByteArray() << "0.12";
    QTest::newRow("rounds to zero without sign")
        << "round2" << QByteArray("-0.00499999") << QByteArray() << "0.00";
    // Products rounded from the full product.
    QTest::newRow("1 x 2.675") << "product2" << QByteArray("1") << QByteArray("2.675") << "2.68";
    QTest::newRow("845 x 0.1523") << "product2" << QByteArray("845") << QByteArray("0.1523")
                                  << "128.69";
    QTest::newRow("3 x 0.125") << "product2" << QByteArray("3") << QByteArray("0.125") << "0.38";
    QTest::newRow("credit tie") << "product2" << QByteArray("-3") << QByteArray("0.125") << "-0.38";
    QTest::newRow("both negative")
        << "product2" << QByteArray("-2") << QByteArray("-1.0025") << "2.01";
    QTest::newRow("limits squared") << "product2" << QByteArray("100000000000")
                                    << QByteArray("100000000000") << "10000000000000000000000.00";
    QTest::newRow("eight decimals at the limits")
        << "product2" << QByteArray("99999999999.99999999") << QByteArray("99999999999.99999999")
        << "9999999999999999998000.00";
    QTest::newRow("tiny product") << "product2" << QByteArray("0.00000001")
                                  << QByteArray("0.00000001") << "0.00";
    QTest::newRow("eight-decimal product")
        << "product8" << QByteArray("1.23456789") << QByteArray("0.5") << "0.61728395";
    // Percentages.
    QTest::newRow("21 % of 10.05")
        << "percent2" << QByteArray("10.05") << QByteArray("21") << "2.11";
    QTest::newRow("15 % of 10.05")
        << "percent2" << QByteArray("10.05") << QByteArray("15") << "1.51";
    QTest::newRow("21 % of a credit tie")
        << "percent2" << QByteArray("-12.5") << QByteArray("21") << "-2.63";
    QTest::newRow("21.4 % of 100")
        << "percent2" << QByteArray("100") << QByteArray("21.4") << "21.40";
    QTest::newRow("odd rate of a huge base")
        << "percent2" << QByteArray("2000000000000000000000000000") << QByteArray("99.99999999")
        << "1999999999800000000000000000.00";
    // Sums are exact.
    QTest::newRow("sum") << "sum" << QByteArray("0.1") << QByteArray("0.2") << "0.30";
    QTest::newRow("sum to zero") << "sum" << QByteArray("-0.1") << QByteArray("0.1") << "0.00";
    QTest::newRow("difference crosses zero")
        << "difference" << QByteArray("0.1") << QByteArray("0.35") << "-0.25";
    QTest::newRow("difference of negatives")
        << "difference" << QByteArray("-1.5") << QByteArray("-0.25") << "-1.25";
}

void tst_Decimal::arithmetic() {
    QFETCH(QString, operation);
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(QString, expected);
    const Decimal x = dec(a.constData());
    Decimal result;
    if (operation == u"round2")
        result = x.rounded(2);
    else if (operation == u"product2")
        result = Decimal::product(x, dec(b.constData()), 2);
    else if (operation == u"product8")
        result = Decimal::product(x, dec(b.constData()), 8);
    else if (operation == u"percent2")
        result = Decimal::percentOf(x, dec(b.constData()), 2);
    else if (operation == u"sum")
        result = x + dec(b.constData());
    else
        result = x - dec(b.constData());
    QCOMPARE(result.plainText(2, 8), expected);
    if (result.isZero())
        QVERIFY(!result.isNegative());
}

void tst_Decimal::texts_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("minDecimals");
    QTest::addColumn<int>("maxDecimals");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("display");

    QTest::newRow("whole gets two") << QByteArray("3") << 2 << 8 << "3.00"
                                    << "3,00";
    QTest::newRow("three decimals kept") << QByteArray("0.125") << 2 << 8 << "0.125"
                                         << "0,125";
    QTest::newRow("four decimals kept") << QByteArray("0.1523") << 2 << 8 << "0.1523"
                                        << "0,1523";
    QTest::newRow("trailing zero dropped") << QByteArray("12.500") << 2 << 8 << "12.50"
                                           << "12,50";
    QTest::newRow("cents") << QByteArray("-1234567.891") << 2 << 2 << "-1234567.89"
                           << "-1.234.567,89";
    QTest::newRow("six decimals") << QByteArray("35.5") << 6 << 6 << "35.500000"
                                  << "35,500000";
    QTest::newRow("negative below one") << QByteArray("-0.4") << 2 << 2 << "-0.40"
                                        << "-0,40";
    QTest::newRow("rounded to zero shows no sign") << QByteArray("-0.001") << 2 << 2 << "0.00"
                                                   << "0,00";
    QTest::newRow("no decimals") << QByteArray("1000") << 0 << 8 << "1000"
                                 << "1.000";
    QTest::newRow("beyond 19 digits")
        << QByteArray("12345678901234567890123.45") << 2 << 2 << "12345678901234567890123.45"
        << "12.345.678.901.234.567.890.123,45";
    QTest::newRow("zeros inside a long whole part")
        << QByteArray("100000000000000000000001") << 2 << 2 << "100000000000000000000001.00"
        << "100.000.000.000.000.000.000.001,00";
}

void tst_Decimal::texts() {
    QFETCH(QByteArray, value);
    QFETCH(int, minDecimals);
    QFETCH(int, maxDecimals);
    QFETCH(QString, plain);
    QFETCH(QString, display);
    const Decimal d = dec(value.constData());
    QCOMPARE(d.plainText(minDecimals, maxDecimals), plain);
    QCOMPARE(d.displayText(minDecimals, maxDecimals), display);
}

void tst_Decimal::ordering() {
    QVERIFY(dec("-1") < dec("-0.5"));
    QVERIFY(dec("-0.5") < dec("0"));
    QVERIFY(dec("0.00000001") > dec("0"));
    QVERIFY(dec("21.4") > dec("21"));
    QCOMPARE(dec("1.50"), dec("1.5"));
    QCOMPARE(dec("-0"), dec("0"));
    QCOMPARE(dec("1234.5").editText(), QStringLiteral("1234,5"));
    QCOMPARE(dec("0.12345678").decimals(), 8);
    QCOMPARE(dec("12.500").decimals(), 1);
    QCOMPARE(dec("-7").decimals(), 0);
    QCOMPARE(Decimal::fromScaled(-625, 3), dec("-0.625"));
}

void tst_Decimal::overflowThrows() {
    const Decimal huge = dec("1000000000000000000000000000000");
    // The type holds a little over 3.4 x 10^30.
    Decimal sum = huge + huge + huge;
    QVERIFY_THROWS_EXCEPTION(AppError, sum += huge);
    QVERIFY_THROWS_EXCEPTION(AppError, -sum - huge);
    QVERIFY_THROWS_EXCEPTION(AppError, Decimal::product(huge, huge, 2));
    QVERIFY_THROWS_EXCEPTION(AppError, Decimal::percentOf(huge, dec("1000000"), 2));
}

// The two primitives the portable build replaces, checked against each other
// on random 64-bit operands: (a x b + r) / b gives a back with remainder r.
void tst_Decimal::wideProductsAgreeWithDivision() {
    QRandomGenerator random(20261210);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t a = random.generate64() >> (i % 64);
        const std::uint64_t b = (random.generate64() >> (i % 61)) | 1u;
        const std::uint64_t r = random.generate64() % b;
        WideMath::U128 p = WideMath::mul64(a, b);
        QVERIFY(WideMath::add(p, WideMath::U128{0, r}));
        std::uint64_t rem = 0;
        QCOMPARE(WideMath::div128by64(p.hi, p.lo, b, rem), a);
        QCOMPARE(rem, r);
    }
}

// Products and percentages of values small enough for 64-bit integers match
// the same rounding done on integers.
void tst_Decimal::smallProductsAgreeWithIntegers() {
    QRandomGenerator random(7);
    auto roundDiv = [](qint64 n, qint64 d) {
        const qint64 q = (n < 0 ? -n : n) / d, r = (n < 0 ? -n : n) % d;
        const qint64 m = q + (2 * r >= d ? 1 : 0);
        return n < 0 ? -m : m;
    };
    for (int i = 0; i < 20000; ++i) {
        const qint64 a = qint64(random.bounded(2000000000)) - 1000000000; // 8 decimals
        const qint64 b = qint64(random.bounded(2000000)) - 1000000;       // 4 decimals
        const Decimal x = Decimal::fromScaled(a, 8), y = Decimal::fromScaled(b, 4);
        // a x b has 12 decimals; cents: divide by 10^10.
        QCOMPARE(Decimal::product(x, y, 2), Decimal::fromScaled(roundDiv(a * b, 10000000000LL), 2));
        QCOMPARE(Decimal::percentOf(x, y, 2),
                 Decimal::fromScaled(roundDiv(a * b, 1000000000000LL), 2));
        QCOMPARE((x + y) - y, x);
        QCOMPARE(x.rounded(2), Decimal::fromScaled(roundDiv(a, 1000000), 2));
    }
}

QTEST_GUILESS_MAIN(tst_Decimal)
#include "tst_Decimal.moc"
