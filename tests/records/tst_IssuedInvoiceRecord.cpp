#include "InvoiceBuilder.h"
#include "RecordTestKit.h"
#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "facturae/XmlDocument.h"
#include "invoice/InvoiceRecord.h"
#include "records/IssuedInvoiceRecord.h"
#include "records/RecordBuilder.h"
#include "records/RecordRules.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QDir>
#include <QMap>
#include <QTest>

using namespace RecordTestKit;
using InvoiceBuilder::Line;

using Treatments = QList<std::optional<VatTreatment>>;
Q_DECLARE_METATYPE(Treatments)
Q_DECLARE_METATYPE(QList<Line>)

// The record of an issued invoice is made from its document as written: its
// breakdown and totals are the document's, whatever the lines' treatments,
// and it is a record the tax agency's schemas accept.
class tst_IssuedInvoiceRecord : public QObject {
    Q_OBJECT
private slots:
    void samples_data();
    void samples();
    void breakdown_data();
    void breakdown();
    void identifiesInvoiceAndParties();
    void foreignCustomer_data();
    void foreignCustomer();
    void descriptionFitsTheRecord();
    void refusedDocuments_data();
    void refusedDocuments();
    void agencyRules_data();
    void agencyRules();
};

namespace {

const QDate IssueDate(2027, 3, 5);

void fill(InvoiceRecord& r) {
    const QList<std::pair<RecordField, QString>> values = {
        {RecordField::IssuerCorporateName, QStringLiteral("Ferretería Ñandú, S.L.")},
        {RecordField::IssuerAddress, QStringLiteral("Rúa Nova 1")},
        {RecordField::IssuerPostCode, QStringLiteral("15705")},
        {RecordField::IssuerTown, QStringLiteral("Santiago")},
        {RecordField::IssuerProvince, QStringLiteral("A Coruña")},
        {RecordField::IssuerTaxId, QStringLiteral("89890001K")},
        {RecordField::IssuerEmail, QStringLiteral("ana@example.es")},
        {RecordField::CustomerCorporateName, QStringLiteral("Construcciones Lérez, S.A.")},
        {RecordField::CustomerAddress, QStringLiteral("Praza 1")},
        {RecordField::CustomerPostCode, QStringLiteral("15220")},
        {RecordField::CustomerTown, QStringLiteral("Ames")},
        {RecordField::CustomerProvince, QStringLiteral("A Coruña")},
        {RecordField::CustomerTaxId, QStringLiteral("89890002E")},
        {RecordField::Iban, QStringLiteral("ES9121000418450200051332")},
        {RecordField::InvoiceSeries, QStringLiteral("A")},
        {RecordField::InvoiceNumber, QStringLiteral("2027-001")},
    };
    for (const auto& [field, value] : values)
        r.setText(field, value);
    r.setIssueDate(IssueDate);
    r.setDueDate(IssueDate.addDays(30));
}

QByteArray document(InvoiceRecord& r) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(r, buffer);
    return buffer.data();
}

QByteArray document(const QList<Line>& lines, const QString& withholding = {}) {
    InvoiceRecord r;
    fill(r);
    if (!withholding.isEmpty())
        r.setText(RecordField::WithholdingRate, withholding);
    for (const Line& l : lines)
        InvoiceBuilder::addLine(r, l);
    return document(r);
}

Decimal decimalAt(const xmlNode* node, std::initializer_list<const char*> path) {
    const QByteArray text = XmlNodes::text(XmlNodes::descend(node, path)).trimmed().toLatin1();
    Decimal value;
    if (Decimal::parseXml(text.constData(), text.size(), value) != Decimal::ParseStatus::Ok)
        qFatal("not a number: %s", text.constData());
    return value;
}

