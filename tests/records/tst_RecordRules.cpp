#include "RecordTestKit.h"
#include "common/AppError.h"
#include "records/RecordBuilder.h"
#include "records/RecordRules.h"

#include <QTest>

#include <functional>

using namespace RecordTestKit;

using Change = std::function<void(BillingRecord&)>;
Q_DECLARE_METATYPE(Change)

// What the tax agency refuses a record for, refused before anything is
// written, each with a message naming the field.
class tst_RecordRules : public QObject {
    Q_OBJECT
private slots:
    void refused_data();
    void refused();
    void accepted_data();
    void accepted();
    void futureDate();
    void clock_data();
    void clock();
};

namespace {

const QDate Today(2027, 3, 10);

QString repeated(QChar c, int n) {
    return QString(n, c);
}

} // namespace

void tst_RecordRules::refused_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("field");

    auto numSerie = [](const QString& text) {
        return Change([text](BillingRecord& r) { r.invoice.numSerie = text; });
    };
    QTest::newRow("series with a letter outside ASCII")
        << numSerie("Ñ-2027-1") << "NumSerieFactura";
    QTest::newRow("series with a control character") << numSerie("A\t1") << "NumSerieFactura";
    QTest::newRow("series with a double quote") << numSerie("A\"1") << "NumSerieFactura";
    QTest::newRow("series with an apostrophe") << numSerie("A'1") << "NumSerieFactura";
    QTest::newRow("series with <") << numSerie("A<1") << "NumSerieFactura";
    QTest::newRow("series with >") << numSerie("A>1") << "NumSerieFactura";
    QTest::newRow("series with =") << numSerie("A=1") << "NumSerieFactura";
    QTest::newRow("series of 61 characters") << numSerie(repeated(u'9', 61)) << "NumSerieFactura";
    QTest::newRow("no series and number") << numSerie("   ") << "NumSerieFactura";

    QTest::newRow("issued before 28-10-2024")
        << Change([](BillingRecord& r) { r.invoice.issueDate = QDate(2024, 10, 27); })
        << "FechaExpedicionFactura";
    QTest::newRow("no issue date")
        << Change([](BillingRecord& r) { r.invoice.issueDate = QDate(); })
        << "FechaExpedicionFactura";
    QTest::newRow("issuer tax id with a wrong letter")
        << Change([](BillingRecord& r) { r.invoice.issuerNif = QStringLiteral("89890001A"); })
        << "IDEmisorFactura";
    QTest::newRow("issuer tax id written with a hyphen")
        << Change([](BillingRecord& r) { r.invoice.issuerNif = QStringLiteral("89890001-K"); })
        << "IDEmisorFactura";

    QTest::newRow("thirteen VAT details") << Change([](BillingRecord& r) {
        r.details.clear();
        for (int i = 0; i < 13; ++i)
            r.details << TaxDetail{VatTreatment::S1, Decimal::fromInteger(i), D("1"), D("0")};
    }) << "Desglose";
    QTest::newRow("no VAT detail")
        << Change([](BillingRecord& r) { r.details.clear(); }) << "Desglose";
    QTest::newRow("rate with three decimals")
        << Change([](BillingRecord& r) { r.details[0].rate = D("21.005"); }) << "TipoImpositivo";
    QTest::newRow("rate over 100")
        << Change([](BillingRecord& r) { r.details[0].rate = D("121"); }) << "TipoImpositivo";
    QTest::newRow("base of 13 integer digits")
        << Change([](BillingRecord& r) { r.details[0].base = D("1000000000000"); })
        << "BaseImponibleOimporteNoSujeto";
    QTest::newRow("total of 13 integer digits") << Change([](BillingRecord& r) {
        r.details[0].base = D("999999999999.99");
        r.details[0].quota = D("1");
    }) << "ImporteTotal";
    QTest::newRow("amount with three decimals")
        << Change([](BillingRecord& r) { r.details[0].quota = D("21.001"); }) << "CuotaRepercutida";
    QTest::newRow("exempt detail carrying tax") << Change([](BillingRecord& r) {
        r.details[0] = {VatTreatment::E1, D("0"), D("100"), D("21")};
    }) << "DetalleDesglose 1 (E1)";
    QTest::newRow("reverse charge carrying a rate") << Change([](BillingRecord& r) {
        r.details[0] = {VatTreatment::S2, D("21"), D("100"), D("0")};
    }) << "DetalleDesglose 1 (S2)";

    QTest::newRow("system id of three characters")
        << Change([](BillingRecord& r) { r.system.systemId = QStringLiteral("OVX"); })
        << "IdSistemaInformatico";
    QTest::newRow("system id of one character")
        << Change([](BillingRecord& r) { r.system.systemId = QStringLiteral("O"); })
        << "IdSistemaInformatico";
    QTest::newRow("producer's tax id missing")
        << Change([](BillingRecord& r) { r.system.producerNif.clear(); }) << "SistemaInformatico";
    QTest::newRow("no installation number")
        << Change([](BillingRecord& r) { r.system.installationNumber.clear(); })
        << "NumeroInstalacion";

    QTest::newRow("description over 500 characters")
        << Change([](BillingRecord& r) { r.description = repeated(u'x', 501); })
        << "DescripcionOperacion";
    QTest::newRow("issuer name over 120 characters")
        << Change([](BillingRecord& r) { r.issuerName = repeated(u'x', 121); })
        << "NombreRazonEmisor";
    QTest::newRow("no customer") << Change([](BillingRecord& r) { r.recipients.clear(); })
                                 << "Destinatarios";
    QTest::newRow("foreign customer without a country") << Change([](BillingRecord& r) {
        r.recipients = {
            {QStringLiteral("Lumière"), {}, {}, QStringLiteral("02"), QStringLiteral("FR1")}};
    }) << "CodigoPais";

    QTest::newRow("F1 naming a corrected invoice")
        << Change([](BillingRecord& r) { r.corrected = {r.invoice}; }) << "FacturasRectificadas";
    QTest::newRow("corrective without the corrected invoice")
        << Change([](BillingRecord& r) { r.type = InvoiceType::R4; }) << "FacturasRectificadas";
    QTest::newRow("substitution without the corrected amounts") << Change([](BillingRecord& r) {
        r.type = InvoiceType::R1;
        r.corrected = {{r.invoice.issuerNif, QStringLiteral("A-1"), QDate(2027, 1, 2)}};
    }) << "ImporteRectificacion";
    QTest::newRow("differences with corrected amounts") << Change([](BillingRecord& r) {
        r.type = InvoiceType::R2;
        r.correction = CorrectionKind::Differences;
        r.corrected = {{r.invoice.issuerNif, QStringLiteral("A-1"), QDate(2027, 1, 2)}};
        r.correctedAmounts = CorrectedAmounts{D("1"), D("0.21")};
    }) << "ImporteRectificacion";

    QTest::newRow("rejected before without being a subsanación")
        << Change([](BillingRecord& r) { r.previousRejection = PreviousRejection::Rejected; })
        << "RechazoPrevio";
    QTest::newRow("previous fingerprint in lower case") << Change([](BillingRecord& r) {
        r.chain = ChainLink::after(r.invoice, QString(64, u'a'));
    }) << "Huella del registro anterior";
    QTest::newRow("no generation time")
        << Change([](BillingRecord& r) { r.generatedAt = QDateTime(); })
        << "FechaHoraHusoGenRegistro";

    QTest::newRow("anulación of a series with =")
        << Change([](BillingRecord& r) { r = anulacion(QStringLiteral("A=1")); })
        << "NumSerieFacturaAnulada";
    QTest::newRow("anulación claiming it never reached the agency") << Change([](BillingRecord& r) {
        r = anulacion();
        r.previousRejection = PreviousRejection::NeverReceived;
    }) << "RechazoPrevio";
}

