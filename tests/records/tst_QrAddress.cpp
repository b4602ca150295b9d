#include "RecordTestKit.h"
#include "common/AppError.h"
#include "records/QrAddress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace RecordTestKit;

Q_DECLARE_METATYPE(QrAddress::Parts)

// The tax QR's address: the agency's published examples built exactly and
// its invalid ones refused, encoding, and which addresses found in someone
// else's document count as the agency's.
class tst_QrAddress : public QObject {
    Q_OBJECT
private slots:
    void publishedValid_data();
    void publishedValid();
    void publishedInvalid_data();
    void publishedInvalid();
    void encoding_data();
    void encoding();
    void refusedParts_data();
    void refusedParts();
    void foreignAddresses_data();
    void foreignAddresses();
    void fromRecord();
};

namespace {

QJsonObject vectors() {
    return QJsonDocument::fromJson(readFile(verifactuPath("vectors/qr.json"))).object();
}

QrAddress::Parts parts(const QString& numSerie, const QString& amount = QStringLiteral("241.4")) {
    QrAddress::Parts p;
    p.nif = QStringLiteral("89890001K");
    p.numSerie = numSerie;
    p.date = QStringLiteral("01-09-2024");
    p.amount = amount;
    return p;
}

} // namespace

void tst_QrAddress::publishedValid_data() {
    QTest::addColumn<QString>("address");
    const QJsonArray valid = vectors().value(u"valid").toArray();
    QCOMPARE(valid.size(), 5);
    int i = 0;
    for (const QJsonValue& v : valid)
        QTest::addRow("valid %d", ++i) << v.toString();
}

void tst_QrAddress::publishedValid() {
    QFETCH(QString, address);
    // Read into its parts, then built again from them: the same text.
    const auto read = QrAddress::read(address);
    QVERIFY(read);
    QCOMPARE(QrAddress::build(*read), address);
    QVERIFY(!address.contains(u"formato"));
}

void tst_QrAddress::publishedInvalid_data() {
    QTest::addColumn<QString>("address");
    for (const QJsonValue& v : vectors().value(u"invalid_published").toArray()) {
        const QJsonObject o = v.toObject();
        QTest::newRow(o.value(u"why").toString().toUtf8().constData())
            << o.value(u"url").toString();
    }
}

void tst_QrAddress::publishedInvalid() {
    QFETCH(QString, address);
    QVERIFY(!QrAddress::read(address));
}

void tst_QrAddress::encoding_data() {
    QTest::addColumn<QString>("numSerie");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("hyphen stays") << "12345678-G33"
                                  << "12345678-G33";
    QTest::newRow("ampersand") << "12345678&G33"
                               << "12345678%26G33";
    QTest::newRow("slash") << "A/2027/1"
                           << "A%2F2027%2F1";
    QTest::newRow("blank") << "A 1"
                           << "A%201";
    QTest::newRow("plus, hash and question mark") << "A+1#2?3"
                                                  << "A%2B1%232%3F3";
    QTest::newRow("percent") << "100%"
                             << "100%25";
}

void tst_QrAddress::encoding() {
    QFETCH(QString, numSerie);
    QFETCH(QString, encoded);
    const QString address = QrAddress::build(parts(numSerie));
    QCOMPARE(address, "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?nif="
                      "89890001K&numserie=" +
                          encoded + "&fecha=01-09-2024&importe=241.4");
    // What the customer's phone reads back is the series as written.
    const auto read = QrAddress::read(address);
    QVERIFY(read);
    QCOMPARE(read->numSerie, numSerie);
}

void tst_QrAddress::refusedParts_data() {
    QTest::addColumn<QrAddress::Parts>("parts");
    QTest::addColumn<QString>("part");
    QTest::newRow("decimal comma") << parts("A-1", "7,2") << "importe";
    QTest::newRow("three decimals") << parts("A-1", "7.123") << "importe";
    QTest::newRow("13 integer digits") << parts("A-1", "1234567890123") << "importe";
    QTest::newRow("thousands point") << parts("A-1", "1.234.50") << "importe";
    QTest::newRow("empty amount") << parts("A-1", "") << "importe";
    QTest::newRow("series with a letter outside ASCII") << parts("Ñ-1") << "serie";
    QTest::newRow("series with a quote") << parts("A\"1") << "serie";
    QTest::newRow("series of 61 characters") << parts(QString(61, u'1')) << "serie";
    QrAddress::Parts badNif = parts("A-1");
    badNif.nif = QStringLiteral("891K");
    QTest::newRow("short tax id") << badNif << "NIF";
    QrAddress::Parts badDate = parts("A-1");
    badDate.date = QStringLiteral("2024-09-01");
    QTest::newRow("date in ISO form") << badDate << "fecha";
    badDate.date = QStringLiteral("31-02-2027");
    QTest::newRow("date that does not exist") << badDate << "fecha";
}