// The record's breakdown and totals against the document's TaxesOutputs and
// totals: per rate, the bases of the record (exempt and not-subject amounts
// at 0 %) and its taxes add up to the document's group; CuotaTotal is
// TotalTaxOutputs; ImporteTotal is TotalGrossAmountBeforeTaxes plus it.
void compareWithDocument(const BillingRecord& record, const QByteArray& bytes) {
    const XmlDocument xml(bytes);
    QVERIFY2(xml.isRead(), qPrintable(xml.problem()));
    const xmlNode* invoice = XmlNodes::descend(xml.root(), {"Invoices", "Invoice"});
    QMap<Decimal, std::pair<Decimal, Decimal>> expected, found;
    for (const xmlNode* tax : XmlNodes::children(XmlNodes::child(invoice, "TaxesOutputs"), "Tax")) {
        auto& [base, quota] = expected[decimalAt(tax, {"TaxRate"})];
        base += decimalAt(tax, {"TaxableBase", "TotalAmount"});
        quota += decimalAt(tax, {"TaxAmount", "TotalAmount"});
    }
    for (const TaxDetail& d : record.details) {
        auto& [base, quota] = found[d.treatment == VatTreatment::S1 ? d.rate : Decimal()];
        base += d.base;
        quota += d.quota;
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QVERIFY2(found.contains(it.key()), qPrintable(it.key().plainText()));
        QCOMPARE(found[it.key()].first, it->first);
        QCOMPARE(found[it.key()].second, it->second);
    }
    QCOMPARE(found.size(), expected.size());
    const xmlNode* totals = XmlNodes::child(invoice, "InvoiceTotals");
    const Decimal taxes = decimalAt(totals, {"TotalTaxOutputs"});
    QCOMPARE(record.cuotaTotal(), taxes);
    QCOMPARE(record.importeTotal(), decimalAt(totals, {"TotalGrossAmountBeforeTaxes"}) + taxes);
}

// The draft made whole as the ledger makes it, written, and validated.
void requireValidRecord(BillingRecord record) {
    record.system = testSystem();
    record.generatedAt = utc(2027, 3, 5, 9, 30);
    record.chain = ChainLink::start();
    const QStringList problems = RecordRules::formProblems(record);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    const BuiltRecord built = RecordBuilder::build(record);
    const QStringList errors = schemaErrors(built.xml);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n')) + u'\n' + built.xml));
}

IssuedInvoiceRecord::Inputs inputs(const Treatments& treatments = {}) {
    IssuedInvoiceRecord::Inputs in;
    in.issuerNif = QStringLiteral("89890001K");
    in.lineTreatments = treatments;
    return in;
}

QString describe(const QList<TaxDetail>& details) {
    QStringList parts;
    for (const TaxDetail& d : details)
        parts << QStringLiteral("%1 %2 %3 %4")
                     .arg(vatTreatmentCode(d.treatment), d.rate.plainText(0), d.base.plainText(2),
                          d.quota.plainText(2));
    return parts.join(QStringLiteral(" | "));
}

} // namespace

void tst_IssuedInvoiceRecord::samples_data() {
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(ORVANE_SAMPLES_DIR));
    for (const QString& name : dir.entryList({QStringLiteral("*.ini")}, QDir::Files))
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void tst_IssuedInvoiceRecord::samples() {
    QFETCH(QString, path);
    InvoiceRecord r;
    InvoiceImport::importFile(r, path, false);
    // Records start in 2027; the figures do not depend on the day.
    r.setIssueDate(IssueDate);
    const QByteArray bytes = document(r);
    IssuedInvoiceRecord::Inputs in;
    const BillingRecord record = IssuedInvoiceRecord::draft(bytes, in);
    compareWithDocument(record, bytes);
    requireValidRecord(record);
}

