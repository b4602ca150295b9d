#include "RecordTestKit.h"
#include "records/GenerationTime.h"
#include "records/RecordBuilder.h"

#include <QTest>

using namespace RecordTestKit;

Q_DECLARE_METATYPE(Territory)

// Generation times in the issuer's territory, with the offset written out
// even when it is zero, across the change to summer time.
class tst_GenerationTime : public QObject {
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void parse_data();
    void parse();
    void localDate_data();
    void localDate();
};

void tst_GenerationTime::texts_data() {
    QTest::addColumn<QDateTime>("instant");
    QTest::addColumn<Territory>("territory");
    QTest::addColumn<QString>("text");

    // Summer time starts on 2027-03-28 at 01:00 UTC: 02:00 becomes 03:00 in
    // Madrid, 01:00 becomes 02:00 in the Canary Islands.
    const QDateTime beforeChange = utc(2027, 3, 28, 0, 59); // 01:59 in Madrid
    const QDateTime afterChange = utc(2027, 3, 28, 1, 0);   // 03:00 in Madrid
    QTest::newRow("Madrid 01:59, winter")
        << beforeChange << Territory::Peninsula << "2027-03-28T01:59:00+01:00";
    QTest::newRow("Madrid 03:00, summer")
        << afterChange << Territory::Peninsula << "2027-03-28T03:00:00+02:00";
    QTest::newRow("Canary Islands, same instant as 01:59 in Madrid")
        << beforeChange << Territory::Canarias << "2027-03-28T00:59:00+00:00";
    QTest::newRow("Canary Islands, same instant as 03:00 in Madrid")
        << afterChange << Territory::Canarias << "2027-03-28T02:00:00+01:00";
    QTest::newRow("end of summer time in Madrid, first 02:30")
        << utc(2027, 10, 31, 0, 30) << Territory::Peninsula << "2027-10-31T02:30:00+02:00";
    QTest::newRow("end of summer time in Madrid, second 02:30")
        << utc(2027, 10, 31, 1, 30) << Territory::Peninsula << "2027-10-31T02:30:00+01:00";
    QTest::newRow("milliseconds are not written")
        << utc(2027, 6, 1, 10, 0, 5).addMSecs(999) << Territory::Peninsula
        << "2027-06-01T12:00:05+02:00";
    QTest::newRow("an instant given in another zone")
        << QDateTime(QDate(2027, 1, 15), QTime(8, 0), QTimeZone("America/New_York"))
        << Territory::Canarias << "2027-01-15T13:00:00+00:00";
}

void tst_GenerationTime::texts() {
    QFETCH(QDateTime, instant);
    QFETCH(Territory, territory);
    QFETCH(QString, text);
    QCOMPARE(GenerationTime::text(instant, territory), text);

    // The record writes that text and its fingerprint covers the same one.
    BillingRecord record = alta();
    record.invoice.issueDate = QDate(2027, 1, 15);
    record.generatedAt = instant;
    record.territory = territory;
    const BuiltRecord built = RecordBuilder::build(record);
    QVERIFY(built.xml.contains("<sum1:FechaHoraHusoGenRegistro>" + text.toLatin1() + "<"));
    QVERIFY(built.fingerprintInput.endsWith("&FechaHoraHusoGenRegistro=" + text.toLatin1()));

    const auto back = GenerationTime::parse(text);
    QVERIFY(back);
    QCOMPARE(back->toMSecsSinceEpoch() / 1000, instant.toMSecsSinceEpoch() / 1000);
}

void tst_GenerationTime::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::newRow("positive offset") << "2027-03-28T03:00:00+02:00" << true;
    QTest::newRow("zero offset") << "2027-01-15T13:00:00+00:00" << true;
    QTest::newRow("negative offset") << "2027-01-15T08:00:00-05:00" << true;
    QTest::newRow("Z") << "2027-01-15T13:00:00Z" << false;
    QTest::newRow("no offset") << "2027-01-15T13:00:00" << false;
    QTest::newRow("offset without colon") << "2027-01-15T13:00:00+0100" << false;
    QTest::newRow("fraction of a second") << "2027-01-15T13:00:00.5+01:00" << false;
    QTest::newRow("no such day") << "2027-02-30T13:00:00+01:00" << false;
    QTest::newRow("blank around") << " 2027-01-15T13:00:00+01:00" << false;
    QTest::newRow("other digits") << QString::fromUtf8("٢٠٢٧-01-15T13:00:00+01:00") << false;
}

void tst_GenerationTime::parse() {
    QFETCH(QString, text);
    QFETCH(bool, read);
    QCOMPARE(GenerationTime::parse(text).has_value(), read);
}

void tst_GenerationTime::localDate_data() {
    QTest::addColumn<QDateTime>("instant");
    QTest::addColumn<Territory>("territory");
    QTest::addColumn<QDate>("date");
    QTest::newRow("new year in Madrid")
        << utc(2026, 12, 31, 23, 30) << Territory::Peninsula << QDate(2027, 1, 1);
    QTest::newRow("still old year in the Canary Islands")
        << utc(2026, 12, 31, 23, 30) << Territory::Canarias << QDate(2026, 12, 31);
}

void tst_GenerationTime::localDate() {
    QFETCH(QDateTime, instant);
    QFETCH(Territory, territory);
    QFETCH(QDate, date);
    QCOMPARE(GenerationTime::localDate(instant, territory), date);
}

QTEST_GUILESS_MAIN(tst_GenerationTime)
#include "tst_GenerationTime.moc"
