#include "InvoiceBuilder.h"
#include "ParsedElement.h"
#include "facturae/CorrectiveCodes.h"
#include "facturae/DocumentCheck.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/FacturaeVersion.h"
#include "invoice/InvoiceRecord.h"

#include <QBuffer>
#include <QTest>

// The document of a corrective invoice: the Corrective block with the
// official descriptions of its codes, class OR, and a document the schema
// and the check accept, by substitution (the whole invoice again) and by
// differences (negative amounts).
class tst_CorrectiveDocument : public QObject {
    Q_OBJECT
private slots:
    void document_data();
    void document();
    void seriesLessCorrectedInvoice();
};

namespace {

using InvoiceBuilder::addLine;

void fill(InvoiceRecord& r) {
    r.lines().open();
    const QList<QPair<RecordField, QString>> values = {
        {RecordField::IssuerCorporateName, QStringLiteral("Talleres Íñiguez S.L.")},
        {RecordField::IssuerAddress, QStringLiteral("Rúa Nova 1")},
        {RecordField::IssuerPostCode, QStringLiteral("15705")},
        {RecordField::IssuerTown, QStringLiteral("Santiago")},
        {RecordField::IssuerProvince, QStringLiteral("A Coruña")},
        {RecordField::IssuerTaxId, QStringLiteral("B15123458")},
        {RecordField::IssuerEmail, QStringLiteral("ana@example.es")},
        {RecordField::CustomerCorporateName, QStringLiteral("Comercial Ames S.A.")},
        {RecordField::CustomerAddress, QStringLiteral("Praza 1")},
        {RecordField::CustomerPostCode, QStringLiteral("15220")},
        {RecordField::CustomerTown, QStringLiteral("Ames")},
        {RecordField::CustomerProvince, QStringLiteral("A Coruña")},
        {RecordField::CustomerTaxId, QStringLiteral("A15022510")},
        {RecordField::BankEntity, QStringLiteral("2100")},
        {RecordField::BankOffice, QStringLiteral("0418")},
        {RecordField::BankControlDigits, QStringLiteral("45")},
        {RecordField::BankAccountNumber, QStringLiteral("0200051332")},
        {RecordField::Iban, QStringLiteral("ES9121000418450200051332")},
        {RecordField::InvoiceSeries, QStringLiteral("R")},
        {RecordField::InvoiceNumber, QStringLiteral("1")},
    };
    for (const auto& [field, value] : values)
        r.setText(field, value);
    r.setIssueDate(QDate(2024, 5, 10));
    r.setDueDate(QDate(2024, 6, 10));
}

Correction correctionOf(const QString& reason, const QString& method) {
    Correction c;
    c.series = QStringLiteral("A-2024");
    c.number = QStringLiteral("0042");
    c.issueDate = QDate(2024, 2, 14);
    c.reasonCode = reason;
    c.method = method;
    c.periodFromIssueMonth();
    return c;
}

QByteArray written(InvoiceRecord& r) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(r, buffer);
    return buffer.data();
}

void expectNoErrors(const QByteArray& bytes) {
    for (const CheckFinding& f : DocumentCheck::run(bytes))
        QVERIFY2(!f.isError(), qPrintable(f.code + u' ' + f.message));
}

} // namespace

// Each reason once, the methods in turn so each one comes up; method 01
// states the whole invoice, the others the differences (a price lowered,
// a line taken back).
void tst_CorrectiveDocument::document_data() {
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("method");
    QTest::addColumn<FacturaeVersion>("version");
    const QList<CorrectiveCodes::Code>& methods = CorrectiveCodes::correctionMethods();
    for (FacturaeVersion version : {FacturaeVersion::V3_2_1, FacturaeVersion::V3_2_2}) {
        int n = 0;
        for (const CorrectiveCodes::Code& reason : CorrectiveCodes::reasons()) {
            const QString method = methods.at(n++ % methods.size()).code;
            QTest::addRow("%s, reason %s, method %s", qPrintable(FacturaeVersions::text(version)),
                          qPrintable(reason.code), qPrintable(method))
                << reason.code << method << version;
        }
    }
}

void tst_CorrectiveDocument::document() {
    QFETCH(QString, reason);
    QFETCH(QString, method);
    QFETCH(FacturaeVersion, version);
    const Correction c = correctionOf(reason, method);
    InvoiceRecord r;
    fill(r);
    r.setCorrection(c);
    r.setFacturaeVersion(version);
    if (c.bySubstitution()) {
        addLine(r, {QStringLiteral("Reparación"), 2, 150});
        addLine(r, {QStringLiteral("Piezas"), 1, 80.5, 0, 10});
    } else {
        addLine(r, {QStringLiteral("Rebaja del precio de la reparación"), 2, -15});
        addLine(r, {QStringLiteral("Piezas devueltas"), -1, 80.5, 0, 10});
    }
    const QByteArray bytes = written(r);
    expectNoErrors(bytes);

    const ParsedElement doc = ParsedElement::parse(bytes, false);
    const ParsedElement& header = doc.at(QStringLiteral("Invoices/Invoice/InvoiceHeader"));
    QCOMPARE(header.at(QStringLiteral("InvoiceClass")).text, QStringLiteral("OR"));
    QCOMPARE(header.at(QStringLiteral("Corrective")).compact(),
             QStringLiteral("Corrective{InvoiceNumber=0042;InvoiceSeriesCode=A-2024;"
                            "ReasonCode=%1;ReasonDescription=%2;"
                            "TaxPeriod{StartDate=2024-02-01;EndDate=2024-02-29};"
                            "CorrectionMethod=%3;CorrectionMethodDescription=%4%5}")
                 .arg(reason, CorrectiveCodes::reasonDescription(reason), method,
                      CorrectiveCodes::correctionMethodDescription(method),
                      version == FacturaeVersion::V3_2_2
                          ? QStringLiteral(";InvoiceIssueDate=2024-02-14")
                          : QString()));
    const QString total =
        doc.at(QStringLiteral("Invoices/Invoice/InvoiceTotals/InvoiceTotal")).text;
    QCOMPARE(total, c.bySubstitution() ? QStringLiteral("451.55") : QStringLiteral("-124.85"));
}

// A corrected invoice without series: the block has no series element, as
// the book names it by its number alone.
void tst_CorrectiveDocument::seriesLessCorrectedInvoice() {
    Correction c = correctionOf(QStringLiteral("01"), QStringLiteral("01"));
    c.series.clear();
    InvoiceRecord r;
    fill(r);
    r.setCorrection(c);
    addLine(r, {QStringLiteral("Reparación"), 1, 100});
    const QByteArray bytes = written(r);
    expectNoErrors(bytes);
    const ParsedElement doc = ParsedElement::parse(bytes, false);
    const ParsedElement& corrective =
        doc.at(QStringLiteral("Invoices/Invoice/InvoiceHeader/Corrective"));
    QVERIFY(!corrective.has(QStringLiteral("InvoiceSeriesCode")));
    QCOMPARE(corrective.at(QStringLiteral("InvoiceNumber")).text, QStringLiteral("0042"));
}

QTEST_APPLESS_MAIN(tst_CorrectiveDocument)
#include "tst_CorrectiveDocument.moc"
