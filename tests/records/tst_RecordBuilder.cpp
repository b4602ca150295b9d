#include "RecordTestKit.h"
#include "common/AppError.h"
#include "records/RecordBuilder.h"
#include "records/RecordReader.h"

#include <QMultiMap>
#include <QTest>

#include <memory>

using namespace RecordTestKit;

Q_DECLARE_METATYPE(BillingRecord)

// Records as written: valid against the tax agency's schemas, the elements
// each case calls for, and a fingerprint over exactly the texts written.
class tst_RecordBuilder : public QObject {
    Q_OBJECT
private slots:
    void records_data();
    void records();
    void writtenTextIsHashed();
    void refusedRecordIsNotWritten();
};

namespace {

// Every element's text by local name, in document order.
QMultiMap<QString, QString> elementTexts(const QByteArray& xml) {
    QMultiMap<QString, QString> found;
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        xmlReadMemory(xml.constData(), int(xml.size()), nullptr, nullptr, XML_PARSE_NONET),
        xmlFreeDoc);
    if (!doc)
        return found;
    std::function<void(xmlNode*)> walk = [&](xmlNode* node) {
        for (xmlNode* n = node; n; n = n->next) {
            if (n->type != XML_ELEMENT_NODE)
                continue;
            xmlChar* content = xmlNodeGetContent(n);
            found.insert(QString::fromUtf8(reinterpret_cast<const char*>(n->name)),
                         QString::fromUtf8(reinterpret_cast<const char*>(content)).trimmed());
            xmlFree(content);
            walk(n->children);
        }
    };
    walk(xmlDocGetRootElement(doc.get()));
    return found;
}

TaxDetail detail(VatTreatment t, const char* rate, const char* base, const char* quota) {
    return {t, D(rate), D(base), D(quota)};
}

BillingRecord withDetails(QList<TaxDetail> details) {
    BillingRecord r = alta();
    r.details = std::move(details);
    return r;
}

BillingRecord corrective(InvoiceType type, CorrectionKind kind) {
    BillingRecord r = alta(QStringLiteral("R-2027-004"));
    r.type = type;
    r.correction = kind;
    r.corrected = {{QStringLiteral("89890001K"), QStringLiteral("A-2027-001"), QDate(2027, 2, 1)}};
    if (kind == CorrectionKind::Substitution) {
        r.correctedAmounts = CorrectedAmounts{D("100.00"), D("21.00")};
        r.details = {detail(VatTreatment::S1, "21", "90.00", "18.90")};
    } else {
        r.details = {detail(VatTreatment::S1, "21", "-50.00", "-10.50")};
    }
    return r;
}

} // namespace