void tst_QrAddress::refusedParts() {
    QFETCH(QrAddress::Parts, parts);
    QFETCH(QString, part);
    try {
        QrAddress::build(parts);
        QFAIL("an address breaking the rules was built");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(part), qPrintable(e.message()));
    }
}

void tst_QrAddress::foreignAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("agency");
    const QString query =
        QStringLiteral("?nif=89890001K&numserie=A-1&fecha=01-09-2024&importe=12.50");
    const QString production =
        QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/");
    QTest::newRow("production, VERI*FACTU") << production + "ValidarQR" + query << true;
    QTest::newRow("production, other mode") << production + "ValidarQRNoVerifactu" + query << true;
    QTest::newRow("test host") << "https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR" + query
                               << true;
    QTest::newRow("parameters in another order")
        << production + "ValidarQR?importe=12.50&fecha=01-09-2024&numserie=A-1&nif=89890001K"
        << true;
    QTest::newRow("negative amount of a corrective")
        << production + "ValidarQR?nif=89890001K&numserie=A-1&fecha=01-09-2024&importe=-12.5"
        << true;
    QTest::newRow("plain http") << "http://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR" +
                                       query
                                << false;
    QTest::newRow("look-alike host")
        << "https://www2.agenciatributaria.gob.es.example.com/wlpl/TIKE-CONT/ValidarQR" + query
        << false;
    QTest::newRow("user part before the host")
        << "https://www2.agenciatributaria.gob.es@example.com/wlpl/TIKE-CONT/ValidarQR" + query
        << false;
    QTest::newRow("port") << "https://www2.agenciatributaria.gob.es:8443/wlpl/TIKE-CONT/ValidarQR" +
                                 query
                          << false;
    QTest::newRow("other path") << production + "Pagar" + query << false;
    QTest::newRow("path going up") << production + "../ValidarQR" + query << false;
    QTest::newRow("json format asked")
        << production + "ValidarQR" + query + "&formato=json" << false;
    QTest::newRow("a parameter twice")
        << production + "ValidarQR?nif=89890001K&nif=89890001K&fecha=01-09-2024&importe=1" << false;
    QTest::newRow("a parameter missing")
        << production + "ValidarQR?nif=89890001K&numserie=A-1&fecha=01-09-2024" << false;
    QTest::newRow("fragment") << production + "ValidarQR" + query + "#x" << false;
    QTest::newRow("raw blank in a value")
        << production + "ValidarQR?nif=89890001K&numserie=A 1&fecha=01-09-2024&importe=1" << false;
    QTest::newRow("encoded byte that is not UTF-8 ASCII")
        << production + "ValidarQR?nif=89890001K&numserie=A%C3%911&fecha=01-09-2024&importe=1"
        << false;
    QTest::newRow("something else entirely") << "javascript:alert(1)" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_QrAddress::foreignAddresses() {
    QFETCH(QString, address);
    QFETCH(bool, agency);
    QCOMPARE(QrAddress::read(address).has_value(), agency);
}

void tst_QrAddress::fromRecord() {
    BillingRecord record = alta(QStringLiteral("A&B/2027-1"));
    record.details = {{VatTreatment::S1, D("21"), D("200"), D("42")},
                      {VatTreatment::E1, D("0"), D("8.1"), D("0")}};
    const QString address =
        QrAddress::forRecord(record, QrAddress::Service::NoVerifactu, QrAddress::Host::Test);
    // importe is ImporteTotal as the record writes it.
    QCOMPARE(address, QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQRNoVerifactu?"
                                     "nif=89890001K&numserie=A%26B%2F2027-1&fecha=05-03-2027&"
                                     "importe=250.10"));
}

QTEST_GUILESS_MAIN(tst_QrAddress)
#include "tst_QrAddress.moc"
