#include "facturae/DocumentCheck.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Whole documents through the check: a complete invoice written by another
// program must come out clean, and each fault put into it once must be
// reported with its code, its severity and the element it is about.
class tst_DocumentCheck : public QObject {
    Q_OBJECT
private slots:
    void otherProgramsDocumentIsClean();
    void faults_data();
    void faults();
    void harmlessVariations_data();
    void harmlessVariations();
    void schemaOfTheDocumentsVersion();
    void schemaMessagesNameTheElementInSpanish();
    void notADocument_data();
    void notADocument();
    void signedDocument();
    void externalEntitiesAreNotRead();
};

namespace {

QByteArray fixture() {
    QFile file(QFINDTESTDATA("data/other-program.xml"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Applies from → to pairs, each of which must occur exactly once.
QByteArray edited(const QStringList& pairs) {
    QString text = QString::fromUtf8(fixture());
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        if (text.count(pairs[i]) != 1)
            qFatal("fixture edit '%s' does not occur exactly once", qPrintable(pairs[i]));
        text.replace(pairs[i], pairs[i + 1]);
    }
    return text.toUtf8();
}

QString listed(const CheckFindings& findings) {
    QStringList lines;
    for (const CheckFinding& f : findings)
        lines << QStringLiteral("%1 %2 %3 %4").arg(f.severityLabel(), f.code, f.path, f.message);
    return lines.join(u'\n');
}

const CheckFinding* find(const CheckFindings& findings, const QString& code,
                         const QString& pathEnd) {
    for (const CheckFinding& f : findings) {
        if (f.code == code && f.path.endsWith(pathEnd))
            return &f;
    }
    return nullptr;
}

} // namespace

void tst_DocumentCheck::otherProgramsDocumentIsClean() {
    const QByteArray document = fixture();
    QVERIFY(!document.isEmpty());
    const CheckFindings findings = DocumentCheck::run(document);
    QVERIFY2(findings.isEmpty(), qPrintable(listed(findings)));
}

void tst_DocumentCheck::faults_data() {
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("error"); // else a warning
    QTest::addColumn<QString>("pathEnd");

    const QString totals = QStringLiteral("/Invoices/Invoice[1]/InvoiceTotals/");
    const QString line1 = QStringLiteral("/Invoices/Invoice[1]/Items/InvoiceLine[1]/");
    const QString seller = QStringLiteral("/Parties/SellerParty/");
    const QString buyer = QStringLiteral("/Parties/BuyerParty/");
    const QString installment1 =
        QStringLiteral("/Invoices/Invoice[1]/PaymentDetails/Installment[1]/");

    // Totals of the invoice.
    QTest::newRow("T1 gross total")
        << QStringList{"<TotalGrossAmount>580.325<", "<TotalGrossAmount>581.33<"} << "F-T1" << true
        << totals + "TotalGrossAmount";
    QTest::newRow("T1 one cent is a warning")
        << QStringList{"<TotalGrossAmount>580.325<", "<TotalGrossAmount>580.34<"} << "F-T1" << false
        << totals + "TotalGrossAmount";
    QTest::newRow("T1 two cents are an error")
        << QStringList{"<TotalGrossAmount>580.325<", "<TotalGrossAmount>580.35<"} << "F-T1" << true
        << totals + "TotalGrossAmount";
    QTest::newRow("T2 before taxes") << QStringList{"<TotalGrossAmountBeforeTaxes>580.33<",
                                                    "<TotalGrossAmountBeforeTaxes>590.33<"}
                                     << "F-T2" << true << totals + "TotalGrossAmountBeforeTaxes";
    QTest::newRow("T2 general discounts against their total")
        << QStringList{"<TotalGeneralDiscounts>0.00</TotalGeneralDiscounts>",
                       "<GeneralDiscounts><Discount><DiscountReason>Pronto pago</DiscountReason>"
                       "<DiscountAmount>10.00</DiscountAmount></Discount></GeneralDiscounts>"
                       "<TotalGeneralDiscounts>0.00</TotalGeneralDiscounts>"}
        << "F-T2" << true << totals + "TotalGeneralDiscounts";
    QTest::newRow("T3 surcharge left out of the outputs")
        << QStringList{"<TotalTaxOutputs>116.59<", "<TotalTaxOutputs>115.82<"} << "F-T3" << true
        << totals + "TotalTaxOutputs";
    QTest::newRow("T4 withheld") << QStringList{"<TotalTaxesWithheld>87.05<",
                                                "<TotalTaxesWithheld>0.00<"}
                                 << "F-T4" << true << totals + "TotalTaxesWithheld";
    QTest::newRow("T5 invoice total")
        << QStringList{"<InvoiceTotal>609.87<", "<InvoiceTotal>696.92<"} << "F-T5" << true
        << totals + "InvoiceTotal";
    QTest::newRow("T6 outstanding")
        << QStringList{"<TotalOutstandingAmount>509.87<", "<TotalOutstandingAmount>609.87<"}
        << "F-T6" << true << totals + "TotalOutstandingAmount";
    QTest::newRow("T6 payments on account against their total")
        << QStringList{"<TotalPaymentsOnAccount>100.00<", "<TotalPaymentsOnAccount>0.00<"} << "F-T6"
        << true << totals + "TotalPaymentsOnAccount";
    QTest::newRow("T7 executable")
        << QStringList{"<TotalExecutableAmount>520.00<", "<TotalExecutableAmount>500.00<"} << "F-T7"
        << true << totals + "TotalExecutableAmount";
    QTest::newRow("T7 amount withheld")
        << QStringList{"<WithholdingAmount>9.87<", "<WithholdingAmount>19.87<"} << "F-T7" << true
        << totals + "TotalExecutableAmount";
    QTest::newRow("T8 instalments")
        << QStringList{"<InstallmentAmount>220.00<", "<InstallmentAmount>200.00<"} << "F-T8" << true
        << "/Invoices/Invoice[1]/PaymentDetails";
    QTest::newRow("T9 invoice count") << QStringList{"<InvoicesCount>1<", "<InvoicesCount>2<"}
                                      << "F-T9" << true << "/FileHeader/Batch/InvoicesCount";
    QTest::newRow("T9 batch total") << QStringList{"<TotalInvoicesAmount><TotalAmount>609.87<",
                                                   "<TotalInvoicesAmount><TotalAmount>619.87<"}
                                    << "F-T9" << true << "/Batch/TotalInvoicesAmount/TotalAmount";

    // Lines.
    QTest::newRow("L1 total cost") << QStringList{"<TotalCost>361.50<", "<TotalCost>361.60<"}
                                   << "F-L1" << true << line1 + "TotalCost";
    QTest::newRow("L2 discount ignored")
        << QStringList{"<GrossAmount>325.35<", "<GrossAmount>361.50<"} << "F-L2" << true
        << line1 + "GrossAmount";
    QTest::newRow("L2 charge changed") << QStringList{"<ChargeAmount>5<", "<ChargeAmount>4<"}
                                       << "F-L2" << true << "/Items/InvoiceLine[2]/GrossAmount";
    QTest::newRow("L3 line tax one cent")
        << QStringList{"<TaxAmount><TotalAmount>68.32<", "<TaxAmount><TotalAmount>68.33<"} << "F-L3"
        << false << line1 + "TaxesOutputs/Tax[1]/TaxAmount/TotalAmount";
    QTest::newRow("L3 line tax") << QStringList{"<TaxAmount><TotalAmount>68.32<",
                                                "<TaxAmount><TotalAmount>68.52<"}
                                 << "F-L3" << true
                                 << line1 + "TaxesOutputs/Tax[1]/TaxAmount/TotalAmount";
    QTest::newRow("L3 invoice-level surcharge")
        << QStringList{"<EquivalenceSurchargeAmount><TotalAmount>0.77<",
                       "<EquivalenceSurchargeAmount><TotalAmount>0.55<"}
        << "F-L3" << true
        << "/Invoice[1]/TaxesOutputs/Tax[2]/EquivalenceSurchargeAmount/TotalAmount";
    QTest::newRow("L3 withheld") << QStringList{"<TaxRate>15.00<", "<TaxRate>19.00<"} << "F-L3"
                                 << true
                                 << "/Invoice[1]/TaxesWithheld/Tax[1]/TaxAmount/TotalAmount";
    QTest::newRow("L4 rate without its group")
        << QStringList{"<TaxRate>21</TaxRate>", "<TaxRate>4</TaxRate>"} << "F-L4" << true
        << "/Items/InvoiceLine[3]/TaxesOutputs/Tax[1]";
    QTest::newRow("L4 group base")
        << QStringList{"<TaxableBase><TotalAmount>525.35<", "<TaxableBase><TotalAmount>525.00<"}
        << "F-L4" << true << "/Invoice[1]/TaxesOutputs/Tax[1]/TaxableBase/TotalAmount";

    // Parties.
    QTest::newRow("P1 issuer's check letter")
        << QStringList{"<TaxIdentificationNumber>45678901G<", "<TaxIdentificationNumber>45678901H<"}
        << "F-P1" << true << seller + "TaxIdentification/TaxIdentificationNumber";
    QTest::newRow("P1 customer's check letter")
        << QStringList{"<TaxIdentificationNumber>P1500200I<", "<TaxIdentificationNumber>P1500200A<"}
        << "F-P1" << true << buyer + "TaxIdentification/TaxIdentificationNumber";
    QTest::newRow("P1 id written with dots and lower case")
        << QStringList{"<TaxIdentificationNumber>45678901G<",
                       "<TaxIdentificationNumber>45.678.901-g<"}
        << "F-P1" << false << seller + "TaxIdentification/TaxIdentificationNumber";
    QTest::newRow("P1 foreign id")
        << QStringList{"<TaxIdentificationNumber>P1500200I<",
                       "<TaxIdentificationNumber>FR40303265045<"}
        << "F-P1" << false << buyer + "TaxIdentification/TaxIdentificationNumber";
    QTest::newRow("P1 resident abroad, id not checkable")
        << QStringList{"<ResidenceTypeCode>R</ResidenceTypeCode>\n\t\t\t\t<TaxIdentificationNumber>"
                       "45678901G<",
                       "<ResidenceTypeCode>E</ResidenceTypeCode>\n\t\t\t\t<TaxIdentificationNumber>"
                       "98765432<"}
        << "F-P1" << false << seller + "TaxIdentification/TaxIdentificationNumber";
    QTest::newRow("P2 entity as a person")
        << QStringList{"<PersonTypeCode>J<", "<PersonTypeCode>F<"} << "F-P2" << false
        << buyer + "TaxIdentification/PersonTypeCode";
    QTest::newRow("P3 four-digit postcode")
        << QStringList{"<PostCode>27001<", "<PostCode>2700<"} << "F-P3" << true
        << seller + "Individual/AddressInSpain/PostCode";
    QTest::newRow("P3 no such province")
        << QStringList{"<PostCode>27001<", "<PostCode>99001<"} << "F-P3" << false
        << seller + "Individual/AddressInSpain/PostCode";
    QTest::newRow("P4 blank name")
        << QStringList{"<CorporateName>Concello de Ames<", "<CorporateName>   <"} << "F-P4" << true
        << buyer + "LegalEntity/CorporateName";
    QTest::newRow("P4 blank invoice number")
        << QStringList{"<InvoiceNumber>77<", "<InvoiceNumber> <"} << "F-P4" << true
        << "/InvoiceHeader/InvoiceNumber";
    QTest::newRow("P4 blank town") << QStringList{"<Town>Lugo<", "<Town>\t<"} << "F-P4" << true
                                   << seller + "Individual/AddressInSpain/Town";

    // Administrative centres.
    QTest::newRow("C1 role missing") << QStringList{"<RoleTypeCode>03<", "<RoleTypeCode>02<"}
                                     << "F-C1" << true << buyer + "AdministrativeCentres";
    QTest::newRow("C1 empty code") << QStringList{"<CentreCode>GE0001234<", "<CentreCode><"}
                                   << "F-C1" << true << "AdministrativeCentre[3]/CentreCode";
    QTest::newRow("C1 blank name") << QStringList{"<Name>Alcaldía<", "<Name> <"} << "F-C1" << true
                                   << "AdministrativeCentre[2]/Name";
    QTest::newRow("C2 code form") << QStringList{"<CentreCode>GE0001234<", "<CentreCode>GE-12<"}
                                  << "F-C2" << false << "AdministrativeCentre[3]/CentreCode";

    // Payment and dates.
    QTest::newRow("B1 IBAN digit")
        << QStringList{"<IBAN>ES9121000418450200051332<", "<IBAN>ES9121000418450200051333<"}
        << "F-B1" << true << installment1 + "AccountToBeCredited/IBAN";
    QTest::newRow("B1 transfer without IBAN")
        << QStringList{"<AccountToBeCredited><IBAN>ES9121000418450200051332</IBAN>"
                       "</AccountToBeCredited>",
                       ""}
        << "F-B1" << true << "/Invoices/Invoice[1]/PaymentDetails/Installment[1]";
    QTest::newRow("B2 account's own digits")
        << QStringList{"<IBAN>ES9121000418450200051332<", "<IBAN>ES2921000418460200051332<"}
        << "F-B2" << true << installment1 + "AccountToBeCredited/IBAN";
    QTest::newRow("D1 due before issue")
        << QStringList{"<InstallmentDueDate>2024-06-01<", "<InstallmentDueDate>2024-04-01<"}
        << "F-D1" << false << installment1 + "InstallmentDueDate";
    QTest::newRow("D2 placeholder issue date")
        << QStringList{"<IssueDate>2024-05-02<", "<IssueDate>1899-12-30<"} << "F-D2" << true
        << "/InvoiceIssueData/IssueDate";
    QTest::newRow("D2 date before 1900")
        << QStringList{"<PaymentOnAccountDate>2024-04-15<", "<PaymentOnAccountDate>1850-01-01<"}
        << "F-D2" << true << "PaymentOnAccount[1]/PaymentOnAccountDate";

    // Schema.
    QTest::newRow("XSD element missing") << QStringList{"<InvoiceClass>OO</InvoiceClass>", ""}
                                         << "F-XSD" << true << "/Invoice[1]/InvoiceHeader";
    QTest::newRow("XSD decimal comma") << QStringList{"<TotalGrossAmountBeforeTaxes>580.33<",
                                                      "<TotalGrossAmountBeforeTaxes>580,33<"}
                                       << "F-XSD" << true << totals + "TotalGrossAmountBeforeTaxes";
    // Figures beyond what can be added up exactly are errors, never a pass.
    const QString absurd = QStringLiteral("10000000000000000000000000000000000000.00");
    QTest::newRow("T5 an invoice total of 10^37")
        << QStringList{"<InvoiceTotal>609.87<", "<InvoiceTotal>" + absurd + "<"} << "F-T5" << true
        << totals + "InvoiceTotal";
    QTest::newRow("T5 an invoice total of more digits than fit")
        << QStringList{"<InvoiceTotal>609.87<", "<InvoiceTotal>" + absurd + "000<"} << "F-T5"
        << true << totals + "InvoiceTotal";
    QTest::newRow("L1 a line's cost of 10^37")
        << QStringList{"<TotalCost>361.50<", "<TotalCost>" + absurd + "<"} << "F-L1" << true
        << line1 + "TotalCost";
    QTest::newRow("L1 a quantity of more decimals than fit")
        << QStringList{"<Quantity>3<", "<Quantity>3.0000000000000000000000000000001<"} << "F-L1"
        << true << line1 + "TotalCost";
    QTest::newRow("XSD version against namespace")
        << QStringList{"<SchemaVersion>3.2.1<", "<SchemaVersion>3.2.2<"} << "F-XSD" << true
        << "/FileHeader/SchemaVersion";
}

void tst_DocumentCheck::faults() {
    QFETCH(QStringList, edits);
    QFETCH(QString, code);
    QFETCH(bool, error);
    QFETCH(QString, pathEnd);
    const CheckFindings findings = DocumentCheck::run(edited(edits));
    const CheckFinding* found = find(findings, code, pathEnd);
    QVERIFY2(found, qPrintable(listed(findings)));
    QVERIFY2(found->isError() == error, qPrintable(listed(findings)));
    QVERIFY(found->path.startsWith(u"/Facturae/"));
    QVERIFY(found->line > 0);
    QVERIFY(!found->message.isEmpty());
    if (!error) {
        // A warning alone does not make the document wrong.
        QVERIFY2(!hasErrors(findings), qPrintable(listed(findings)));
    }
}

void tst_DocumentCheck::harmlessVariations_data() {
    QTest::addColumn<QStringList>("edits");
    QTest::newRow("total cost rounded to cents")
        << QStringList{"<TotalCost>49.975<", "<TotalCost>49.98<"};
    QTest::newRow("reimbursable expenses inside the invoice total")
        << QStringList{"<InvoiceTotal>609.87<",
                       "<InvoiceTotal>629.87<",
                       "<TotalOutstandingAmount>509.87<",
                       "<TotalOutstandingAmount>529.87<",
                       "<TotalInvoicesAmount><TotalAmount>609.87<",
                       "<TotalInvoicesAmount><TotalAmount>629.87<",
                       "<TotalOutstandingAmount><TotalAmount>509.87<",
                       "<TotalOutstandingAmount><TotalAmount>529.87<"};
    QTest::newRow("rates with and without decimals")
        << QStringList{"<TaxRate>10.00</TaxRate>", "<TaxRate>10.0</TaxRate>"};
    QTest::newRow("ES prefix on the customer's id") << QStringList{
        "<TaxIdentificationNumber>P1500200I<", "<TaxIdentificationNumber>ESP1500200I<"};
    QTest::newRow("3.2.2") << QStringList{
        "http://www.facturae.es/Facturae/2014/v3.2.1/Facturae",
        "http://www.facturae.gob.es/formato/Versiones/Facturaev3_2_2.xml", "<SchemaVersion>3.2.1<",
        "<SchemaVersion>3.2.2<"};
}

void tst_DocumentCheck::harmlessVariations() {
    QFETCH(QStringList, edits);
    const CheckFindings findings = DocumentCheck::run(edited(edits));
    QVERIFY2(findings.isEmpty(), qPrintable(listed(findings)));
}

void tst_DocumentCheck::schemaOfTheDocumentsVersion() {
    // Version 3.2 allows amounts with two or six decimals only, so the same
    // invoice that passes as 3.2.1 fails as 3.2 where it has three.
    const CheckFindings findings =
        DocumentCheck::run(edited({"http://www.facturae.es/Facturae/2014/v3.2.1/Facturae",
                                   "http://www.facturae.es/Facturae/2009/v3.2/Facturae",
                                   "<SchemaVersion>3.2.1<", "<SchemaVersion>3.2<"}));
    QVERIFY2(find(findings, "F-XSD", "InvoiceTotals/TotalGrossAmount"),
             qPrintable(listed(findings)));
    QVERIFY(!find(findings, "F-XSD", "/SchemaVersion"));
}

void tst_DocumentCheck::schemaMessagesNameTheElementInSpanish() {
    const CheckFindings missing =
        DocumentCheck::run(edited({"<InvoiceClass>OO</InvoiceClass>", ""}));
    const CheckFinding* found = find(missing, "F-XSD", "/InvoiceHeader");
    QVERIFY2(found, qPrintable(listed(missing)));
    QCOMPARE(found->message, QStringLiteral("Falta «InvoiceClass» dentro de «InvoiceHeader»."));

    const CheckFindings misplaced =
        DocumentCheck::run(edited({"<InvoiceNumber>77</InvoiceNumber>", ""}));
    found = find(misplaced, "F-XSD", "/InvoiceHeader/InvoiceSeriesCode");
    QVERIFY2(found, qPrintable(listed(misplaced)));
    QCOMPARE(found->message,
             QStringLiteral("El elemento «InvoiceSeriesCode» no va en este lugar; se esperaba "
                            "«InvoiceNumber»."));
    QVERIFY(find(misplaced, "F-P4", "/InvoiceHeader"));

    const CheckFindings empty = DocumentCheck::run(
        edited({"<TaxIdentificationNumber>45678901G<", "<TaxIdentificationNumber><"}));
    found = find(empty, "F-XSD", "SellerParty/TaxIdentification/TaxIdentificationNumber");
    QVERIFY2(found, qPrintable(listed(empty)));
    QCOMPARE(found->message,
             QStringLiteral("«TaxIdentificationNumber» está vacío y es obligatorio."));
    QVERIFY(find(empty, "F-P4", "SellerParty/TaxIdentification/TaxIdentificationNumber"));
}

void tst_DocumentCheck::notADocument_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // part of the first finding's; empty: any
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("cut short") << fixture().left(fixture().size() / 2) << QString();
    QTest::newRow("not XML") << QByteArray("NIF=B15123458\n") << QString();
    QTest::newRow("other XML") << QByteArray("<?xml version=\"1.0\"?><Invoice/>") << QString();
    QTest::newRow("unknown namespace")
        << QByteArray("<fe:Facturae xmlns:fe=\"urn:other\"><FileHeader/></fe:Facturae>")
        << QString();
    // Refused as they start, whatever follows: the entity is never expanded.
    QByteArray entity = edited(
        {"<InvoiceNumber>77<", "<InvoiceNumber>" + QStringLiteral("&e;").repeated(20000) + "<"});
    QTest::newRow("an entity of 100 KB used 20,000 times")
        << "<!DOCTYPE Facturae [<!ENTITY e \"" + QByteArray(100000, 'x') + "\">]>\n" +
               entity.mid(entity.indexOf("<namespace:Facturae"))
        << "DOCTYPE";
    QByteArray deep = fixture();
    deep.insert(deep.lastIndexOf("</namespace:Facturae>"),
                QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000));
    QTest::newRow("100,000 levels of nesting") << deep << "anidados a más de 256 niveles";
}

