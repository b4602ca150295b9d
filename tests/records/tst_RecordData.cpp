#include "common/AppError.h"
#include "records/LegalDates.h"
#include "records/ProducerData.h"
#include "records/RecordBuilder.h"

#include "Version.h"

#include <QTest>

// The data built into the program: the producer's and the law's dates.
class tst_RecordData : public QObject {
    Q_OBJECT
private slots:
    void producer();
    void producerFile_data();
    void producerFile();
    void legalDates();
    void legalDatesFile_data();
    void legalDatesFile();
};

void tst_RecordData::producer() {
    const ProducerData& data = ProducerData::builtIn();
    QCOMPARE(data.systemName, QStringLiteral("Orvane"));
    QCOMPARE(data.systemId, QStringLiteral("OV"));
    QCOMPARE(data.version, QStringLiteral(ORVANE_VERSION_STRING));
    QVERIFY(!data.components.isEmpty());
    QVERIFY(!data.signatureTypes.isEmpty());

    const SoftwareSystem s = data.softwareSystem(QStringLiteral("inst-1"));
    QCOMPARE(s.systemId, QStringLiteral("OV"));
    QCOMPARE(s.installationNumber, QStringLiteral("inst-1"));
    QCOMPARE(s.version, data.version);
    QVERIFY(!s.onlyVerifactu && !s.multipleTaxpayersPossible && !s.multipleTaxpayers);
}

void tst_RecordData::producerFile_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("read");
    QTest::newRow("filled in")
        << QByteArray(R"({"producer":{"name":"Prod","taxId":"B12345674","address":"Rúa 1"},
                         "system":{"name":"Orvane","id":"OV","components":["a","b"]}})")
        << true;
    QTest::newRow("producer still empty")
        << QByteArray(R"({"producer":{"name":"","taxId":"","address":""},
                         "system":{"name":"Orvane","id":"OV"}})")
        << true;
    QTest::newRow("not JSON") << QByteArray("{producer:") << false;
    QTest::newRow("no system") << QByteArray(R"({"producer":{}})") << false;
}

void tst_RecordData::producerFile() {
    QFETCH(QByteArray, json);
    QFETCH(bool, read);
    try {
        const ProducerData data = ProducerData::fromJson(json, QStringLiteral("9.9"));
        QVERIFY(read);
        QCOMPARE(data.systemId, QStringLiteral("OV"));
        QCOMPARE(data.version, QStringLiteral("9.9"));
    } catch (const AppError& e) {
        QVERIFY2(!read, qPrintable(e.message()));
    }
}

void tst_RecordData::legalDates() {
    const LegalDates& dates = LegalDates::builtIn();
    QCOMPARE(dates.obligationDate(PersonType::LegalEntity), QDate(2027, 1, 1));
    QCOMPARE(dates.obligationDate(PersonType::NaturalPerson), QDate(2027, 7, 1));
    QCOMPARE(dates.earliestIssueDate, QDate(2024, 10, 28));
}

void tst_RecordData::legalDatesFile_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("problem");
    QTest::newRow("moved again")
        << QByteArray(
               R"({"companies":"2028-10-01","persons":"2028-10-01","earliestIssueDate":"2024-10-28"})")
        << "";
    QTest::newRow("a date missing")
        << QByteArray(R"({"companies":"2027-01-01","earliestIssueDate":"2024-10-28"})")
        << "persons";
    QTest::newRow("a day that does not exist")
        << QByteArray(
               R"({"companies":"2027-02-30","persons":"2027-07-01","earliestIssueDate":"2024-10-28"})")
        << "companies";
}

void tst_RecordData::legalDatesFile() {
    QFETCH(QByteArray, json);
    QFETCH(QString, problem);
    try {
        const LegalDates dates = LegalDates::fromJson(json);
        QVERIFY(problem.isEmpty());
        QCOMPARE(dates.companies, QDate(2028, 10, 1));
    } catch (const AppError& e) {
        QVERIFY2(!problem.isEmpty() && e.message().contains(problem), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(tst_RecordData)
#include "tst_RecordData.moc"
