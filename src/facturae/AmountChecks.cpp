#include "facturae/AmountChecks.h"

#include "common/AppError.h"
#include "common/Decimal.h"
#include "facturae/CheckReport.h"
#include "facturae/XmlDocument.h"

#include <map>
#include <type_traits>

using XmlNodes::child;
using XmlNodes::children;
using XmlNodes::descend;

namespace AmountChecks {

namespace {

// A figure of the document as the sums see it: missing or not a number (the
// sums that need it are not made: the schema says what is wrong), beyond what
// can be worked out exactly (those sums are errors of their own: the check
// must never pass what it could not work out), or its exact value. Every
// result computed from a figure that is not exact is not exact either.
class Figure {
public:
    enum class State { Missing, Exact, TooManyDecimals, TooLarge };

    Figure() = default;
    explicit Figure(const Decimal& value) : m_value(value), m_state(State::Exact) {}
    static Figure parse(const char* text, qsizetype length) {
        Figure f;
        switch (Decimal::parseXml(text, length, f.m_value)) {
        case Decimal::ParseStatus::Ok:
            f.m_state = State::Exact;
            break;
        case Decimal::ParseStatus::TooManyDecimals:
            f.m_state = State::TooManyDecimals;
            break;
        case Decimal::ParseStatus::TooLarge:
            f.m_state = State::TooLarge;
            break;
        case Decimal::ParseStatus::NotANumber:
            break;
        }
        return f;
    }

    bool isExact() const { return m_state == State::Exact; }
    bool isMissing() const { return m_state == State::Missing; }
    State state() const { return m_state; }
    const Decimal& value() const { return m_value; }
    bool isZeroInCents() const {
        const Figure cents = inCents();
        return cents.isExact() && cents.m_value.isZero();
    }

    Figure operator+(const Figure& other) const {
        return combine(other, [](const Decimal& a, const Decimal& b) { return a + b; });
    }
    Figure operator-(const Figure& other) const {
        return combine(other, [](const Decimal& a, const Decimal& b) { return a - b; });
    }
    Figure& operator+=(const Figure& other) { return *this = *this + other; }
    // a x b and base x rate / 100, rounded to cents from the exact value.
    Figure productInCents(const Figure& other) const {
        return combine(
            other, [](const Decimal& a, const Decimal& b) { return Decimal::product(a, b, 2); });
    }
    Figure percentInCents(const Figure& rate) const {
        return combine(
            rate, [](const Decimal& a, const Decimal& b) { return Decimal::percentOf(a, b, 2); });
    }
    Figure inCents() const {
        return combine(*this, [](const Decimal& a, const Decimal&) { return a.rounded(2); });
    }

    // "-1234,56": cents, decimal comma, no grouping; empty when not exact.
    QString centsText() const {
        return isExact() ? m_value.plainText(2, 2).replace(u'.', u',') : QString();
    }
    // The same text for equal values ("21", "21.0" and "21.00" alike).
    QString canonical() const { return isExact() ? m_value.plainText(0) : QString(); }

private:
    template <typename Operation>
    Figure combine(const Figure& other, const Operation& operation) const {
        if (!isExact() || !other.isExact()) {
            Figure f;
            f.m_state = std::max(m_state == State::Exact ? State::Missing : m_state,
                                 other.m_state == State::Exact ? State::Missing : other.m_state);
            return f;
        }
        try {
            return Figure(operation(m_value, other.m_value));
        } catch (const AppError&) { // a result too large to hold
            Figure f;
            f.m_state = State::TooLarge;
            return f;
        }
    }

