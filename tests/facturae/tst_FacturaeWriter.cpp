#include "DecimalTestKit.h"
#include "InvoiceBuilder.h"
#include "ParsedElement.h"
#include "common/AppError.h"
#include "facturae/DocumentCheck.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The whole document: frame and byte form, header, parties, invoice body,
// conditional elements, and the save.
class tst_FacturaeWriter : public QObject {
    Q_OBJECT
private slots:
    void byteForm();
    void batchIdentifier_data();
    void batchIdentifier();
    void parties_data();
    void parties();
    void administrativeCentres_data();
    void administrativeCentres();
    void textsAreEscapedAndForbiddenCharactersDropped();
    void taxGroups_data();
    void taxGroups();
    void withholding_data();
    void withholding();
    void invoiceLine_data();
    void invoiceLine();
    void invoiceWithoutLines();
    void treatments_data();
    void treatments();
    void lineBeingEditedIsStoredFirst();
    void saveReplacesAnExistingFile();
    void failedSaveLeavesNoPartialFile_data();
    void failedSaveLeavesNoPartialFile();
};

namespace {

using Node = ParsedElement;

// Names as written, without checking their prefixes.
Node parse(const QByteArray& bytes) {
    return ParsedElement::parse(bytes, false);
}

using LineInput = InvoiceBuilder::Line;
using InvoiceBuilder::addLine;

// A record with every field filled with a text of its own.
void fill(InvoiceRecord& r) {
    r.lines().open();
    const QList<QPair<RecordField, QString>> values = {
        {RecordField::IssuerCorporateName, QStringLiteral("Talleres Íñiguez S.L.")},
        {RecordField::IssuerFirstName, QStringLiteral("Xoán")},
        {RecordField::IssuerFirstSurname, QStringLiteral("Pérez")},
        {RecordField::IssuerSecondSurname, QStringLiteral("Núñez")},
        {RecordField::IssuerAddress, QStringLiteral("Rúa Nova 1")},
        {RecordField::IssuerPostCode, QStringLiteral("15705")},
        {RecordField::IssuerTown, QStringLiteral("Santiago")},
        {RecordField::IssuerProvince, QStringLiteral("A Coruña")},
        {RecordField::IssuerTaxId, QStringLiteral("B15123456")},
        {RecordField::IssuerContact, QStringLiteral("Ana")},
        {RecordField::IssuerEmail, QStringLiteral("ana@example.es")},
        {RecordField::CustomerCorporateName, QStringLiteral("Concello de Ames")},
        {RecordField::CustomerFirstName, QStringLiteral("María")},
        {RecordField::CustomerFirstSurname, QStringLiteral("López")},
        {RecordField::CustomerSecondSurname, QStringLiteral("Díaz")},
        {RecordField::CustomerAddress, QStringLiteral("Praza 1")},
        {RecordField::CustomerPostCode, QStringLiteral("15220")},
        {RecordField::CustomerTown, QStringLiteral("Ames")},
        {RecordField::CustomerProvince, QStringLiteral("A Coruña")},
        {RecordField::CustomerTaxId, QStringLiteral("P1500200A")},
        {RecordField::CustomerContact, QStringLiteral("Compras")},
        {RecordField::BankEntity, QStringLiteral("2100")},
        {RecordField::BankOffice, QStringLiteral("0418")},
        {RecordField::BankControlDigits, QStringLiteral("45")},
        {RecordField::BankAccountNumber, QStringLiteral("0200051332")},
        {RecordField::Iban, QStringLiteral("ES9121000418450200051332")},
        {RecordField::InvoiceSeries, QStringLiteral("A")},
        {RecordField::InvoiceNumber, QStringLiteral("2024-001")},
        {RecordField::ManagingBodyCode, QStringLiteral("G1")},
        {RecordField::AccountingOfficeCode, QStringLiteral("O1")},
        {RecordField::ProcessingUnitCode, QStringLiteral("U1")},
        {RecordField::ManagingBodyName, QStringLiteral("Xestor")},
        {RecordField::AccountingOfficeName, QStringLiteral("Intervención")},
        {RecordField::ProcessingUnitName, QStringLiteral("Obras")},
    };
    for (const auto& [field, value] : values)
        r.setText(field, value);
    r.setIssueDate(QDate(2024, 3, 15));
    r.setDueDate(QDate(2024, 4, 5));
}

QByteArray document(InvoiceRecord& r) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(r, buffer);
    return buffer.data();
}

const QString InvoicePath = QStringLiteral("Invoices/Invoice");

} // namespace

