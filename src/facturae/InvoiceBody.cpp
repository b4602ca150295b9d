#include "facturae/InvoiceBody.h"

#include "common/FieldRounding.h"
#include "facturae/DocumentText.h"
#include "invoice/InvoiceRecord.h"

#include "facturae/XmlOut.h"

namespace {

const QString ExemptionReason =
    QStringLiteral("Exento de IVA según lo indicado en el artículo 8 del Real Decreto Ley 15/2020");
const QString FixedFeeDescription = QStringLiteral("CANON:CUOTA FIJA.");

class Body {
public:
    Body(const InvoiceRecord& record, XmlOut& xml)
        : r(record), x(xml), lines(record.lines().lines()), rate(record.withholdingRate()) {}

    void write() {
        start("Invoices");
        start("Invoice");
        header();
        issueData();
        taxesOutputs();
        if (rate > 0)
            invoiceWithholding();
        totals();
        items();
        payment();
        end();
        end();
    }

private:
    void start(const char* name) { x.startElement(name); }
    void end() { x.endElement(); }
    void text(const char* name, const QString& value) {
        x.textElement(name, DocumentText::xmlSafe(value));
    }
    void amount(const char* name, long double value) {
        char text[40];
        x.plainElement(name, text, FieldRounding::writePlain(FieldRounding::toCents(value), text));
    }
    void totalAmount(const char* name, long double value) {
        start(name);
        amount("TotalAmount", value);
        end();
    }
    long double box(TotalBox b) const { return r.totalValue(b); }

    void header() {
        start("InvoiceHeader");
        text("InvoiceNumber", r.text(RecordField::InvoiceNumber));
        text("InvoiceSeriesCode", r.text(RecordField::InvoiceSeries));
        text("InvoiceDocumentType", QStringLiteral("FC"));
        text("InvoiceClass", QStringLiteral("OO"));
        end();
    }

    void issueData() {
        start("InvoiceIssueData");
        text("IssueDate", DocumentText::date(r.issueDate()));
        text("InvoiceCurrencyCode", QStringLiteral("EUR"));
        text("TaxCurrencyCode", QStringLiteral("EUR"));
        text("LanguageName", QStringLiteral("es"));
        end();
    }

    // One group per rate among 21, 10, 4 and 0 whose lines add up to more
    // than 0; the running base is rounded to cents after each line.
    void taxesOutputs() {
        start("TaxesOutputs");
        for (const int groupRate : {21, 10, 4, 0}) {
            long double base = 0;
            for (const InvoiceLine& line : lines) {
                if (line.vatRate == groupRate)
                    base = FieldRounding::round2(base + line.total);
            }
            if (!(base > 0))
                continue;
            const long double tax = FieldRounding::round2(base * groupRate / 100.0L);
            start("Tax");
            text("TaxTypeCode", QStringLiteral("01"));
            if (groupRate == 0)
                text("TaxRate", QStringLiteral("0.00"));
            else
                amount("TaxRate", groupRate);
            totalAmount("TaxableBase", base);
            if (groupRate == 0)
                totalAmount("TaxAmount", 0);
            else
                totalAmount("TaxAmount", tax);
            end();
        }
        end();
    }

    void withheldTax(long double base, long double taxAmount) {
        start("TaxesWithheld");
        start("Tax");
        text("TaxTypeCode", QStringLiteral("04"));
        amount("TaxRate", rate);
        totalAmount("TaxableBase", base);
        totalAmount("TaxAmount", taxAmount);
        end();
        end();
    }

    void invoiceWithholding() { withheldTax(box(TotalBox::Base), box(TotalBox::Irpf)); }

    void totals() {
        start("InvoiceTotals");
        amount("TotalGrossAmount", box(TotalBox::Base));
        text("TotalGeneralDiscounts", QStringLiteral("0.00"));
        text("TotalGeneralSurcharges", QStringLiteral("0.00"));
        amount("TotalGrossAmountBeforeTaxes", box(TotalBox::Base));
        amount("TotalTaxOutputs", box(TotalBox::Iva));
        amount("TotalTaxesWithheld", box(TotalBox::Irpf));
        amount("InvoiceTotal", box(TotalBox::Total));
        amount("TotalOutstandingAmount", box(TotalBox::Total));
        amount("TotalExecutableAmount", box(TotalBox::Total));
        text("TotalReimbursableExpenses", QStringLiteral("0.00"));
        end();
    }

    void items() {
        start("Items");
        for (const InvoiceLine& line : lines)
            item(line);
        end();
    }

    void item(const InvoiceLine& line) {
        const bool fixedFee = line.description == FixedFeeDescription;
        const long double cost = static_cast<long double>(line.quantity) * line.price;
        auto feeAmount = [&](const char* name, long double value) {
            if (fixedFee)
                text(name, DocumentText::sixDecimalAmount(value));
            else
                amount(name, value);
        };

        start("InvoiceLine");
        if (!line.fileReference.isEmpty()) {
            text("FileReference", line.fileReference);
            if (line.fileDate.isValid() && line.fileDate != QDate(1899, 12, 30))
                text("FileDate", DocumentText::date(line.fileDate));
        }
        text("ItemDescription", line.description);
        amount("Quantity", line.quantity);
        text("UnitOfMeasure", QStringLiteral("01"));
        amount("UnitPriceWithoutTax", line.price);
        feeAmount("TotalCost", cost);
        if (line.discountPct > 0) {
            start("DiscountsAndRebates");
            start("Discount");
            text("DiscountReason", QStringLiteral("Dto. General"));
            amount("DiscountRate", line.discountPct);
            amount("DiscountAmount", line.discountAmount);
            end();
            end();
        }
        feeAmount("GrossAmount", line.total);
        if (rate > 0)
            withheldTax(line.total, static_cast<long double>(line.total) * rate / 100.0L);
        start("TaxesOutputs");
        start("Tax");
        text("TaxTypeCode", QStringLiteral("01"));
        amount("TaxRate", line.vatRate);
        totalAmount("TaxableBase", line.total);
        totalAmount("TaxAmount", line.vatAmount());
        end();
        end();
        if (line.exempt) {
            start("SpecialTaxableEvent");
            text("SpecialTaxableEventCode", QStringLiteral("02"));
            text("SpecialTaxableEventReason", ExemptionReason);
            end();
        }
        end();
    }

    void payment() {
        start("PaymentDetails");
        start("Installment");
        text("InstallmentDueDate", DocumentText::date(r.dueDate()));
        amount("InstallmentAmount", box(TotalBox::Total));
        text("PaymentMeans", QStringLiteral("04"));
        start("AccountToBeCredited");
        text("IBAN", r.text(RecordField::Iban));
        end();
        end();
        end();
    }

    const InvoiceRecord& r;
    XmlOut& x;
    const QVector<InvoiceLine>& lines;
    const long double rate;
};

} // namespace

void writeInvoiceBody(const InvoiceRecord& record, XmlOut& xml) {
    Body(record, xml).write();
}