void tst_IssuedInvoiceRecord::breakdown_data() {
    QTest::addColumn<QList<Line>>("lines");
    QTest::addColumn<QString>("withholding");
    QTest::addColumn<Treatments>("treatments");
    // Each detail: treatment, rate, base, tax.
    QTest::addColumn<QString>("details");

    const Line taxed(QStringLiteral("Tornillos"), 1, 100);
    const Line zero(QStringLiteral("Libro"), 1, 40, 0, 0);
    const Line exempt(QStringLiteral("Curso"), 1, 60, 0, 0, true);
    QTest::newRow("several rates, highest first")
        << QList<Line>{taxed,
                       {QStringLiteral("Pan"), 2, 10, 0, 4},
                       {QStringLiteral("Obra"), 1, 50, 0, 10}}
        << QString() << Treatments{} << "S1 21 100.00 21.00 | S1 10 50.00 5.00 | S1 4 20.00 0.80";
    // The group's tax is worked out on its base: 0.21 x 21 % = 0.04, while
    // the lines' own taxes add up to 0.03. The record says what the
    // document says.
    QTest::newRow("group tax rounded on the group")
        << QList<Line>{{QStringLiteral("a"), 1, 0.07},
                       {QStringLiteral("b"), 1, 0.07},
                       {QStringLiteral("c"), 1, 0.07}}
        << QString() << Treatments{} << "S1 21 0.21 0.04";
    QTest::newRow("withholding leaves the record's totals alone")
        << QList<Line>{taxed} << QStringLiteral("15") << Treatments{} << "S1 21 100.00 21.00";
    QTest::newRow("0 % is a rate")
        << QList<Line>{taxed, zero} << QString() << Treatments{std::nullopt, VatTreatment::S1}
        << "S1 21 100.00 21.00 | S1 0 40.00 0.00";
    // A 0 % line is exempt unless the line says otherwise.
    QTest::newRow("exempt by default E6")
        << QList<Line>{taxed, exempt, zero} << QString() << Treatments{}
        << "S1 21 100.00 21.00 | E6 0 100.00 0.00";
    QTest::newRow("0 % taxed and exempt apart")
        << QList<Line>{zero, exempt, zero} << QString()
        << Treatments{VatTreatment::S1, std::nullopt, VatTreatment::S1}
        << "S1 0 80.00 0.00 | E6 0 60.00 0.00";
    for (VatTreatment t :
         {VatTreatment::S2, VatTreatment::E1, VatTreatment::E2, VatTreatment::E3, VatTreatment::E4,
          VatTreatment::E5, VatTreatment::E6, VatTreatment::N1, VatTreatment::N2}) {
        const QString code = vatTreatmentCode(t);
        QTest::newRow(qPrintable(code + QStringLiteral(" given for a line")))
            << QList<Line>{taxed, zero, zero} << QString()
            << Treatments{std::nullopt, t, VatTreatment::S1}
            << QStringLiteral("S1 21 100.00 21.00 | S1 0 40.00 0.00 | %1 0 40.00 0.00").arg(code);
    }
    QTest::newRow("one detail per treatment, in the group of its rate")
        << QList<Line>{exempt, taxed, exempt, zero, zero} << QStringLiteral("7")
        << Treatments{VatTreatment::E1, std::nullopt, VatTreatment::E1, VatTreatment::N2,
                      VatTreatment::S2}
        << "S1 21 100.00 21.00 | E1 0 120.00 0.00 | N2 0 40.00 0.00 | S2 0 40.00 0.00";
}

void tst_IssuedInvoiceRecord::breakdown() {
    QFETCH(QList<Line>, lines);
    QFETCH(QString, withholding);
    QFETCH(Treatments, treatments);
    QFETCH(QString, details);
    const QByteArray bytes = document(lines, withholding);
    const BillingRecord record = IssuedInvoiceRecord::draft(bytes, inputs(treatments));
    QCOMPARE(describe(record.details), details);
    compareWithDocument(record, bytes);
    requireValidRecord(record);
}

void tst_IssuedInvoiceRecord::identifiesInvoiceAndParties() {
    InvoiceRecord r;
    fill(r);
    InvoiceBuilder::addLine(r, Line(QStringLiteral("Tornillos"), 1, 100));
    const BillingRecord withSeries = IssuedInvoiceRecord::draft(document(r), inputs());
    QCOMPARE(withSeries.invoice.issuerNif, QStringLiteral("89890001K"));
    QCOMPARE(withSeries.invoice.numSerie, QStringLiteral("A-2027-001"));
    QCOMPARE(withSeries.invoice.issueDate, IssueDate);
    QCOMPARE(withSeries.issuerName, QStringLiteral("Ferretería Ñandú, S.L."));
    QCOMPARE(withSeries.type, InvoiceType::F1);
    QCOMPARE(withSeries.kind, BillingRecord::Kind::Alta);
    QCOMPARE(withSeries.recipients.size(), 1);
    QCOMPARE(withSeries.recipients[0].name, QStringLiteral("Construcciones Lérez, S.A."));
    QCOMPARE(withSeries.recipients[0].nif, QStringLiteral("89890002E"));

    // The number alone without a series; the issuer's tax id as Mis datos
    // may write it, and the name the caller gives.
    r.setText(RecordField::InvoiceSeries, QString());
    r.setText(RecordField::IssuerTaxId, QStringLiteral("ES-89890001-k"));
    IssuedInvoiceRecord::Inputs in = inputs();
    in.issuerNif = QStringLiteral("es89890001K");
    in.issuerName = QStringLiteral("Ñandú");
    in.territory = Territory::Canarias;
    const BillingRecord alone = IssuedInvoiceRecord::draft(document(r), in);
    QCOMPARE(alone.invoice.numSerie, QStringLiteral("2027-001"));
    QCOMPARE(alone.invoice.issuerNif, QStringLiteral("89890001K"));
    QCOMPARE(alone.issuerName, QStringLiteral("Ñandú"));
    QCOMPARE(alone.territory, Territory::Canarias);
}