    Decimal m_value;
    State m_state = State::Missing;
};

Figure number(const xmlNode* node) {
    if (!node)
        return {};
    const xmlNode* first = node->children;
    if (first && !first->next && first->type == XML_TEXT_NODE) {
        const char* text = reinterpret_cast<const char*>(first->content);
        return Figure::parse(text, qsizetype(std::strlen(text)));
    }
    const QByteArray text = XmlNodes::text(node).toUtf8();
    return Figure::parse(text.constData(), text.size());
}

// An AmountType element holds its value in TotalAmount.
const xmlNode* amountNode(const xmlNode* node) {
    return child(node, "TotalAmount");
}

Figure zero() {
    return Figure(Decimal());
}

// Σ of one field over repeated elements, e.g. Discount/DiscountAmount.
Figure sum(const xmlNode* list, const char* item, const char* field) {
    Figure total = zero();
    for (const xmlNode* n : children(list, item))
        total += number(child(n, field));
    return total;
}

// What the stated amount says against what it should be, both in cents.
// The rule is text or a function giving it: wording is only built for a finding.
template <typename Rule>
void compare(CheckReport& report, const char* code, const xmlNode* node, const Figure& stated,
             const Figure& expected, const QString& what, const Rule& rule) {
    if (!node)
        return;
    auto ruleText = [&] {
        if constexpr (std::is_invocable_v<Rule>)
            return QString(rule());
        else
            return QString(rule);
    };
    const Figure difference = stated.inCents() - expected.inCents();
    if (difference.state() == Figure::State::TooManyDecimals) {
        report.error(code, node,
                     QStringLiteral("%1 no se puede comprobar: sus cifras tienen más decimales de "
                                    "los que se pueden calcular con exactitud (%2); ninguna "
                                    "factura lleva más de %3.")
                         .arg(what, ruleText())
                         .arg(Decimal::Scale));
        return;
    }
    if (difference.state() == Figure::State::TooLarge) {
        report.error(code, node,
                     QStringLiteral("%1 no se puede comprobar: sus cifras son demasiado grandes "
                                    "para sumarlas con exactitud (%2); ninguna factura llega a "
                                    "tanto.")
                         .arg(what, ruleText()));
        return;
    }
    if (!difference.isExact() || difference.value().isZero())
        return;
    const bool oneCent = difference.value().abs() == Decimal::fromScaled(1, 2);
    const QString message =
        QStringLiteral("%1 es %2 y debería ser %3 (%4)%5.")
            .arg(what, stated.centsText(), expected.centsText(), ruleText(),
                 oneCent ? QStringLiteral("; un céntimo de diferencia, posiblemente por redondeo")
                         : QString());
    report.add(code, oneCent ? CheckFinding::Severity::Warning : CheckFinding::Severity::Error,
               node, message);
}

struct RateGroup {
    Figure base = zero();
    const xmlNode* firstLineTax = nullptr;
    QString rate;
};

using RateGroups = std::map<QString, RateGroup>;

QString rateKey(const xmlNode* tax) {
    return XmlNodes::text(child(tax, "TaxTypeCode")).trimmed() + QLatin1Char('|') +
           number(child(tax, "TaxRate")).canonical();
}

// Each tax amount is its base times its rate (the special base of a group
// of entities when there is one), and so is the equivalence surcharge.
void checkTax(CheckReport& report, const xmlNode* tax) {
    const auto [specialBase, taxableBase, rateNode, amountElement, surchargeElement,
                surchargeRateNode] =
        children(tax, {"SpecialTaxableBase", "TaxableBase", "TaxRate", "TaxAmount",
                       "EquivalenceSurchargeAmount", "EquivalenceSurcharge"});
    const xmlNode* special = amountNode(specialBase);
    const Figure base = number(special ? special : amountNode(taxableBase));
    const Figure rate = number(rateNode);
    const xmlNode* amount = amountNode(amountElement);
    compare(report, "F-L3", amount, number(amount), base.percentInCents(rate),
            QStringLiteral("La cuota del impuesto"), [&] {
                return QStringLiteral("base %1 × tipo %2 %")
                    .arg(base.centsText(), rate.canonical().replace(u'.', u','));
            });
    const xmlNode* surcharge = amountNode(surchargeElement);
    const Figure surchargeRate = number(surchargeRateNode);
    compare(report, "F-L3", surcharge, number(surcharge), base.percentInCents(surchargeRate),
            QStringLiteral("El recargo de equivalencia"),
            QStringLiteral("base × tipo del recargo"));
}

void collectLineTaxes(CheckReport& report, const xmlNode* taxes, RateGroups& groups) {
    for (const xmlNode* tax : children(taxes, "Tax")) {
        checkTax(report, tax);
        RateGroup& group = groups[rateKey(tax)];
        group.base += number(amountNode(child(tax, "TaxableBase")));
        if (!group.firstLineTax) {
            group.firstLineTax = tax;
            group.rate = number(child(tax, "TaxRate")).canonical().replace(u'.', u',');
        }
    }
}

// Every rate the lines use has its invoice-level group, whose base is the
// sum of the lines' bases at that rate.
// General discounts and surcharges are shared out over the groups' bases, so
// with them only the presence of each group can be checked.
void checkGroups(CheckReport& report, const RateGroups& lineGroups, const xmlNode* invoiceTaxes,
                 bool comparableBases) {
    std::map<QString, std::pair<Figure, const xmlNode*>> stated;
    for (const xmlNode* tax : children(invoiceTaxes, "Tax")) {
        auto& entry = stated[rateKey(tax)];
        const xmlNode* base = amountNode(child(tax, "TaxableBase"));
        if (!entry.second) {
            entry = {number(base), base};
        } else {
            entry.first += number(base);
        }
    }
    for (const auto& [key, group] : lineGroups) {
        const auto found = stated.find(key);
        if (found == stated.end()) {
            report.error(
                "F-L4", group.firstLineTax,
                QStringLiteral("Las líneas usan el tipo %1 %, pero el resumen de impuestos "
                               "de la factura no tiene ese tipo.")
                    .arg(group.rate));
            continue;
        }
        if (comparableBases)
            compare(
                report, "F-L4", found->second.second, found->second.first, group.base,
                QStringLiteral("La base del tipo %1 % en el resumen de la factura").arg(group.rate),
                QStringLiteral("la suma de las bases de las líneas a ese tipo"));
    }
}

void checkLine(CheckReport& report, const xmlNode* line, RateGroups& outputs, RateGroups& withheld,
               Figure& grossSum) {
    const auto [totalCost, quantity, price, gross, discountList, chargeList, outputTaxes,
                withheldTaxes] =
        children(line, {"TotalCost", "Quantity", "UnitPriceWithoutTax", "GrossAmount",
                        "DiscountsAndRebates", "Charges", "TaxesOutputs", "TaxesWithheld"});
    compare(report, "F-L1", totalCost, number(totalCost),
            number(quantity).productInCents(number(price)),
            QStringLiteral("El coste total de la línea"),
            QStringLiteral("cantidad × precio unitario"));
    const Figure discounts = sum(discountList, "Discount", "DiscountAmount");
    const Figure charges = sum(chargeList, "Charge", "ChargeAmount");
    compare(report, "F-L2", gross, number(gross), number(totalCost) - discounts + charges,
            QStringLiteral("El importe bruto de la línea"),
            QStringLiteral("coste total − descuentos + cargos"));
    grossSum += number(gross);
    collectLineTaxes(report, outputTaxes, outputs);
    collectLineTaxes(report, withheldTaxes, withheld);
}

// Sums taxes of the invoice level (cuotas and equivalence surcharges) after
// checking each.
Figure invoiceTaxes(CheckReport& report, const xmlNode* taxes) {
    Figure total = zero();
    for (const xmlNode* tax : children(taxes, "Tax")) {
        checkTax(report, tax);
        const xmlNode* amount = amountNode(child(tax, "TaxAmount"));
        if (amount)
            total += number(amount);
        const xmlNode* surcharge = amountNode(child(tax, "EquivalenceSurchargeAmount"));
        if (surcharge)
            total += number(surcharge);
    }
    return total;
}

// A total that may be stated or left out: stated, it must match the sum of
// its items; left out, the sum stands for it.
Figure statedOrSum(CheckReport& report, const char* code, const xmlNode* stated,
                   const Figure& itemsSum, const QString& what) {
    if (!stated)
        return itemsSum;
    compare(report, code, stated, number(stated), itemsSum, what,
            QStringLiteral("la suma de sus partidas"));
    return number(stated);
}

struct InvoiceSums {
    Figure invoiceTotal = zero();
    Figure outstanding = zero();
    Figure executable = zero();
};

void checkInvoice(CheckReport& report, const xmlNode* invoice, InvoiceSums& sums) {
    RateGroups outputs;
    RateGroups withheld;
    Figure grossSum = zero();
    for (const xmlNode* line : children(child(invoice, "Items"), "InvoiceLine"))
        checkLine(report, line, outputs, withheld, grossSum);

    const xmlNode* outputTaxes = child(invoice, "TaxesOutputs");
    const xmlNode* withheldTaxes = child(invoice, "TaxesWithheld");
    const Figure outputsSum = invoiceTaxes(report, outputTaxes);
    const Figure withheldSum = invoiceTaxes(report, withheldTaxes);
    const xmlNode* totals = child(invoice, "InvoiceTotals");
    bool comparableBases = true;
    for (const char* general : {"TotalGeneralDiscounts", "TotalGeneralSurcharges"}) {
        const Figure amount = number(child(totals, general));
        if (amount.isExact() && !amount.isZeroInCents())
            comparableBases = false;
    }
    if (!children(child(totals, "GeneralDiscounts"), "Discount").empty() ||
        !children(child(totals, "GeneralSurcharges"), "Charge").empty())
        comparableBases = false;
    checkGroups(report, outputs, outputTaxes, comparableBases);
    checkGroups(report, withheld, withheldTaxes, comparableBases);

    if (!totals)
        return;
    auto field = [&](const char* name) { return child(totals, name); };
    auto value = [&](const char* name) { return number(field(name)); };

    compare(report, "F-T1", field("TotalGrossAmount"), value("TotalGrossAmount"), grossSum,
            QStringLiteral("El importe bruto total"),
            QStringLiteral("la suma de los importes brutos de las líneas"));

    const Figure discounts =
        statedOrSum(report, "F-T2", field("TotalGeneralDiscounts"),
                    sum(field("GeneralDiscounts"), "Discount", "DiscountAmount"),
                    QStringLiteral("El total de descuentos generales"));
    const Figure surcharges = statedOrSum(report, "F-T2", field("TotalGeneralSurcharges"),
                                          sum(field("GeneralSurcharges"), "Charge", "ChargeAmount"),
                                          QStringLiteral("El total de cargos generales"));
    compare(report, "F-T2", field("TotalGrossAmountBeforeTaxes"),
            value("TotalGrossAmountBeforeTaxes"),
            value("TotalGrossAmount") - discounts + surcharges,
            QStringLiteral("El importe bruto antes de impuestos"),
            QStringLiteral("importe bruto total − descuentos generales + cargos generales"));

    compare(report, "F-T3", field("TotalTaxOutputs"), value("TotalTaxOutputs"), outputsSum,
            QStringLiteral("El total de impuestos repercutidos"),
            QStringLiteral("la suma de las cuotas y recargos del resumen de impuestos"));
    compare(report, "F-T4", field("TotalTaxesWithheld"), value("TotalTaxesWithheld"), withheldSum,
            QStringLiteral("El total de impuestos retenidos"),
            QStringLiteral("la suma de las retenciones del resumen de impuestos"));

    // Reimbursable expenses belong to the executable amount; some programs
    // add them to the invoice total instead. Either placement is taken, once.
    const Figure reimbursable = statedOrSum(
        report, "F-T7", field("TotalReimbursableExpenses"),
        sum(field("ReimbursableExpenses"), "ReimbursableExpenses", "ReimbursableExpensesAmount"),
        QStringLiteral("El total de suplidos"));
    const Figure invoiceTotal = value("InvoiceTotal");
    const Figure totalRule = value("TotalGrossAmountBeforeTaxes") + value("TotalTaxOutputs") -
                             value("TotalTaxesWithheld");
    const bool reimbursableInTotal =
        reimbursable.isExact() && !reimbursable.isZeroInCents() && invoiceTotal.isExact() &&
        (invoiceTotal.inCents() - (totalRule + reimbursable).inCents()).isZeroInCents();
    if (!reimbursableInTotal)
        compare(report, "F-T5", field("InvoiceTotal"), invoiceTotal, totalRule,
                QStringLiteral("El total de la factura"),
                QStringLiteral("bruto antes de impuestos + repercutidos − retenidos"));

    const Figure subsidies = sum(field("Subsidies"), "Subsidy", "SubsidyAmount");
    const Figure payments =
        statedOrSum(report, "F-T6", field("TotalPaymentsOnAccount"),
                    sum(field("PaymentsOnAccount"), "PaymentOnAccount", "PaymentOnAccountAmount"),
                    QStringLiteral("El total de anticipos"));
    compare(report, "F-T6", field("TotalOutstandingAmount"), value("TotalOutstandingAmount"),
            invoiceTotal - subsidies - payments, QStringLiteral("El total a pagar"),
            QStringLiteral("total de la factura − subvenciones − anticipos"));

    const Figure amountsWithheld =
        number(descend(totals, {"AmountsWithheld", "WithholdingAmount"}));
    const Figure financial =
        field("TotalFinancialExpenses") ? value("TotalFinancialExpenses") : zero();
    const Figure executableBase = value("TotalOutstandingAmount") -
                                  (field("AmountsWithheld") ? amountsWithheld : zero()) + financial;
    compare(report, "F-T7", field("TotalExecutableAmount"), value("TotalExecutableAmount"),
            reimbursableInTotal ? executableBase : executableBase + reimbursable,
            QStringLiteral("El total a ejecutar"),
            QStringLiteral("total a pagar − cantidades retenidas + suplidos + gastos financieros"));

    const xmlNode* payment = child(invoice, "PaymentDetails");
    const auto installments = children(payment, "Installment");
    if (!installments.empty()) {
        Figure instalmentSum = zero();
        for (const xmlNode* i : installments)
            instalmentSum += number(child(i, "InstallmentAmount"));
        compare(report, "F-T8", payment, instalmentSum, value("TotalExecutableAmount"),
                QStringLiteral("La suma de los vencimientos"),
                QStringLiteral("el total a ejecutar"));
    }

    sums.invoiceTotal += invoiceTotal;
    sums.outstanding += value("TotalOutstandingAmount");
    sums.executable += value("TotalExecutableAmount");
}

void checkBatch(CheckReport& report, const xmlNode* batch, int invoiceCount,
                const InvoiceSums& sums) {
    if (!batch)
        return;
    const xmlNode* count = child(batch, "InvoicesCount");
    bool ok = false;
    const int stated = XmlNodes::text(count).trimmed().toInt(&ok);
    if (count && ok && stated != invoiceCount)
        report.error("F-T9", count,
                     QStringLiteral("El lote dice tener %1 facturas y el documento tiene %2.")
                         .arg(stated)
                         .arg(invoiceCount));
    const xmlNode* total = amountNode(child(batch, "TotalInvoicesAmount"));
    compare(report, "F-T9", total, number(total), sums.invoiceTotal,
            QStringLiteral("El total de facturas del lote"),
            QStringLiteral("la suma de los totales de las facturas"));
    const xmlNode* outstanding = amountNode(child(batch, "TotalOutstandingAmount"));
    compare(report, "F-T9", outstanding, number(outstanding), sums.outstanding,
            QStringLiteral("El total a pagar del lote"),
            QStringLiteral("la suma de los totales a pagar de las facturas"));
    const xmlNode* executable = amountNode(child(batch, "TotalExecutableAmount"));
    compare(report, "F-T9", executable, number(executable), sums.executable,
            QStringLiteral("El total a ejecutar del lote"),
            QStringLiteral("la suma de los totales a ejecutar de las facturas"));
}

} // namespace

void run(const xmlNode* root, CheckReport& report) {
    InvoiceSums sums;
    const auto invoices = children(child(root, "Invoices"), "Invoice");
    for (const xmlNode* invoice : invoices)
        checkInvoice(report, invoice, sums);
    checkBatch(report, descend(root, {"FileHeader", "Batch"}), int(invoices.size()), sums);
}

} // namespace AmountChecks