void tst_FacturaeWriter::byteForm() {
    InvoiceRecord r;
    fill(r);
    addLine(r, {QStringLiteral("Revisión"), 1, 100});
    const QByteArray bytes = document(r);

    QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                             "<fe:Facturae xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
                             "xmlns:fe=\"http://www.facturae.es/Facturae/2014/v3.2.1/Facturae\">\n"
                             "  <FileHeader>\n"
                             "    <SchemaVersion>3.2.1</SchemaVersion>\n"
                             "    <Modality>I</Modality>\n"
                             "    <InvoiceIssuerType>EM</InvoiceIssuerType>\n"
                             "    <Batch>\n"));
    // UTF-8 without a byte-order mark; text elements on one line.
    QVERIFY(bytes.contains(
        "        <CorporateName>Talleres \xC3\x8D\xC3\xB1iguez S.L.</CorporateName>\n"));
    QVERIFY(bytes.trimmed().endsWith("</fe:Facturae>"));

    // Indentation: two spaces per level, no tabs.
    int depth = 0;
    for (const QByteArray& line : bytes.split('\n').mid(1)) {
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype indent = line.size() - line.trimmed().size();
        const bool closing = line.trimmed().startsWith("</");
        if (closing)
            --depth;
        QCOMPARE(indent, 2 * depth);
        const QByteArray t = line.trimmed();
        if (!closing && !t.contains("</") && !t.endsWith("/>"))
            ++depth;
    }
    QCOMPARE(depth, 0);

    const Node root = parse(bytes);
    QCOMPARE(root.name, QStringLiteral("fe:Facturae"));
    QCOMPARE(root.childNames(), (QStringList{"FileHeader", "Parties", "Invoices"}));
    QCOMPARE(root.at("FileHeader").compact(),
             QStringLiteral("FileHeader{SchemaVersion=3.2.1;Modality=I;InvoiceIssuerType=EM;"
                            "Batch{BatchIdentifier=P1500200AA;InvoicesCount=1;"
                            "TotalInvoicesAmount{TotalAmount=121.00};"
                            "TotalOutstandingAmount{TotalAmount=121.00};"
                            "TotalExecutableAmount{TotalAmount=121.00};InvoiceCurrencyCode=EUR}}"));
    QCOMPARE(root.at(InvoicePath).childNames(),
             (QStringList{"InvoiceHeader", "InvoiceIssueData", "TaxesOutputs", "InvoiceTotals",
                          "Items", "PaymentDetails"}));
    QCOMPARE(root.at(InvoicePath + "/InvoiceHeader").compact(),
             QStringLiteral("InvoiceHeader{InvoiceNumber=2024-001;InvoiceSeriesCode=A;"
                            "InvoiceDocumentType=FC;InvoiceClass=OO}"));
    QCOMPARE(root.at(InvoicePath + "/InvoiceIssueData").compact(),
             QStringLiteral("InvoiceIssueData{IssueDate=2024-03-15;InvoiceCurrencyCode=EUR;"
                            "TaxCurrencyCode=EUR;LanguageName=es}"));
    QCOMPARE(root.at(InvoicePath + "/InvoiceTotals").compact(),
             QStringLiteral("InvoiceTotals{TotalGrossAmount=100.00;TotalGeneralDiscounts=0.00;"
                            "TotalGeneralSurcharges=0.00;TotalGrossAmountBeforeTaxes=100.00;"
                            "TotalTaxOutputs=21.00;TotalTaxesWithheld=0.00;InvoiceTotal=121.00;"
                            "TotalOutstandingAmount=121.00;TotalExecutableAmount=121.00;"
                            "TotalReimbursableExpenses=0.00}"));
    QCOMPARE(root.at(InvoicePath + "/PaymentDetails").compact(),
             QStringLiteral("PaymentDetails{Installment{InstallmentDueDate=2024-04-05;"
                            "InstallmentAmount=121.00;PaymentMeans=04;"
                            "AccountToBeCredited{IBAN=ES9121000418450200051332}}}"));
}

void tst_FacturaeWriter::batchIdentifier_data() {
    QTest::addColumn<QString>("taxId");
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("batch");
    QTest::newRow("both") << "B15000000"
                          << "A"
                          << "B15000000A";
    QTest::newRow("no series") << "B15000000"
                               << ""
                               << "B15000000";
    QTest::newRow("no tax number") << ""
                                   << "A"
                                   << "A";
    QTest::newRow("blanks kept") << "B1 "
                                 << " A"
                                 << "B1  A";
}

void tst_FacturaeWriter::batchIdentifier() {
    QFETCH(QString, taxId);
    QFETCH(QString, series);
    InvoiceRecord r;
    fill(r);
    r.setText(RecordField::CustomerTaxId, taxId);
    r.setText(RecordField::InvoiceSeries, series);
    QTEST(parse(document(r)).at("FileHeader/Batch/BatchIdentifier").text, "batch");
}

