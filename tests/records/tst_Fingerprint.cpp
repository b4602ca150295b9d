#include "RecordTestKit.h"
#include "records/Fingerprint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

Q_DECLARE_METATYPE(Fingerprint::EventTexts)

// The chain's fingerprint: the tax agency's published cases, and the event
// log's construction.
class tst_Fingerprint : public QObject {
    Q_OBJECT
private slots:
    void publishedVectors_data();
    void publishedVectors();
    void valuesAreTrimmed();
    void events_data();
    void events();
};

namespace {

// "Name=value&..." of a published case, read back into the record's texts.
Fingerprint::RecordTexts textsOf(const QString& input) {
    Fingerprint::RecordTexts t;
    for (const QString& pair : input.split(u'&')) {
        const QString name = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        if (name.endsWith(u"Anulada"))
            t.anulacion = true;
        if (name.startsWith(u"IDEmisorFactura"))
            t.issuerNif = value;
        else if (name.startsWith(u"NumSerieFactura"))
            t.numSerie = value;
        else if (name.startsWith(u"FechaExpedicionFactura"))
            t.issueDate = value;
        else if (name == u"TipoFactura")
            t.invoiceType = value;
        else if (name == u"CuotaTotal")
            t.cuotaTotal = value;
        else if (name == u"ImporteTotal")
            t.importeTotal = value;
        else if (name == u"Huella")
            t.previousHuella = value;
        else if (name == u"FechaHoraHusoGenRegistro")
            t.generatedAt = value;
        else
            qFatal("unknown field %s", qPrintable(name));
    }
    return t;
}

} // namespace

void tst_Fingerprint::publishedVectors_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("huella");
    const QJsonObject vectors =
        QJsonDocument::fromJson(
            RecordTestKit::readFile(RecordTestKit::verifactuPath("vectors/huella.json")))
            .object();
    const QJsonArray cases = vectors.value(u"cases").toArray();
    QCOMPARE(cases.size(), 4);
    for (const QJsonValue& c : cases) {
        const QJsonObject o = c.toObject();
        QTest::newRow(o.value(u"id").toString().toUtf8().constData())
            << o.value(u"input").toString() << o.value(u"huella").toString();
    }
}

void tst_Fingerprint::publishedVectors() {
    QFETCH(QString, input);
    QFETCH(QString, huella);
    const Fingerprint::RecordTexts texts = textsOf(input);
    // The fields in the agency's order and names, then the hash.
    QCOMPARE(QString::fromUtf8(Fingerprint::input(texts)), input);
    QCOMPARE(Fingerprint::of(Fingerprint::input(texts)), huella);
    QVERIFY(Fingerprint::isWellFormed(huella));
}

void tst_Fingerprint::valuesAreTrimmed() {
    Fingerprint::RecordTexts padded = textsOf(
        QStringLiteral("IDEmisorFactura=89890001K&NumSerieFactura=12345678/G33&"
                       "FechaExpedicionFactura=01-01-2024&TipoFactura=F1&CuotaTotal=12.35&"
                       "ImporteTotal=123.45&Huella=&FechaHoraHusoGenRegistro=2024-01-01T19:20:30+"
                       "01:00"));
    padded.numSerie = QStringLiteral("  12345678/G33 ");
    padded.cuotaTotal = QStringLiteral("12.35\t");
    QCOMPARE(Fingerprint::of(Fingerprint::input(padded)),
             QStringLiteral("3C464DAF61ACB827C65FDA19F352A4E3BDC2C640E9E9FC4CC058073F38F12F60"));
}

void tst_Fingerprint::events_data() {
    QTest::addColumn<Fingerprint::EventTexts>("texts");
    QTest::addColumn<QString>("input");

    Fingerprint::EventTexts first;
    first.producerNif = QStringLiteral("B12345674");
    first.systemId = QStringLiteral("OV");
    first.version = QStringLiteral("1.0.1.0");
    first.installationNumber = QStringLiteral("7f3c2a90-0001");
    first.issuerNif = QStringLiteral("89890001K");
    first.eventType = QStringLiteral("01");
    first.generatedAt = QStringLiteral("2027-01-02T09:00:00+01:00");
    QTest::newRow("first event: empty other id and previous fingerprint")
        << first
        << "NIF=B12345674&ID=&IdSistemaInformatico=OV&Version=1.0.1.0&NumeroInstalacion="
           "7f3c2a90-0001&NIF=89890001K&TipoEvento=01&HuellaEvento=&FechaHoraHusoGenEvento="
           "2027-01-02T09:00:00+01:00";

    Fingerprint::EventTexts later = first;
    later.producerOtherId = QStringLiteral(" X-77 ");
    later.eventType = QStringLiteral("10");
    later.previousHuella = QStringLiteral("F7B94CFD8924EDFF273501B01EE5153E4CE8F259766F88CF6ACB8935"
                                          "802A2B97");
    later.generatedAt = QStringLiteral("2027-01-02T15:00:00+00:00");
    QTest::newRow("later event: names the previous one, blanks trimmed")
        << later
        << "NIF=B12345674&ID=X-77&IdSistemaInformatico=OV&Version=1.0.1.0&NumeroInstalacion="
           "7f3c2a90-0001&NIF=89890001K&TipoEvento=10&HuellaEvento=F7B94CFD8924EDFF273501B01EE5153"
           "E4CE8F259766F88CF6ACB8935802A2B97&FechaHoraHusoGenEvento=2027-01-02T15:00:00+00:00";
}

void tst_Fingerprint::events() {
    QFETCH(Fingerprint::EventTexts, texts);
    QFETCH(QString, input);
    QCOMPARE(QString::fromUtf8(Fingerprint::input(texts)), input);
}

QTEST_GUILESS_MAIN(tst_Fingerprint)
#include "tst_Fingerprint.moc"