void tst_RecordBuilder::records_data() {
    QTest::addColumn<BillingRecord>("record");
    // "Element=text" that must be in the record; elements that must not.
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("F1 at 21 %, first of its chain")
        << alta()
        << QStringList{"TipoFactura=F1",
                       "Impuesto=01",
                       "ClaveRegimen=01",
                       "CalificacionOperacion=S1",
                       "TipoImpositivo=21.00",
                       "CuotaRepercutida=21.00",
                       "BaseImponibleOimporteNoSujeto=100.00",
                       "CuotaTotal=21.00",
                       "ImporteTotal=121.00",
                       "PrimerRegistro=S",
                       "IdSistemaInformatico=OV",
                       "TipoUsoPosibleSoloVerifactu=N",
                       "TipoUsoPosibleMultiOT=N",
                       "IndicadorMultiplesOT=N",
                       "TipoHuella=01",
                       "IDVersion=1.0",
                       "FechaExpedicionFactura=05-03-2027",
                       "FechaHoraHusoGenRegistro=2027-03-05T10:30:00+01:00"}
        << QStringList{"TipoRectificativa", "Subsanacion", "RechazoPrevio", "RegistroAnterior",
                       "OperacionExenta"};

    QTest::newRow("S1 at 0 % is a rate, not an exemption")
        << withDetails({detail(VatTreatment::S1, "0", "80.00", "0")})
        << QStringList{"CalificacionOperacion=S1", "TipoImpositivo=0.00", "CuotaRepercutida=0.00",
                       "CuotaTotal=0.00", "ImporteTotal=80.00"}
        << QStringList{"OperacionExenta"};

    QTest::newRow("S2 reverse charge at rate 0 with tax 0")
        << withDetails({detail(VatTreatment::S2, "0", "500.00", "0")})
        << QStringList{"CalificacionOperacion=S2", "TipoImpositivo=0.00",
                       "CuotaRepercutida=0.00",    "BaseImponibleOimporteNoSujeto=500.00",
                       "CuotaTotal=0.00",          "ImporteTotal=500.00"}
        << QStringList{"OperacionExenta"};

    const VatTreatment exempt[] = {VatTreatment::E1, VatTreatment::E2, VatTreatment::E3,
                                   VatTreatment::E4, VatTreatment::E5, VatTreatment::E6};
    for (const VatTreatment e : exempt) {
        const QString code = vatTreatmentCode(e);
        QTest::addRow("%s exempt: no rate, no tax", qPrintable(code))
            << withDetails({detail(e, "0", "250.50", "0")})
            << QStringList{"OperacionExenta=" + code, "BaseImponibleOimporteNoSujeto=250.50",
                           "CuotaTotal=0.00", "ImporteTotal=250.50"}
            << QStringList{"CalificacionOperacion", "TipoImpositivo", "CuotaRepercutida"};
    }
    for (const VatTreatment n : {VatTreatment::N1, VatTreatment::N2}) {
        const QString code = vatTreatmentCode(n);
        QTest::addRow("%s not subject: no rate, no tax", qPrintable(code))
            << withDetails({detail(n, "0", "75.00", "0")})
            << QStringList{"CalificacionOperacion=" + code, "BaseImponibleOimporteNoSujeto=75.00",
                           "CuotaTotal=0.00", "ImporteTotal=75.00"}
            << QStringList{"OperacionExenta", "TipoImpositivo", "CuotaRepercutida"};
    }

    QTest::newRow("several treatments and rates in one invoice")
        << withDetails({detail(VatTreatment::S1, "21", "100.00", "21.00"),
                        detail(VatTreatment::S1, "10", "33.33", "3.33"),
                        detail(VatTreatment::S1, "4", "10.01", "0.40"),
                        detail(VatTreatment::E1, "0", "20.00", "0"),
                        detail(VatTreatment::S2, "0", "5.00", "0")})
        << QStringList{"TipoImpositivo=10.00",  "TipoImpositivo=4.00", "CuotaRepercutida=3.33",
                       "CuotaRepercutida=0.40", "OperacionExenta=E1",  "CuotaTotal=24.73",
                       "ImporteTotal=193.07"}
        << QStringList{};

    QList<TaxDetail> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << detail(VatTreatment::S1, QByteArray::number(i).constData(), "10.00",
                         QByteArray::number(i / 10.0, 'f', 2).constData());
    QTest::newRow("twelve details, the most allowed")
        << withDetails(twelve) << QStringList{"TipoImpositivo=12.00", "CuotaTotal=7.80"}
        << QStringList{};

    BillingRecord second = alta(QStringLiteral("A-2027-002"));
    second.chain = ChainLink::after(
        {QStringLiteral("89890001K"), QStringLiteral("A-2027-001"), QDate(2027, 3, 5)},
        QStringLiteral("3C464DAF61ACB827C65FDA19F352A4E3BDC2C640E9E9FC4CC058073F38F12F60"));
    QTest::newRow("a later record names the one before it")
        << second
        << QStringList{"NumSerieFactura=A-2027-001",
                       "Huella=3C464DAF61ACB827C65FDA19F352A4E3BDC2C640E9E9FC4CC058073F38F12F60"}
        << QStringList{"PrimerRegistro"};

    BillingRecord cancel = anulacion();
    cancel.chain = second.chain;
    QTest::newRow("anulación") << cancel
                               << QStringList{"IDEmisorFacturaAnulada=89890001K",
                                              "NumSerieFacturaAnulada=A-2027-001",
                                              "FechaExpedicionFacturaAnulada=05-03-2027",
                                              "FechaHoraHusoGenRegistro=2027-03-06T13:00:00+01:00"}
                               << QStringList{"TipoFactura",   "Desglose",
                                              "CuotaTotal",    "SinRegistroPrevio",
                                              "RechazoPrevio", "NombreRazonEmisor"};

    BillingRecord cancelRejected = cancel;
    cancelRejected.previousRejection = PreviousRejection::Rejected;
    cancelRejected.withoutPriorRecord = true;
    QTest::newRow("anulación after a rejection, of an invoice with no record")
        << cancelRejected << QStringList{"SinRegistroPrevio=S", "RechazoPrevio=S"} << QStringList{};

    BillingRecord fix = second;
    fix.subsanacion = true;
    QTest::newRow("subsanación of an accepted alta")
        << fix << QStringList{"Subsanacion=S"} << QStringList{"RechazoPrevio"};

    BillingRecord fixRejected = fix;
    fixRejected.previousRejection = PreviousRejection::NeverReceived;
    QTest::newRow("subsanación after a rejected alta")
        << fixRejected << QStringList{"Subsanacion=S", "RechazoPrevio=X"} << QStringList{};

    const std::pair<InvoiceType, const char*> types[] = {{InvoiceType::R1, "R1"},
                                                         {InvoiceType::R2, "R2"},
                                                         {InvoiceType::R3, "R3"},
                                                         {InvoiceType::R4, "R4"}};
    for (const auto& [type, code] : types) {
        QTest::addRow("%s by substitution", code)
            << corrective(type, CorrectionKind::Substitution)
            << QStringList{QStringLiteral("TipoFactura=") + code,
                           "TipoRectificativa=S",
                           "NumSerieFactura=A-2027-001",
                           "FechaExpedicionFactura=01-02-2027",
                           "BaseRectificada=100.00",
                           "CuotaRectificada=21.00",
                           "ImporteTotal=108.90"}
            << QStringList{};
        QTest::addRow("%s by differences", code)
            << corrective(type, CorrectionKind::Differences)
            << QStringList{QStringLiteral("TipoFactura=") + code, "TipoRectificativa=I",
                           "BaseImponibleOimporteNoSujeto=-50.00", "CuotaTotal=-10.50",
                           "ImporteTotal=-60.50"}
            << QStringList{"ImporteRectificacion"};
    }

    BillingRecord foreign = alta();
    foreign.recipients = {{QStringLiteral("Société Lumière SARL"), QString(), QStringLiteral("FR"),
                           QStringLiteral("02"), QStringLiteral("FR12345678901")}};
    QTest::newRow("a foreign customer")
        << foreign
        << QStringList{"NombreRazon=Société Lumière SARL", "CodigoPais=FR", "IDType=02",
                       "ID=FR12345678901"}
        << QStringList{};

    BillingRecord awkward = alta(QStringLiteral("  A&B/2027 #1 "));
    awkward.issuerName = QStringLiteral("Pérez & Hijos <Ferretería>\x01");
    awkward.description = QStringLiteral("Línea\r\nsegunda");
    QTest::newRow("texts that need escaping, blanks around the number")
        << awkward
        << QStringList{"NumSerieFactura=A&B/2027 #1",
                       "NombreRazonEmisor=Pérez & Hijos <Ferretería>"}
        << QStringList{};
}

