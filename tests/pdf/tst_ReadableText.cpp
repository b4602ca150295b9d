#include "pdf/ReadableText.h"

#include <QTest>

// Figures and dates as the printed copy shows them: every decimal the
// document holds survives, thousands get a point, and nothing that is not a
// plain number is changed.
class tst_ReadableText : public QObject {
    Q_OBJECT
private slots:
    void number_data();
    void number();
    void money_data();
    void money();
    void dates_data();
    void dates();
    void codes();
};

void tst_ReadableText::number_data() {
    QTest::addColumn<QString>("decimal");
    QTest::addColumn<QString>("shown");
    QTest::newRow("two decimals") << "234.50"
                                  << "234,50";
    QTest::newRow("thousands") << "1234.56"
                               << "1.234,56";
    QTest::newRow("millions") << "1234567.8"
                              << "1.234.567,80";
    QTest::newRow("whole") << "4"
                           << "4,00";
    QTest::newRow("own decimals kept") << "0.125"
                                       << "0,125";
    QTest::newRow("eight decimals") << "12.34567891"
                                    << "12,34567891";
    QTest::newRow("zeros beyond two dropped") << "35.500000"
                                              << "35,50";
    QTest::newRow("negative") << "-1234.5"
                              << "-1.234,50";
    QTest::newRow("negative zero") << "-0.00"
                                   << "0,00";
    QTest::newRow("leading zeros") << "0012.30"
                                   << "12,30";
    QTest::newRow("blanks around") << "  7.1 "
                                   << "7,10";
    QTest::newRow("no integer part") << ".5"
                                     << "0,50";
    QTest::newRow("plus sign") << "+3"
                               << "3,00";
    QTest::newRow("empty stays empty") << ""
                                       << "";
    QTest::newRow("text shown as written") << "abc"
                                           << "abc";
    QTest::newRow("exponent shown as written") << "1E3"
                                               << "1E3";
    QTest::newRow("comma is not a decimal point here") << "1,5"
                                                       << "1,5";
}

void tst_ReadableText::number() {
    QFETCH(QString, decimal);
    QFETCH(QString, shown);
    QCOMPARE(ReadableText::number(decimal), shown);
}

void tst_ReadableText::money_data() {
    QTest::addColumn<QString>("decimal");
    QTest::addColumn<QString>("currency");
    QTest::addColumn<QString>("shown");
    QTest::newRow("euro") << "1234.56"
                          << "EUR"
                          << "1.234,56\u00a0€";
    QTest::newRow("no code is euro") << "5"
                                     << ""
                                     << "5,00\u00a0€";
    QTest::newRow("other currency by code") << "10.5"
                                            << "USD"
                                            << "10,50\u00a0USD";
    QTest::newRow("empty amount") << ""
                                  << "EUR"
                                  << "";
}

void tst_ReadableText::money() {
    QFETCH(QString, decimal);
    QFETCH(QString, currency);
    QFETCH(QString, shown);
    QCOMPARE(ReadableText::money(decimal, currency), shown);
}

void tst_ReadableText::dates_data() {
    QTest::addColumn<QString>("iso");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("withTime");
    QTest::newRow("date") << "2024-03-05"
                          << "05/03/2024" << false;
    QTest::newRow("date with zone") << "2024-03-05+01:00"
                                    << "05/03/2024" << false;
    QTest::newRow("not a date") << "ayer"
                                << "ayer" << false;
    QTest::newRow("impossible date") << "2024-02-30"
                                     << "2024-02-30" << false;
    QTest::newRow("time with offset") << "2024-03-15T10:22:33+01:00"
                                      << "15/03/2024 10:22:33 +01:00" << true;
    QTest::newRow("time in UTC") << "2024-03-15T09:22:33Z"
                                 << "15/03/2024 09:22:33 UTC" << true;
    QTest::newRow("fraction dropped") << "2024-03-15T10:22:33.512-05:00"
                                      << "15/03/2024 10:22:33 -05:00" << true;
    QTest::newRow("no zone") << "2024-03-15T10:22:33"
                             << "15/03/2024 10:22:33" << true;
}

void tst_ReadableText::dates() {
    QFETCH(QString, iso);
    QFETCH(QString, shown);
    QFETCH(bool, withTime);
    QCOMPARE(withTime ? ReadableText::dateTime(iso) : ReadableText::date(iso), shown);
}

void tst_ReadableText::codes() {
    QCOMPARE(ReadableText::iban(QStringLiteral("ES9121000418450200051332")),
             QStringLiteral("ES91 2100 0418 4502 0005 1332"));
    QCOMPARE(ReadableText::taxName(QStringLiteral("01")), QStringLiteral("IVA"));
    QCOMPARE(ReadableText::taxName(QStringLiteral("04")), QStringLiteral("IRPF"));
    QCOMPARE(ReadableText::taxName(QStringLiteral("99")), QStringLiteral("99"));
    QCOMPARE(ReadableText::paymentMeans(QStringLiteral("04")), QStringLiteral("Transferencia"));
    QCOMPARE(ReadableText::paymentMeans(QStringLiteral("77")), QStringLiteral("77"));
    QCOMPARE(ReadableText::centreRole(QStringLiteral("01")), QStringLiteral("Oficina contable"));
    QCOMPARE(ReadableText::documentTitle(QStringLiteral("FC"), QStringLiteral("OR")),
             QStringLiteral("FACTURA RECTIFICATIVA"));
    QVERIFY(ReadableText::isZero(QStringLiteral("0.00")));
    QVERIFY(ReadableText::isZero(QString()));
    QVERIFY(!ReadableText::isZero(QStringLiteral("0.001")));
}

QTEST_APPLESS_MAIN(tst_ReadableText)
#include "tst_ReadableText.moc"