void tst_FacturaeWriter::parties_data() {
    QTest::addColumn<PersonType>("issuer");
    QTest::addColumn<PersonType>("customer");
    QTest::addColumn<QString>("seller");
    QTest::addColumn<QString>("buyer");

    const QString sellerAddress = QStringLiteral(
        "AddressInSpain{Address=Rúa Nova 1;PostCode=15705;Town=Santiago;Province=A Coruña;"
        "CountryCode=ESP};ContactDetails{ElectronicMail=ana@example.es}");
    const QString buyerAddress =
        QStringLiteral("AddressInSpain{Address=Praza 1;PostCode=15220;Town=Ames;Province=A Coruña;"
                       "CountryCode=ESP}");
    const QString sellerLegal =
        "SellerParty{TaxIdentification{PersonTypeCode=J;ResidenceTypeCode=R;"
        "TaxIdentificationNumber=B15123456};LegalEntity{CorporateName=Talleres Íñiguez S.L.;"
        "TradeName=Ana;" +
        sellerAddress + "}}";
    const QString sellerIndividual =
        "SellerParty{TaxIdentification{PersonTypeCode=F;ResidenceTypeCode=R;"
        "TaxIdentificationNumber=B15123456};Individual{Name=Xoán;FirstSurname=Pérez;"
        "SecondSurname=Núñez;" +
        sellerAddress + "}}";
    const QString buyerLegal =
        "BuyerParty{TaxIdentification{PersonTypeCode=J;ResidenceTypeCode=R;"
        "TaxIdentificationNumber=P1500200A};LegalEntity{CorporateName=Concello de Ames;"
        "TradeName=Compras;" +
        buyerAddress + "}}";
    const QString buyerIndividual =
        "BuyerParty{TaxIdentification{PersonTypeCode=F;ResidenceTypeCode=R;"
        "TaxIdentificationNumber=P1500200A};Individual{Name=María;FirstSurname=López;"
        "SecondSurname=Díaz;" +
        buyerAddress + "}}";

    QTest::newRow("J J") << PersonType::LegalEntity << PersonType::LegalEntity << sellerLegal
                         << buyerLegal;
    QTest::newRow("F F") << PersonType::NaturalPerson << PersonType::NaturalPerson
                         << sellerIndividual << buyerIndividual;
    QTest::newRow("J F") << PersonType::LegalEntity << PersonType::NaturalPerson << sellerLegal
                         << buyerIndividual;
    QTest::newRow("F J") << PersonType::NaturalPerson << PersonType::LegalEntity << sellerIndividual
                         << buyerLegal;
}

void tst_FacturaeWriter::parties() {
    QFETCH(PersonType, issuer);
    QFETCH(PersonType, customer);
    InvoiceRecord r;
    fill(r);
    r.selectPersonType(Party::Issuer, issuer);
    r.selectPersonType(Party::Customer, customer);
    // Contacts are emptied by a change of kind; set them again for a legal entity.
    r.setText(RecordField::IssuerContact, QStringLiteral("Ana"));
    r.setText(RecordField::CustomerContact, QStringLiteral("Compras"));
    const Node root = parse(document(r));
    QCOMPARE(root.at("Parties").childNames(), (QStringList{"SellerParty", "BuyerParty"}));
    QTEST(root.at("Parties/SellerParty").compact(), "seller");
    QTEST(root.at("Parties/BuyerParty").compact(), "buyer");
}

void tst_FacturaeWriter::administrativeCentres_data() {
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("expected");

    const QString address =
        QStringLiteral("AddressInSpain{Address=Praza 1;PostCode=15220;Town=Ames;Province=A Coruña;"
                       "CountryCode=ESP}");
    QTest::newRow("unticked") << false << QStringList{"G1", "O1", "U1"} << "";
    QTest::newRow("ticked, in order 02 03 01")
        << true << QStringList{"G1", "O1", "U1"}
        << "AdministrativeCentres{AdministrativeCentre{CentreCode=G1;RoleTypeCode=02;Name=Xestor;" +
               address +
               ";CentreDescription=Xestor};AdministrativeCentre{CentreCode=U1;RoleTypeCode=03;"
               "Name=Obras;" +
               address +
               ";CentreDescription=Obras};AdministrativeCentre{CentreCode=O1;RoleTypeCode=01;"
               "Name=Intervención;" +
               address + ";CentreDescription=Intervención}}";
    QTest::newRow("ticked with empty codes")
        << true << QStringList{"", "", ""}
        << "AdministrativeCentres{AdministrativeCentre{CentreCode=;RoleTypeCode=02;Name=Xestor;" +
               address +
               ";CentreDescription=Xestor};AdministrativeCentre{CentreCode=;RoleTypeCode=03;"
               "Name=Obras;" +
               address +
               ";CentreDescription=Obras};AdministrativeCentre{CentreCode=;RoleTypeCode=01;"
               "Name=Intervención;" +
               address + ";CentreDescription=Intervención}}";
}

void tst_FacturaeWriter::administrativeCentres() {
    QFETCH(bool, ticked);
    QFETCH(QStringList, codes);
    QFETCH(QString, expected);
    InvoiceRecord r;
    fill(r);
    r.setText(RecordField::ManagingBodyCode, codes[0]);
    r.setText(RecordField::AccountingOfficeCode, codes[1]);
    r.setText(RecordField::ProcessingUnitCode, codes[2]);
    r.setAdministration(ticked);
    const Node buyer = parse(document(r)).at("Parties/BuyerParty");
    if (!ticked) {
        QCOMPARE(buyer.childNames(), (QStringList{"TaxIdentification", "LegalEntity"}));
        return;
    }
    QCOMPARE(buyer.childNames(),
             (QStringList{"TaxIdentification", "AdministrativeCentres", "LegalEntity"}));
    QCOMPARE(buyer.at("AdministrativeCentres").compact(), expected);
}