void tst_RecordBuilder::records() {
    QFETCH(BillingRecord, record);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);

    const BuiltRecord built = RecordBuilder::build(record);
    QCOMPARE(schemaErrors(built.xml), QStringList());
    QVERIFY2(built.xml.startsWith("<sum1:Registro"), built.xml.left(40).constData());

    // Read back from the bytes: the texts written are the ones hashed.
    const ReadRecord read = RecordReader::read(built.xml);
    QCOMPARE(read.huella, built.huella);
    QCOMPARE(Fingerprint::input(read.fingerprinted), built.fingerprintInput);
    QCOMPARE(Fingerprint::of(built.fingerprintInput), built.huella);

    const QMultiMap<QString, QString> texts = elementTexts(built.xml);
    for (const QString& expected : present) {
        const QString name = expected.section(u'=', 0, 0);
        const QString value = expected.section(u'=', 1);
        QVERIFY2(
            texts.values(name).contains(value),
            qPrintable(
                QStringLiteral("%1 not among %2").arg(expected, texts.values(name).join(u'|'))));
    }
    for (const QString& name : absent)
        QVERIFY2(!texts.contains(name), qPrintable(name));
}

void tst_RecordBuilder::writtenTextIsHashed() {
    // 101.73 + 21.37 is 123.1: the record writes 123.10 and hashes 123.10.
    BillingRecord r = withDetails({detail(VatTreatment::S1, "21", "101.73", "21.37")});
    const BuiltRecord built = RecordBuilder::build(r);
    QVERIFY(built.xml.contains("<sum1:ImporteTotal>123.10</sum1:ImporteTotal>"));
    QVERIFY(built.fingerprintInput.contains("&ImporteTotal=123.10&"));

    Fingerprint::RecordTexts shortForm = RecordBuilder::fingerprintTexts(r);
    QCOMPARE(shortForm.importeTotal, QStringLiteral("123.10"));
    QCOMPARE(Fingerprint::of(Fingerprint::input(shortForm)), built.huella);
    shortForm.importeTotal = QStringLiteral("123.1");
    QVERIFY(Fingerprint::of(Fingerprint::input(shortForm)) != built.huella);

    // The same value written the other way is another record.
    QByteArray edited = built.xml;
    edited.replace("<sum1:ImporteTotal>123.10<", "<sum1:ImporteTotal>123.1<");
    const ReadRecord read = RecordReader::read(edited);
    QVERIFY(Fingerprint::of(Fingerprint::input(read.fingerprinted)) != read.huella);
}

void tst_RecordBuilder::refusedRecordIsNotWritten() {
    BillingRecord r = alta(QStringLiteral("A<1>"));
    r.details.clear();
    try {
        RecordBuilder::build(r);
        QFAIL("a record breaking the rules was written");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(u"NumSerieFactura"), qPrintable(e.message()));
        QVERIFY2(e.message().contains(u"Desglose"), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(tst_RecordBuilder)
#include "tst_RecordBuilder.moc"
