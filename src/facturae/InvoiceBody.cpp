#include "facturae/InvoiceBody.h"

#include "facturae/CorrectiveCodes.h"
#include "facturae/DocumentText.h"
#include "invoice/Invoice.h"
#include "invoice/Totals.h"

#include "facturae/XmlOut.h"

#include <algorithm>

namespace {

const QString FixedFeeDescription = QStringLiteral("CANON:CUOTA FIJA.");

class Body {
public:
    Body(const Invoice& invoice, const InvoiceTotals& totals, XmlOut& xml)
        : v(invoice), x(xml), lines(invoice.lines), rate(invoice.withholdingRate), totals(totals) {}

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
        legalLiterals();
        additionalData();
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
        text("InvoiceNumber", v.number);
        text("InvoiceSeriesCode", v.series);
        text("InvoiceDocumentType", QStringLiteral("FC"));
        text("InvoiceClass", v.correction ? QStringLiteral("OR") : QStringLiteral("OO"));
        if (v.correction)
            corrective(*v.correction);
        end();
    }

    // The descriptions are always the official ones of the codes.
    void corrective(const Correction& c) {
        start("Corrective");
        text("InvoiceNumber", c.number);
        if (!c.series.isEmpty())
            text("InvoiceSeriesCode", c.series);
        text("ReasonCode", c.reasonCode);
        text("ReasonDescription", CorrectiveCodes::reasonDescription(c.reasonCode));
        start("TaxPeriod");
        text("StartDate", DocumentText::date(c.periodStart));
        text("EndDate", DocumentText::date(c.periodEnd));
        end();
        text("CorrectionMethod", c.method);
        text("CorrectionMethodDescription", CorrectiveCodes::correctionMethodDescription(c.method));
        // Only the later version has a place for the corrected invoice's date.
        if (v.facturaeVersion == FacturaeVersion::V3_2_2 && c.issueDate.isValid())
            text("InvoiceIssueDate", DocumentText::date(c.issueDate));
        end();
    }

    void issueData() {
        start("InvoiceIssueData");
        text("IssueDate", DocumentText::date(v.issueDate));
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
        if (hasCause(line.treatment)) {
            start("SpecialTaxableEvent");
            // 01 subject and exempt, 02 not subject, as the cause's reason says.
            text("SpecialTaxableEventCode",
                 isExempt(line.treatment) ? QStringLiteral("01") : QStringLiteral("02"));
            text("SpecialTaxableEventReason", v.reasons.text(line.treatment));
            end();
        }
        end();
    }

    // The buyer pays the VAT of a reverse-charged line: the law wants it said.
    void legalLiterals() {
        const bool reverseCharge =
            std::any_of(lines.begin(), lines.end(),
                        [](const InvoiceLine& l) { return l.treatment == VatTreatment::S2; });
        if (!reverseCharge)
            return;
        start("LegalLiterals");
        text("LegalReference", QStringLiteral("Inversión del sujeto pasivo"));
        end();
    }

    void additionalData() {
        if (v.additionalInformation.isEmpty())
            return;
        start("AdditionalData");
        text("InvoiceAdditionalInformation", v.additionalInformation);
        end();
    }

    void payment() {
        start("PaymentDetails");
        start("Installment");
        text("InstallmentDueDate", DocumentText::date(v.dueDate));
        amount("InstallmentAmount", totals.total);
        text("PaymentMeans", QStringLiteral("04"));
        start("AccountToBeCredited");
        text("IBAN", v.account.iban);
        end();
        end();
        end();
    }

    const Invoice& v;
    XmlOut& x;
    const QVector<InvoiceLine>& lines;
    const Decimal rate;
    const InvoiceTotals& totals;
};

} // namespace

void writeInvoiceBody(const Invoice& invoice, const InvoiceTotals& totals, XmlOut& xml) {
    Body(invoice, totals, xml).write();
}