void tst_IssuedInvoiceRecord::foreignCustomer_data() {
    QTest::addColumn<QString>("residence");
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("idType");
    QTest::addColumn<QString>("countryCode");
    QTest::newRow("in the Union: VAT number") << "U"
                                              << "FRA"
                                              << "02"
                                              << "FR";
    QTest::newRow("elsewhere: the country's id") << "E"
                                                 << "USA"
                                                 << "04"
                                                 << "US";
    // Kept as written, so that the rules name it rather than a guess.
    QTest::newRow("a code that names no country") << "E"
                                                  << "XXX"
                                                  << "04"
                                                  << "XXX";
}

void tst_IssuedInvoiceRecord::foreignCustomer() {
    QFETCH(QString, residence);
    QFETCH(QString, country);
    QFETCH(QString, idType);
    QFETCH(QString, countryCode);
    // The writer knows only customers in Spain; another program's document
    // names a foreign one with its residence and an overseas address.
    InvoiceRecord r;
    fill(r);
    r.setText(RecordField::CustomerTaxId, QStringLiteral("FR40303265045"));
    InvoiceBuilder::addLine(r, Line(QStringLiteral("Tornillos"), 1, 100));
    QByteArray bytes = document(r);
    const qsizetype buyer = bytes.indexOf("<BuyerParty>");
    QVERIFY(buyer > 0);
    const qsizetype residenceAt = bytes.indexOf("<ResidenceTypeCode>R<", buyer);
    QVERIFY(residenceAt > 0);
    bytes.replace(residenceAt, 21, "<ResidenceTypeCode>" + residence.toLatin1() + "<");
    const qsizetype address = bytes.indexOf("<AddressInSpain>", buyer);
    const qsizetype addressEnd = bytes.indexOf("</AddressInSpain>", address) + 17;
    bytes.replace(address, addressEnd - address,
                  "<OverseasAddress><Address>1 Main St</Address><PostCodeAndTown>Town"
                  "</PostCodeAndTown><Province>P</Province><CountryCode>" +
                      country.toLatin1() + "</CountryCode></OverseasAddress>");

    const BillingRecord record = IssuedInvoiceRecord::draft(bytes, inputs());
    QCOMPARE(record.recipients.size(), 1);
    const Recipient& who = record.recipients[0];
    QVERIFY(who.nif.isEmpty());
    QCOMPARE(who.otherId, QStringLiteral("FR40303265045"));
    QCOMPARE(who.idType, idType);
    QCOMPARE(who.countryCode, countryCode);
    if (countryCode.size() == 2) {
        requireValidRecord(record);
        return;
    }
    const QString problems = RecordRules::formProblems(record).join(u'\n');
    QVERIFY2(problems.contains(QStringLiteral("CodigoPais del Destinatario 1: «XXX»")),
             qPrintable(problems));
}

void tst_IssuedInvoiceRecord::descriptionFitsTheRecord() {
    QList<Line> lines;
    for (int i = 0; i < 40; ++i)
        lines.append(Line(QStringLiteral("Artículo\nnúmero %1 de la serie larga").arg(i), 1, 1));
    const BillingRecord record = IssuedInvoiceRecord::draft(document(lines), inputs());
    QCOMPARE(record.description.size(), 500);
    QVERIFY(record.description.startsWith(
        QStringLiteral("Artículo número 0 de la serie larga; Artículo número 1 ")));
    QVERIFY(record.description.endsWith(QChar(0x2026)));
    requireValidRecord(record);

    const BillingRecord unnamed =
        IssuedInvoiceRecord::draft(document({Line(QString(), 1, 5)}), inputs());
    QCOMPARE(unnamed.description, QStringLiteral("Factura A-2027-001"));
}