void tst_FacturaeWriter::textsAreEscapedAndForbiddenCharactersDropped() {
    InvoiceRecord r;
    fill(r);
    r.setText(RecordField::CustomerCorporateName, QStringLiteral("Smith & Sons <S.L.>"));
    r.setText(RecordField::IssuerEmail, QString());
    QString withControls = QStringLiteral("Rúa");
    withControls += QChar(0x0001);
    withControls += QStringLiteral(" do");
    withControls += QChar(0x000B);
    withControls += QChar(0xFFFE);
    withControls += QStringLiteral(" Vilar");
    withControls += QChar(0x0000);
    r.setText(RecordField::IssuerAddress, withControls);
    addLine(r, {QStringLiteral("Bolsa\x1F de 5 < 6 & \"comillas\""), 1, 1});

    const QByteArray bytes = document(r);
    QVERIFY(bytes.contains("<CorporateName>Smith &amp; Sons &lt;S.L.></CorporateName>") ||
            bytes.contains("<CorporateName>Smith &amp; Sons &lt;S.L.&gt;</CorporateName>"));
    const Node root = parse(bytes); // fails the test when not well formed
    const QString seller = QStringLiteral("Parties/SellerParty/LegalEntity/");
    QCOMPARE(root.at("Parties/BuyerParty/LegalEntity/CorporateName").text,
             QStringLiteral("Smith & Sons <S.L.>"));
    QCOMPARE(root.at(seller + "AddressInSpain/Address").text, QStringLiteral("Rúa do Vilar"));
    // An empty e-mail still gives its element.
    QCOMPARE(root.at(seller + "ContactDetails").compact(),
             QStringLiteral("ContactDetails{ElectronicMail=}"));
    QCOMPARE(root.at(InvoicePath + "/Items/InvoiceLine/ItemDescription").text,
             QStringLiteral("Bolsa de 5 < 6 & \"comillas\""));
}

void tst_FacturaeWriter::taxGroups_data() {
    QTest::addColumn<QList<LineInput>>("lines");
    QTest::addColumn<QString>("groups");
    QTest::addColumn<QString>("totalTaxOutputs");

    QTest::newRow("21, 10 and 0")
        << QList<LineInput>{{{}, 1, 100},
                            {{}, 1, 50.25},
                            {{}, 1, 10},
                            {{}, 1, 20, 0, 10},
                            {{}, 1, 5, 0, 0}}
        << "TaxesOutputs{"
           "Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=160.25};"
           "TaxAmount{TotalAmount=33.65}};"
           "Tax{TaxTypeCode=01;TaxRate=10.00;TaxableBase{TotalAmount=20.00};"
           "TaxAmount{TotalAmount=2.00}};"
           "Tax{TaxTypeCode=01;TaxRate=0.00;TaxableBase{TotalAmount=5.00};"
           "TaxAmount{TotalAmount=0.00}}}"
        << "35.65";
    QTest::newRow("4 % between 10 and 0")
        << QList<LineInput>{{{}, 1, 5, 0, 0}, {{}, 1, 25, 0, 4}, {{}, 1, 50, 0, 10}, {{}, 1, 100}}
        << "TaxesOutputs{"
           "Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=100.00};"
           "TaxAmount{TotalAmount=21.00}};"
           "Tax{TaxTypeCode=01;TaxRate=10.00;TaxableBase{TotalAmount=50.00};"
           "TaxAmount{TotalAmount=5.00}};"
           "Tax{TaxTypeCode=01;TaxRate=4.00;TaxableBase{TotalAmount=25.00};"
           "TaxAmount{TotalAmount=1.00}};"
           "Tax{TaxTypeCode=01;TaxRate=0.00;TaxableBase{TotalAmount=5.00};"
           "TaxAmount{TotalAmount=0.00}}}"
        << "27.00";
    QTest::newRow("every rate has its group, whatever its base")
        << QList<LineInput>{{{}, 1, 10}, {{}, -1, 10}, {{}, -1, 5, 0, 10}, {{}, 1, 0, 0, 0}}
        << "TaxesOutputs{"
           "Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=0.00};"
           "TaxAmount{TotalAmount=0.00}};"
           "Tax{TaxTypeCode=01;TaxRate=10.00;TaxableBase{TotalAmount=-5.00};"
           "TaxAmount{TotalAmount=-0.50}};"
           "Tax{TaxTypeCode=01;TaxRate=0.00;TaxableBase{TotalAmount=0.00};"
           "TaxAmount{TotalAmount=0.00}}}"
        << "-0.50";
    QTest::newRow("other rates have their own groups")
        << QList<LineInput>{{{}, 1, 50, 0, 7}, {{}, 1, 100, 0, 21.4}, {{}, 1, 10, 0, 21.5}}
        << "TaxesOutputs{"
           "Tax{TaxTypeCode=01;TaxRate=21.50;TaxableBase{TotalAmount=10.00};"
           "TaxAmount{TotalAmount=2.15}};"
           "Tax{TaxTypeCode=01;TaxRate=21.40;TaxableBase{TotalAmount=100.00};"
           "TaxAmount{TotalAmount=21.40}};"
           "Tax{TaxTypeCode=01;TaxRate=7.00;TaxableBase{TotalAmount=50.00};"
           "TaxAmount{TotalAmount=3.50}}}"
        << "27.05";
    QTest::newRow("the written parts add up")
        << QList<LineInput>{{{}, 1, 0.005}, {{}, 1, 0.005}, {{}, 1, 0.005}}
        << "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=0.03};"
           "TaxAmount{TotalAmount=0.01}}}"
        << "0.01";
    QTest::newRow("rates keep every decimal")
        << QList<LineInput>{{{}, 1, 100, 0, 12.34567891}, {{}, 1, 100, 0, 5}}
        << "TaxesOutputs{"
           "Tax{TaxTypeCode=01;TaxRate=12.34567891;TaxableBase{TotalAmount=100.00};"
           "TaxAmount{TotalAmount=12.35}};"
           "Tax{TaxTypeCode=01;TaxRate=5.00;TaxableBase{TotalAmount=100.00};"
           "TaxAmount{TotalAmount=5.00}}}"
        << "17.35";
}