void tst_RecordRules::refused() {
    QFETCH(Change, change);
    QFETCH(QString, field);
    BillingRecord record = alta();
    change(record);

    const QStringList problems = RecordRules::problems(record, Today);
    QVERIFY2(problems.size() >= 1, "nothing refused");
    QVERIFY2(problems.first().contains(field), qPrintable(problems.join(u'\n')));

    // The builder refuses it too: nothing is written.
    try {
        RecordBuilder::build(record);
        QFAIL("the record was written");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(field), qPrintable(e.message()));
    }
}

void tst_RecordRules::accepted_data() {
    QTest::addColumn<Change>("change");
    QTest::newRow("series of 60 characters")
        << Change([](BillingRecord& r) { r.invoice.numSerie = repeated(u'7', 60); });
    QTest::newRow("series with every other printable sign") << Change([](BillingRecord& r) {
        r.invoice.numSerie = QStringLiteral("A-1/2 #3_4.5 (6)&7;8:9,0%$@!?*+[]{}|~^`\\");
    });
    QTest::newRow("issued on 28-10-2024")
        << Change([](BillingRecord& r) { r.invoice.issueDate = QDate(2024, 10, 28); });
    QTest::newRow("issued today") << Change([](BillingRecord& r) { r.invoice.issueDate = Today; });
    QTest::newRow("twelve integer digits") << Change([](BillingRecord& r) {
        r.details[0].base = D("999999999998.99");
        r.details[0].quota = D("1");
    });
    QTest::newRow("rate with two decimals")
        << Change([](BillingRecord& r) { r.details[0].rate = D("5.25"); });
    QTest::newRow("amount with trailing zeros beyond cents")
        << Change([](BillingRecord& r) { r.details[0].base = D("100.0000"); });
}