void tst_IssuedInvoiceRecord::refusedDocuments_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<Treatments>("treatments");
    QTest::addColumn<QString>("issuerNif");
    QTest::addColumn<QString>("message");
    const Treatments none;
    QTest::newRow("another taxpayer") << QByteArray() << QByteArray() << none << "B15000001"
                                      << "es del NIF 89890001K y su NIF en Mis datos es B15000001";
    QTest::newRow("exempt at a rate")
        << QByteArray() << QByteArray() << Treatments{VatTreatment::E1} << "89890001K"
        << "La línea 1 de la factura es una operación exenta (E1)";
    QTest::newRow("reverse charge with tax")
        << QByteArray() << QByteArray() << Treatments{VatTreatment::S2} << "89890001K"
        << "con inversión del sujeto pasivo (S2) y el documento le pone el tipo 21,00 %";
    QTest::newRow("not VAT") << QByteArray("<TaxTypeCode>01</TaxTypeCode>")
                             << QByteArray("<TaxTypeCode>03</TaxTypeCode>") << none << "89890001K"
                             << "impuesto de código 03 y no IVA";
    QTest::newRow("totals do not add up")
        << QByteArray("<TotalTaxOutputs>21.00") << QByteArray("<TotalTaxOutputs>21.01") << none
        << "89890001K"
        << "el documento no cuadra";
    QTest::newRow("two invoices") << QByteArray("<Invoices>") << QByteArray("<Invoices><Invoice/>")
                                  << none << "89890001K"
                                  << "no es una factura Facturae";
}

void tst_IssuedInvoiceRecord::refusedDocuments() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(Treatments, treatments);
    QFETCH(QString, issuerNif);
    QFETCH(QString, message);
    QByteArray bytes = document({Line(QStringLiteral("Tornillos"), 1, 100)});
    if (!from.isEmpty()) {
        QVERIFY2(bytes.contains(from), from.constData());
        bytes.replace(from, to);
    }
    IssuedInvoiceRecord::Inputs in = inputs(treatments);
    in.issuerNif = issuerNif;
    try {
        IssuedInvoiceRecord::draft(bytes, in);
        QFAIL("no refusal");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
}

void tst_IssuedInvoiceRecord::agencyRules_data() {
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QDate>("issueDate");
    QTest::addColumn<QList<Line>>("lines");
    QTest::addColumn<QString>("problem");
    const QList<Line> one{Line(QStringLiteral("Tornillos"), 1, 100)};
    QTest::newRow("quote in the series") << "A\""
                                         << "1" << IssueDate << one << "NumSerieFactura (factura)";
    QTest::newRow("angle bracket in the number")
        << "A"
        << "<1>" << IssueDate << one << "NumSerieFactura (factura)";
    QTest::newRow("over 60 characters")
        << "SERIE" << QString(55, u'9') << IssueDate << one << "NumSerieFactura (factura)";
    QTest::newRow("before the first day")
        << "A"
        << "1" << QDate(2024, 10, 27) << one
        << "FechaExpedicionFactura (factura): la fecha 27-10-2024";
    QTest::newRow("in the future") << "A"
                                   << "1" << QDate(2027, 3, 6) << one << "FechaExpedicionFactura";
    QList<Line> thirteen;
    for (int rate = 1; rate <= 13; ++rate)
        thirteen.append(Line(QStringLiteral("Línea"), 1, 10, 0, rate));
    QTest::newRow("13 details") << "A"
                                << "1" << IssueDate << thirteen << "Desglose";
    QTest::newRow("rate with three decimals")
        << "A"
        << "1" << IssueDate << QList<Line>{Line(QStringLiteral("Pan"), 1, 10, 0, 5.125)}
        << "TipoImpositivo";
    QTest::newRow("over twelve integer digits")
        << "A"
        << "1" << IssueDate << QList<Line>{Line(QStringLiteral("Obra"), 1000, 1'000'000'000, 0, 0)}
        << "doce cifras enteras";
}

// What the tax agency refuses: the document as written, its draft refused.
void tst_IssuedInvoiceRecord::agencyRules() {
    QFETCH(QString, series);
    QFETCH(QString, number);
    QFETCH(QDate, issueDate);
    QFETCH(QList<Line>, lines);
    QFETCH(QString, problem);
    InvoiceRecord r;
    fill(r);
    r.setText(RecordField::InvoiceSeries, series);
    r.setText(RecordField::InvoiceNumber, number);
    r.setIssueDate(issueDate);
    for (const Line& l : lines)
        InvoiceBuilder::addLine(r, l);
    BillingRecord record = IssuedInvoiceRecord::draft(document(r), inputs());
    record.system = testSystem();
    const QStringList problems = RecordRules::problems(record, IssueDate);
    QVERIFY2(problems.join(QLatin1Char('\n')).contains(problem),
             qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(tst_IssuedInvoiceRecord)
#include "tst_IssuedInvoiceRecord.moc"