void tst_FacturaeWriter::taxGroups() {
    QFETCH(QList<LineInput>, lines);
    InvoiceRecord r;
    fill(r);
    for (const LineInput& l : lines)
        addLine(r, l);
    const Node invoice = parse(document(r)).at(InvoicePath);
    QTEST(invoice.at("TaxesOutputs").compact(), "groups");
    QTEST(invoice.at("InvoiceTotals/TotalTaxOutputs").text, "totalTaxOutputs");
}

void tst_FacturaeWriter::withholding_data() {
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("invoiceLevel");
    QTest::addColumn<QString>("lineLevel");
    QTest::addColumn<QString>("totalWithheld");

    QTest::newRow("15") << "15"
                        << "TaxesWithheld{Tax{TaxTypeCode=04;TaxRate=15.00;"
                           "TaxableBase{TotalAmount=20.10};TaxAmount{TotalAmount=3.02}}}"
                        << "TaxesWithheld{Tax{TaxTypeCode=04;TaxRate=15.00;"
                           "TaxableBase{TotalAmount=10.05};TaxAmount{TotalAmount=1.51}}}"
                        << "3.02";
    QTest::newRow("typed 7") << "7"
                             << "TaxesWithheld{Tax{TaxTypeCode=04;TaxRate=7.00;"
                                "TaxableBase{TotalAmount=20.10};TaxAmount{TotalAmount=1.41}}}"
                             << "TaxesWithheld{Tax{TaxTypeCode=04;TaxRate=7.00;"
                                "TaxableBase{TotalAmount=10.05};TaxAmount{TotalAmount=0.70}}}"
                             << "1.41";
    QTest::newRow("decimal comma") << "15,5"
                                   << "TaxesWithheld{Tax{TaxTypeCode=04;TaxRate=15.50;"
                                      "TaxableBase{TotalAmount=20.10};"
                                      "TaxAmount{TotalAmount=3.12}}}"
                                   << "TaxesWithheld{Tax{TaxTypeCode=04;TaxRate=15.50;"
                                      "TaxableBase{TotalAmount=10.05};"
                                      "TaxAmount{TotalAmount=1.56}}}"
                                   << "3.12";
    QTest::newRow("0") << "0"
                       << ""
                       << ""
                       << "0.00";
    QTest::newRow("not a number") << "abc"
                                  << ""
                                  << ""
                                  << "0.00";
    QTest::newRow("negative counts 0") << "-15"
                                       << ""
                                       << ""
                                       << "0.00";
    QTest::newRow("over 100 counts 0") << "150"
                                       << ""
                                       << ""
                                       << "0.00";
}

void tst_FacturaeWriter::withholding() {
    QFETCH(QString, rate);
    QFETCH(QString, invoiceLevel);
    QFETCH(QString, lineLevel);
    InvoiceRecord r;
    fill(r);
    r.setText(RecordField::WithholdingRate, rate);
    addLine(r, {{}, 1, 10.05});
    addLine(r, {{}, 1, 10.05});
    const Node invoice = parse(document(r)).at(InvoicePath);
    const Node& line = invoice.at("Items/InvoiceLine");
    if (invoiceLevel.isEmpty()) {
        QVERIFY(!invoice.has("TaxesWithheld"));
        QVERIFY(!line.has("TaxesWithheld"));
    } else {
        QCOMPARE(invoice.childNames(),
                 (QStringList{"InvoiceHeader", "InvoiceIssueData", "TaxesOutputs", "TaxesWithheld",
                              "InvoiceTotals", "Items", "PaymentDetails"}));
        QCOMPARE(invoice.at("TaxesWithheld").compact(), invoiceLevel);
        QCOMPARE(line.at("TaxesWithheld").compact(), lineLevel);
        const QStringList names = line.childNames();
        QCOMPARE(names.indexOf("TaxesWithheld"), names.indexOf("GrossAmount") + 1);
        QCOMPARE(names.indexOf("TaxesOutputs"), names.indexOf("TaxesWithheld") + 1);
    }
    QTEST(invoice.at("InvoiceTotals/TotalTaxesWithheld").text, "totalWithheld");
}

