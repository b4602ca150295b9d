#include "facturae/InvoiceBody.h"

#include "facturae/DocumentText.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/Totals.h"

#include "facturae/XmlOut.h"

namespace {

const QString FixedFeeDescription = QStringLiteral("CANON:CUOTA FIJA.");

class Body {
public:
    Body(const InvoiceRecord& record, const InvoiceTotals& totals, XmlOut& xml)
        : r(record), x(xml), lines(record.lines().lines()), rate(record.withholdingRate()),
          totals(totals) {}

    void write() {
        start("Invoices");
        start("Invoice");
        header();
        issueData();
        taxesOutputs();
        if (rate.sign() > 0)
            invoiceWithholding();
        totalsElement();
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
    // Amounts in cents: two decimals.
    void amount(const char* name, const Decimal& value) { number(name, value, 2, 2); }
    // Quantities, prices and rates: every decimal they have, at least two.
    void exact(const char* name, const Decimal& value) { number(name, value, 2, Decimal::Scale); }
    void number(const char* name, const Decimal& value, int minDecimals, int maxDecimals) {
        char text[64];
        x.plainElement(name, text, value.writePlain(text, minDecimals, maxDecimals));
    }
    void totalAmount(const char* name, const Decimal& value) {
        start(name);
        amount("TotalAmount", value);
        end();
    }

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

    // One group per rate that appears in a line, highest rate first,
    // whatever its base.
    void taxesOutputs() {
        start("TaxesOutputs");
        for (const VatGroup& group : totals.groups) {
            start("Tax");
            text("TaxTypeCode", QStringLiteral("01"));
            exact("TaxRate", group.rate);
            totalAmount("TaxableBase", group.base);
            totalAmount("TaxAmount", group.tax);
            end();
        }
        end();
    }

    void withheldTax(const Decimal& base, const Decimal& taxAmount) {
        start("TaxesWithheld");
        start("Tax");
        text("TaxTypeCode", QStringLiteral("04"));
        exact("TaxRate", rate);
        totalAmount("TaxableBase", base);
        totalAmount("TaxAmount", taxAmount);
        end();
        end();
    }

    void invoiceWithholding() { withheldTax(totals.base, totals.withholding); }

    // Each total is the sum of the parts written above it.
    void totalsElement() {
        start("InvoiceTotals");
        amount("TotalGrossAmount", totals.base);
        text("TotalGeneralDiscounts", QStringLiteral("0.00"));
        text("TotalGeneralSurcharges", QStringLiteral("0.00"));
        amount("TotalGrossAmountBeforeTaxes", totals.base);
        amount("TotalTaxOutputs", totals.vat);
        amount("TotalTaxesWithheld", totals.withholding);
        amount("InvoiceTotal", totals.total);
        amount("TotalOutstandingAmount", totals.total);
        amount("TotalExecutableAmount", totals.total);
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
        // The fixed-fee line shows its cents with six decimals.
        auto lineAmount = [&](const char* name, const Decimal& value) {
            number(name, value, fixedFee ? 6 : 2, fixedFee ? 6 : 2);
        };

        start("InvoiceLine");
        if (!line.fileReference.isEmpty()) {
            text("FileReference", line.fileReference);
            if (line.fileDate.isValid() && line.fileDate != QDate(1899, 12, 30))
                text("FileDate", DocumentText::date(line.fileDate));
        }
        text("ItemDescription", line.description);
        exact("Quantity", line.quantity);
        text("UnitOfMeasure", QStringLiteral("01"));
        exact("UnitPriceWithoutTax", line.price);
        lineAmount("TotalCost", line.amount);
        if (line.discountPct.sign() > 0) {
            start("DiscountsAndRebates");
            start("Discount");
            text("DiscountReason", QStringLiteral("Dto. General"));
            exact("DiscountRate", line.discountPct);
            amount("DiscountAmount", line.discountAmount);
            end();
            end();
        } else if (line.discountPct.sign() < 0) {
            // A negative discount is a charge on the line.
            start("Charges");
            start("Charge");
            text("ChargeReason", QStringLiteral("Cargo"));
            exact("ChargeRate", line.discountPct.abs());
            amount("ChargeAmount", -line.discountAmount);
            end();
            end();
        }
        lineAmount("GrossAmount", line.total);
        if (rate.sign() > 0)
            withheldTax(line.total, Decimal::percentOf(line.total, rate, 2));
        start("TaxesOutputs");
        start("Tax");
        text("TaxTypeCode", QStringLiteral("01"));
        exact("TaxRate", line.vatRate);
        totalAmount("TaxableBase", line.total);
        totalAmount("TaxAmount", line.vatAmount());
        end();
        end();
        if (line.isExempt()) {
            start("SpecialTaxableEvent");
            // Subject to VAT and exempt, as the reason says.
            text("SpecialTaxableEventCode", QStringLiteral("01"));
            text("SpecialTaxableEventReason", r.exemptionReason());
            end();
        }
        end();
    }

    void payment() {
        start("PaymentDetails");
        start("Installment");
        text("InstallmentDueDate", DocumentText::date(r.dueDate()));
        amount("InstallmentAmount", totals.total);
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
    const Decimal rate;
    const InvoiceTotals& totals;
};

} // namespace

void writeInvoiceBody(const InvoiceRecord& record, const InvoiceTotals& totals, XmlOut& xml) {
    Body(record, totals, xml).write();
}