void tst_RecordRules::accepted() {
    QFETCH(Change, change);
    BillingRecord record = alta();
    change(record);
    QCOMPARE(RecordRules::problems(record, Today), QStringList());
    QCOMPARE(schemaErrors(RecordBuilder::build(record).xml), QStringList());
}

void tst_RecordRules::futureDate() {
    BillingRecord record = alta();
    record.invoice.issueDate = Today.addDays(1);
    try {
        RecordRules::require(record, Today);
        QFAIL("an invoice dated tomorrow was accepted");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(u"FechaExpedicionFactura"), qPrintable(e.message()));
        QVERIFY2(e.message().contains(u"11-03-2027"), qPrintable(e.message()));
    }
    BillingRecord cancel = anulacion();
    cancel.invoice.issueDate = Today.addDays(1);
    QVERIFY(
        RecordRules::problems(cancel, Today).first().contains(u"FechaExpedicionFacturaAnulada"));
}

void tst_RecordRules::clock_data() {
    QTest::addColumn<QDateTime>("previous");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("allowed");
    const QDateTime previous =
        QDateTime::fromString(QStringLiteral("2027-03-28T03:00:00+02:00"), Qt::ISODate);
    QTest::newRow("clock after the last record") << previous << previous.addSecs(1) << true;
    QTest::newRow("same second") << previous << previous << true;
    QTest::newRow("one minute behind") << previous << previous.addSecs(-60) << true;
    QTest::newRow("61 seconds behind") << previous << previous.addSecs(-61) << false;
    QTest::newRow("two minutes behind") << previous << previous.addSecs(-120) << false;
    QTest::newRow("an hour behind across the change of time")
        << previous << utc(2027, 3, 28, 0, 30) << false;
    QTest::newRow("other zone, same instant")
        << previous << previous.toTimeZone(QTimeZone("Atlantic/Canary")) << true;
}

void tst_RecordRules::clock() {
    QFETCH(QDateTime, previous);
    QFETCH(QDateTime, now);
    QFETCH(bool, allowed);
    bool refused = false;
    try {
        RecordRules::requireClockNotBehind(previous, now);
    } catch (const AppError& e) {
        refused = true;
        QVERIFY2(e.message().contains(u"reloj"), qPrintable(e.message()));
    }
    QCOMPARE(!refused, allowed);
}

QTEST_GUILESS_MAIN(tst_RecordRules)
#include "tst_RecordRules.moc"