void tst_FacturaeWriter::invoiceLine_data() {
    QTest::addColumn<LineInput>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("unit price keeps its decimals")
        << LineInput{QStringLiteral("Tornillos"), 3, 0.125}
        << "InvoiceLine{ItemDescription=Tornillos;Quantity=3.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=0.125;TotalCost=0.38;GrossAmount=0.38;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=0.38};"
           "TaxAmount{TotalAmount=0.08}}}}";
    QTest::newRow("discount")
        << LineInput{QStringLiteral("Neumáticos"), 4, 89.9, 10}
        << "InvoiceLine{ItemDescription=Neumáticos;Quantity=4.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=89.90;TotalCost=359.60;DiscountsAndRebates{Discount{"
           "DiscountReason=Dto. General;DiscountRate=10.00;DiscountAmount=35.96}};"
           "GrossAmount=323.64;TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;"
           "TaxableBase{TotalAmount=323.64};TaxAmount{TotalAmount=67.96}}}}";
    QTest::newRow("negative discount is a charge")
        << LineInput{QStringLiteral("Recargo"), 1, 100, -5}
        << "InvoiceLine{ItemDescription=Recargo;Quantity=1.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=100.00;TotalCost=100.00;Charges{Charge{ChargeReason=Cargo;"
           "ChargeRate=5.00;ChargeAmount=5.00}};GrossAmount=105.00;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=105.00};"
           "TaxAmount{TotalAmount=22.05}}}}";
    QTest::newRow("file reference and date")
        << LineInput{QStringLiteral("Obra"), 1, 10, 0, 10, false, QStringLiteral("EXP-7"),
                     QDate(2024, 1, 9)}
        << "InvoiceLine{FileReference=EXP-7;FileDate=2024-01-09;ItemDescription=Obra;"
           "Quantity=1.00;UnitOfMeasure=01;UnitPriceWithoutTax=10.00;TotalCost=10.00;"
           "GrossAmount=10.00;TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=10.00;"
           "TaxableBase{TotalAmount=10.00};TaxAmount{TotalAmount=1.00}}}}";
    QTest::newRow("file reference without date")
        << LineInput{QStringLiteral("Obra"), 1, 10, 0, 10, false, QStringLiteral("EXP-7")}
        << "InvoiceLine{FileReference=EXP-7;ItemDescription=Obra;"
           "Quantity=1.00;UnitOfMeasure=01;UnitPriceWithoutTax=10.00;TotalCost=10.00;"
           "GrossAmount=10.00;TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=10.00;"
           "TaxableBase{TotalAmount=10.00};TaxAmount{TotalAmount=1.00}}}}";
    QTest::newRow("file reference with the zero day")
        << LineInput{QStringLiteral("Obra"), 1, 10, 0, 10, false, QStringLiteral("EXP-7"),
                     QDate(1899, 12, 30)}
        << "InvoiceLine{FileReference=EXP-7;ItemDescription=Obra;"
           "Quantity=1.00;UnitOfMeasure=01;UnitPriceWithoutTax=10.00;TotalCost=10.00;"
           "GrossAmount=10.00;TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=10.00;"
           "TaxableBase{TotalAmount=10.00};TaxAmount{TotalAmount=1.00}}}}";
    QTest::newRow("file date without reference")
        << LineInput{QStringLiteral("Obra"), 1, 10, 0, 10, false, QString(), QDate(2024, 1, 9)}
        << "InvoiceLine{ItemDescription=Obra;"
           "Quantity=1.00;UnitOfMeasure=01;UnitPriceWithoutTax=10.00;TotalCost=10.00;"
           "GrossAmount=10.00;TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=10.00;"
           "TaxableBase{TotalAmount=10.00};TaxAmount{TotalAmount=1.00}}}}";
    const QString exemption = QStringLiteral(
        "SpecialTaxableEvent{SpecialTaxableEventCode=01;SpecialTaxableEventReason=Exento de IVA "
        "según lo indicado en el artículo 8 del Real Decreto Ley 15/2020}");
    QTest::newRow("rate 0 is exempt")
        << LineInput{QStringLiteral("Tasa"), 1, 12, 0, 0}
        << "InvoiceLine{ItemDescription=Tasa;Quantity=1.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=12.00;TotalCost=12.00;GrossAmount=12.00;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=0.00;TaxableBase{TotalAmount=12.00};"
           "TaxAmount{TotalAmount=0.00}}};" +
               exemption + "}";
    QTest::newRow("marked exempt at 21: taxed, the mark goes")
        << LineInput{QStringLiteral("Mascarillas"), 1, 10, 0, 21, true}
        << "InvoiceLine{ItemDescription=Mascarillas;Quantity=1.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=10.00;TotalCost=10.00;GrossAmount=10.00;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=10.00};"
           "TaxAmount{TotalAmount=2.10}}}}";
    QTest::newRow("eight-decimal quantity and price")
        << LineInput{QStringLiteral("Kilovatios"), 845, 0.1523}
        << "InvoiceLine{ItemDescription=Kilovatios;Quantity=845.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=0.1523;TotalCost=128.69;GrossAmount=128.69;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=128.69};"
           "TaxAmount{TotalAmount=27.02}}}}";
    QTest::newRow("charge on a credit line")
        << LineInput{QStringLiteral("Abono"), -2, 12.34567891, -12.5, 10}
        << "InvoiceLine{ItemDescription=Abono;Quantity=-2.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=12.34567891;TotalCost=-24.69;Charges{Charge{ChargeReason=Cargo;"
           "ChargeRate=12.50;ChargeAmount=-3.09}};GrossAmount=-27.78;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=10.00;TaxableBase{TotalAmount=-27.78};"
           "TaxAmount{TotalAmount=-2.78}}}}";
    QTest::newRow("fixed fee")
        << LineInput{QStringLiteral("CANON:CUOTA FIJA."), 1, 35.5}
        << "InvoiceLine{ItemDescription=CANON:CUOTA FIJA.;Quantity=1.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=35.50;TotalCost=35.500000;GrossAmount=35.500000;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=35.50};"
           "TaxAmount{TotalAmount=7.46}}}}";
    QTest::newRow("fixed fee rounds before the zeros")
        << LineInput{QStringLiteral("CANON:CUOTA FIJA."), 3, 0.125}
        << "InvoiceLine{ItemDescription=CANON:CUOTA FIJA.;Quantity=3.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=0.125;TotalCost=0.380000;GrossAmount=0.380000;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=0.38};"
           "TaxAmount{TotalAmount=0.08}}}}";
    QTest::newRow("fixed fee in small letters is ordinary")
        << LineInput{QStringLiteral("canon:cuota fija."), 1, 35.5}
        << "InvoiceLine{ItemDescription=canon:cuota fija.;Quantity=1.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=35.50;TotalCost=35.50;GrossAmount=35.50;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=35.50};"
           "TaxAmount{TotalAmount=7.46}}}}";
    QTest::newRow("fixed fee without the point is ordinary")
        << LineInput{QStringLiteral("CANON:CUOTA FIJA"), 1, 35.5}
        << "InvoiceLine{ItemDescription=CANON:CUOTA FIJA;Quantity=1.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=35.50;TotalCost=35.50;GrossAmount=35.50;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.00;TaxableBase{TotalAmount=35.50};"
           "TaxAmount{TotalAmount=7.46}}}}";
    QTest::newRow("other rate keeps its own tax")
        << LineInput{QStringLiteral("Libro"), 1, 100, 0, 21.4}
        << "InvoiceLine{ItemDescription=Libro;Quantity=1.00;UnitOfMeasure=01;"
           "UnitPriceWithoutTax=100.00;TotalCost=100.00;GrossAmount=100.00;"
           "TaxesOutputs{Tax{TaxTypeCode=01;TaxRate=21.40;TaxableBase{TotalAmount=100.00};"
           "TaxAmount{TotalAmount=21.40}}}}";
}