void tst_DocumentCheck::notADocument() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const CheckFindings findings = DocumentCheck::run(bytes);
    QVERIFY(!findings.isEmpty());
    QCOMPARE(findings.first().code, QStringLiteral("F-XSD"));
    QVERIFY(findings.first().isError());
    QVERIFY2(findings.first().message.contains(message), qPrintable(listed(findings)));
}

void tst_DocumentCheck::signedDocument() {
    // An enveloped signature as signing programs add it; its digest value is
    // left out on purpose: what is inside the signature is not checked here.
    const QString signature = QStringLiteral(
        "<ds:Signature Id=\"Signature1\"><ds:SignedInfo>"
        "<ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
        "<ds:SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"/>"
        "<ds:Reference URI=\"\"><ds:DigestMethod "
        "Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/></ds:Reference>"
        "</ds:SignedInfo><ds:SignatureValue>AAAA</ds:SignatureValue>"
        "<ds:Object><xades:QualifyingProperties xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\" "
        "Target=\"#Signature1\"><xades:SignedProperties/></xades:QualifyingProperties></ds:Object>"
        "<ds:Object><IssueDate>1899-12-30</IssueDate></ds:Object>"
        "</ds:Signature></namespace:Facturae>");
    const CheckFindings findings = DocumentCheck::run(edited({"</namespace:Facturae>", signature}));
    QCOMPARE(findings.size(), 1);
    QCOMPARE(findings.first().code, QStringLiteral("F-S1"));
    QCOMPARE(findings.first().severity, CheckFinding::Severity::Info);
    QCOMPARE(findings.first().path, QStringLiteral("/Facturae/Signature"));

    // A fault outside the signature is still found.
    const CheckFindings broken = DocumentCheck::run(edited(
        {"</namespace:Facturae>", signature, "<InvoiceTotal>609.87<", "<InvoiceTotal>600.87<"}));
    QVERIFY(find(broken, "F-S1", "/Signature"));
    QVERIFY(find(broken, "F-T5", "/InvoiceTotal"));
}

void tst_DocumentCheck::externalEntitiesAreNotRead() {
    QTemporaryDir dir;
    const QString secretPath = dir.filePath(QStringLiteral("secreto.txt"));
    QFile secret(secretPath);
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("CONTENIDO-SECRETO");
    secret.close();
    QByteArray document = fixture();
    document.replace("<namespace:Facturae ", "<!DOCTYPE x [<!ENTITY e SYSTEM \"file://" +
                                                 secretPath.toUtf8() +
                                                 "\">]>\n<namespace:Facturae ");
    document.replace("<InvoiceNumber>77<", "<InvoiceNumber>&e;<");
    const CheckFindings findings = DocumentCheck::run(document);
    QVERIFY(!listed(findings).contains(u"CONTENIDO-SECRETO"));
}

QTEST_GUILESS_MAIN(tst_DocumentCheck)
#include "tst_DocumentCheck.moc"
