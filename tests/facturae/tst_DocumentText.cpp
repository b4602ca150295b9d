#include "facturae/DocumentText.h"

#include <QTest>

// Numbers, dates and texts as the document writes them.
class tst_DocumentText : public QObject {
    Q_OBJECT
private slots:
    void amounts_data();
    void amounts();
    void dates_data();
    void dates();
    void leftZeroPad_data();
    void leftZeroPad();
    void xmlSafe_data();
    void xmlSafe();
};

void tst_DocumentText::amounts_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("sixDecimals");

    QTest::newRow("plain") << QByteArray("234.5") << "234.50"
                           << "234.500000";
    QTest::newRow("zero") << QByteArray("0") << "0.00"
                          << "0.000000";
    QTest::newRow("five cents") << QByteArray("0.05") << "0.05"
                                << "0.050000";
    QTest::newRow("whole") << QByteArray("7") << "7.00"
                           << "7.000000";
    QTest::newRow("negative half") << QByteArray("-0.5") << "-0.50"
                                   << "-0.500000";
    QTest::newRow("negative") << QByteArray("-12.34") << "-12.34"
                              << "-12.340000";
    QTest::newRow("tie up") << QByteArray("0.125") << "0.13"
                            << "0.130000";
    QTest::newRow("fixed fee") << QByteArray("35.5") << "35.50"
                               << "35.500000";
    QTest::newRow("no grouping") << QByteArray("1234567.5") << "1234567.50"
                                 << "1234567.500000";
    QTest::newRow("sign lost at zero") << QByteArray("-0.001") << "0.00"
                                       << "0.000000";
}

void tst_DocumentText::amounts() {
    QFETCH(QByteArray, value);
    const Decimal number = Decimal::fromText(value.constData());
    QTEST(DocumentText::amount(number), "amount");
    QTEST(DocumentText::sixDecimalAmount(number), "sixDecimals");
}

void tst_DocumentText::dates_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::newRow("month and day padded") << QDate(2020, 3, 5) << "2020-03-05";
    QTest::newRow("end of year") << QDate(2020, 12, 31) << "2020-12-31";
    QTest::newRow("new year") << QDate(2021, 1, 1) << "2021-01-01";
    QTest::newRow("zero day") << QDate(1899, 12, 30) << "1899-12-30";
    QTest::newRow("empty date is the zero day") << QDate() << "1899-12-30";
    QTest::newRow("year not padded") << QDate(987, 6, 7) << "987-06-07";
}

void tst_DocumentText::dates() {
    QFETCH(QDate, date);
    QTEST(DocumentText::date(date), "text");
}

void tst_DocumentText::leftZeroPad_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("one digit") << 5 << 2 << "05";
    QTest::newRow("fits") << 12 << 2 << "12";
    QTest::newRow("longer stays") << 2024 << 2 << "2024";
    QTest::newRow("zero") << 0 << 3 << "000";
}

void tst_DocumentText::leftZeroPad() {
    QFETCH(int, number);
    QFETCH(int, width);
    QTEST(DocumentText::leftZeroPad(number, width), "text");
}

void tst_DocumentText::xmlSafe_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("safe");
    QTest::newRow("clean") << "Rúa do Vilar, 12 & <1>"
                           << "Rúa do Vilar, 12 & <1>";
    QTest::newRow("tab, line feed, carriage return stay") << "a\tb\nc\rd"
                                                          << "a\tb\nc\rd";
    QString controls = QStringLiteral("A");
    for (char16_t c : {0x0, 0x1, 0x8, 0xB, 0xC, 0xE, 0x1F}) {
        const QChar next(char16_t(u'B' + controls.size() / 2));
        controls += QChar(c);
        controls += next;
    }
    QTest::newRow("C0 controls go") << controls << "ABCDEFGH";
    QTest::newRow("non-characters go") << QString::fromUtf16(u"x\uFFFEy\uFFFFz") << "xyz";
    QTest::newRow("pair of surrogates stays")
        << QString::fromUtf16(u"\U0001F600!") << QString::fromUtf16(u"\U0001F600!");
    QTest::newRow("lone surrogate goes") << QString(QChar(0xD800)) + u'a' << "a";
}

void tst_DocumentText::xmlSafe() {
    QFETCH(QString, text);
    QTEST(DocumentText::xmlSafe(text), "safe");
}

QTEST_APPLESS_MAIN(tst_DocumentText)
#include "tst_DocumentText.moc"