void tst_FacturaeWriter::invoiceLine() {
    QFETCH(LineInput, input);
    InvoiceRecord r;
    fill(r);
    addLine(r, input);
    QTEST(parse(document(r)).at(InvoicePath + "/Items/InvoiceLine").compact(), "expected");
}

void tst_FacturaeWriter::invoiceWithoutLines() {
    InvoiceRecord r;
    fill(r);
    r.setDueDate(QDate());
    r.setText(RecordField::Iban, QString());
    const QByteArray bytes = document(r);
    const Node invoice = parse(bytes).at(InvoicePath);
    QCOMPARE(invoice.at("TaxesOutputs").compact(), QStringLiteral("TaxesOutputs="));
    QCOMPARE(invoice.at("Items").compact(), QStringLiteral("Items="));
    QCOMPARE(invoice.at("InvoiceTotals/InvoiceTotal").text, QStringLiteral("0.00"));
    QCOMPARE(invoice.at("PaymentDetails/Installment/InstallmentDueDate").text,
             QStringLiteral("1899-12-30"));
    QCOMPARE(invoice.at("PaymentDetails/Installment/AccountToBeCredited").compact(),
             QStringLiteral("AccountToBeCredited{IBAN=}"));
}

// Each treatment of a line at 0 %, written from the plain invoice: the
// document passes the schema and the check, says the cause and its reason as
// Mis datos sets it, and a reverse charge carries its legal mention.
void tst_FacturaeWriter::treatments_data() {
    QTest::addColumn<int>("treatmentNumber");
    QTest::addColumn<QString>("eventCode"); // empty: no SpecialTaxableEvent
    for (int i = 0; i < VatTreatmentCount; ++i) {
        const auto t = VatTreatment(i);
        const QString code = isExempt(t)       ? QStringLiteral("01")
                             : isNotSubject(t) ? QStringLiteral("02")
                                               : QString();
        QTest::newRow(qPrintable(vatTreatmentCode(t))) << i << code;
    }
}

void tst_FacturaeWriter::treatments() {
    QFETCH(int, treatmentNumber);
    QFETCH(QString, eventCode);
    const auto treatment = VatTreatment(treatmentNumber);
    InvoiceRecord r;
    fill(r);
    r.setText(RecordField::IssuerTaxId, QStringLiteral("B15123458"));
    r.setText(RecordField::CustomerTaxId, QStringLiteral("P1500200I"));
    addLine(r, {QStringLiteral("Servicio"), 1, 100});
    addLine(r, {QStringLiteral("Otro"), 2, 50, 0, 0});
    Invoice invoice = r.invoice();
    invoice.lines[1].treatment = treatment;
    invoice.reasons.setText(VatTreatment::E2, QStringLiteral("Exportación, art. 21.1.º"));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(invoice, buffer);
    const QByteArray bytes = buffer.data();

    for (const CheckFinding& f : DocumentCheck::run(bytes))
        QVERIFY2(!f.isError(), qPrintable(f.code + u' ' + f.message));
    const Node doc = parse(bytes);
    const Node& zero = *doc.at(InvoicePath + "/Items").all(QStringLiteral("InvoiceLine"))[1];
    QCOMPARE(zero.at("TaxesOutputs/Tax/TaxRate").text, QStringLiteral("0.00"));
    QCOMPARE(zero.at("TaxesOutputs/Tax/TaxAmount/TotalAmount").text, QStringLiteral("0.00"));
    QCOMPARE(zero.has(QStringLiteral("SpecialTaxableEvent")), !eventCode.isEmpty());
    if (!eventCode.isEmpty()) {
        QCOMPARE(zero.at("SpecialTaxableEvent/SpecialTaxableEventCode").text, eventCode);
        QCOMPARE(zero.at("SpecialTaxableEvent/SpecialTaxableEventReason").text,
                 invoice.reasons.text(treatment));
    }
    const Node& body = doc.at(InvoicePath);
    QCOMPARE(body.has(QStringLiteral("LegalLiterals")), treatment == VatTreatment::S2);
    if (treatment == VatTreatment::S2)
        QCOMPARE(body.at("LegalLiterals/LegalReference").text,
                 QStringLiteral("Inversión del sujeto pasivo"));
    // The invoice's figures do not depend on the treatment.
    QCOMPARE(body.at("InvoiceTotals/InvoiceTotal").text, QStringLiteral("221.00"));
}

void tst_FacturaeWriter::lineBeingEditedIsStoredFirst() {
    InvoiceRecord r;
    fill(r);
    addLine(r, {{}, 1, 100});
    r.lines().append();
    InvoiceLine line = *r.lines().currentLine();
    line.quantity = D(2.0);
    line.price = D(50.0);
    r.lines().setLine(line);
    const Node invoice = parse(document(r)).at(InvoicePath);
    QCOMPARE(invoice.at("Items").children.size(), 2);
    QCOMPARE(invoice.at("InvoiceTotals/InvoiceTotal").text, QStringLiteral("242.00"));
    QCOMPARE(r.lines().state(), Memoria::State::Browse);
    QCOMPARE(r.lines().currentRow(), 1);
}

void tst_FacturaeWriter::saveReplacesAnExistingFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("F0001.XML"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();

    InvoiceRecord r;
    fill(r);
    addLine(r, {{}, 1, 100});
    FacturaeWriter::save(r, path);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes, document(r));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"F0001.XML"});
}

void tst_FacturaeWriter::failedSaveLeavesNoPartialFile_data() {
    QTest::addColumn<QString>("relative");
    QTest::newRow("target is a folder") << "F0001.XML";
    QTest::newRow("folder missing") << "missing/F0001.XML";
    QTest::newRow("parent is a file") << "plain.txt/F0001.XML";
}

void tst_FacturaeWriter::failedSaveLeavesNoPartialFile() {
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("F0001.XML")));
    QFile plain(dir.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("keep");
    plain.close();
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    InvoiceRecord r;
    fill(r);
    addLine(r, {{}, 1, 100});
    QVERIFY_THROWS_EXCEPTION(AppError, FacturaeWriter::save(r, dir.filePath(relative)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             before);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("F0001.XML"))).isDir());
    QVERIFY(QDir(dir.filePath(QStringLiteral("F0001.XML"))).isEmpty());
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(), QByteArray("keep"));
}

QTEST_APPLESS_MAIN(tst_FacturaeWriter)
#include "tst_FacturaeWriter.moc"
