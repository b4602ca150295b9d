#include "DecimalTestKit.h"
#include "ParsedElement.h"
#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <map>

// A few hundred generated invoices go through the import and the writer; the
// document's own figures must satisfy every arithmetic rule a hub checks,
// exactly: each line's cost and gross amount, each VAT group, every total.
class tst_DocumentArithmetic : public QObject {
    Q_OBJECT
private slots:
    void generatedInvoicesAddUp();
};

namespace {

using Node = ParsedElement;

// What the generator produced, so the test knows its sample covers the cases.
struct Coverage {
    int eightDecimalPrices = 0, eightDecimalQuantities = 0, positiveTies = 0, negativeTies = 0,
        negativeGroups = 0, zeroGroups = 0, oddRates = 0, fixedFees = 0, surcharges = 0,
        withholding = 0;
};

// A number in the import file's form: decimal comma.
QByteArray fileForm(const Decimal& d) {
    return d.plainText(0, 8).toLatin1().replace('.', ',');
}

Decimal randomScaled(QRandomGenerator& random, qint64 bound, int decimals) {
    return Decimal::fromScaled(qint64(random.bounded(2 * bound + 1)) - bound, decimals);
}

struct GeneratedLine {
    Decimal quantity, price, dto, iva;
    bool fixedFee = false;
};

QList<GeneratedLine> generateLines(QRandomGenerator& random, Coverage& seen) {
    static const char* const Rates[] = {"21",   "10",     "4",    "0",           "5",   "7",
                                        "21.4", "12.345", "0.01", "99.99999999", "20.5"};
    QList<GeneratedLine> lines;
    const int count = random.bounded(1, 12);
    for (int i = 0; i < count; ++i) {
        GeneratedLine l;
        l.iva = Decimal::fromText(Rates[random.bounded(int(std::size(Rates)))]);
        switch (random.bounded(6)) {
        case 0: // eight-decimal price
            l.quantity = randomScaled(random, 500, 0);
            l.price = randomScaled(random, 999999999, 8);
            break;
        case 1: // eight-decimal quantity
            l.quantity = randomScaled(random, 99999999, 8);
            l.price = randomScaled(random, 100000, 2);
            break;
        case 2: { // a half-cent tie of either sign
            const qint64 cents = random.bounded(1, 100000);
            l.quantity = Decimal::fromInteger(random.bounded(2) ? 1 : -1);
            l.price = Decimal::fromScaled(cents * 10 + 5, 3);
            break;
        }
        case 3: // large figures
            l.quantity = randomScaled(random, 100000000000LL, 0);
            l.price = randomScaled(random, 99999999, 2);
            break;
        default: // ordinary
            l.quantity = randomScaled(random, 100, 0);
            l.price = randomScaled(random, 100000, 2);
            break;
        }
        if (random.bounded(4) == 0)
            l.dto = randomScaled(random, 10000, 2); // -100 .. 100, negative is a charge
        l.fixedFee = random.bounded(10) == 0;
        lines << l;
        // Now and then a line that cancels it, for a zero or negative group.
        if (random.bounded(6) == 0) {
            GeneratedLine back = l;
            back.quantity = -l.quantity;
            back.fixedFee = false;
            if (random.bounded(2))
                back.price = l.price + Decimal::fromInteger(1);
            lines << back;
        }
    }
    for (const GeneratedLine& l : lines) {
        if (l.price.decimals() == 8)
            ++seen.eightDecimalPrices;
        if (l.quantity.decimals() == 8)
            ++seen.eightDecimalQuantities;
        const Decimal exact = Decimal::product(l.quantity, l.price, 8);
        if (exact.decimals() == 3 && exact.plainText(3, 3).endsWith(u'5'))
            ++(exact.isNegative() ? seen.negativeTies : seen.positiveTies);
        const QString rate = l.iva.plainText(0, 8);
        if (rate != u"21" && rate != u"10" && rate != u"4" && rate != u"0")
            ++seen.oddRates;
        if (l.fixedFee)
            ++seen.fixedFees;
        if (l.dto.isNegative())
            ++seen.surcharges;
    }
    return lines;
}

QByteArray importText(const QList<GeneratedLine>& lines) {
    QByteArray text = "[DATOS_GENERALES]\nSERIE=P\nFACTURA=1\nFECHA=15/03/2024\n"
                      "VENCIMIENTO=15/04/2024\nLINEAS=" +
                      QByteArray::number(lines.size()) +
                      "\n[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                      "PERSONA=J\nNOMBRE=Emisor\n[COMPRADOR]\nPERSONA=J\nNOMBRE=Cliente\n"
                      "[LINEAS]\n";
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        const GeneratedLine& l = lines[i];
        text += "NOMBRE" + n + "=" + (l.fixedFee ? "CANON:CUOTA FIJA." : "Linea " + n) + "\n";
        text += "PRECIO" + n + "=" + fileForm(l.price) + "\n";
        text += "CANTIDAD" + n + "=" + fileForm(l.quantity) + "\n";
        text += "DTO" + n + "=" + fileForm(l.dto) + "\n";
        text += "IVA" + n + "=" + fileForm(l.iva) + "\n";
    }
    return text;
}

// Every identity of the document, on its own written figures.
void checkDocument(const Node& root, const QList<GeneratedLine>& input, const Decimal& rate,
                   Coverage& seen) {
    const Node& invoice = root.at("Invoices/Invoice");
    const auto items = invoice.at("Items").all(QStringLiteral("InvoiceLine"));
    QCOMPARE(items.size(), input.size());
    const Decimal hundred = Decimal::fromInteger(100);
    Q_UNUSED(hundred);

    Decimal grossSum;
    std::map<Decimal, Decimal, std::greater<>> bases;
    for (int i = 0; i < items.size(); ++i) {
        const Node& line = *items[i];
        const GeneratedLine& in = input[i];
        // Nothing is lost: quantity and price carry every decimal, at least two.
        QCOMPARE(line.number("Quantity"), in.quantity);
        QCOMPARE(line.number("UnitPriceWithoutTax"), in.price);
        const QString quantityText = line.at("Quantity").text;
        QVERIFY(quantityText.contains(u'.') && quantityText.section(u'.', 1).size() >= 2);
        const Decimal cost = line.number("TotalCost");
        QCOMPARE(cost,
                 Decimal::product(line.number("Quantity"), line.number("UnitPriceWithoutTax"), 2));
        Decimal gross = cost;
        if (const Node* discounts = line.child("DiscountsAndRebates")) {
            const Decimal amount = discounts->number("Discount/DiscountAmount");
            QCOMPARE(amount,
                     Decimal::percentOf(cost, discounts->number("Discount/DiscountRate"), 2));
            gross -= amount;
        }
        if (const Node* charges = line.child("Charges")) {
            QCOMPARE(charges->at("Charge/ChargeReason").text, QStringLiteral("Cargo"));
            const Decimal amount = charges->number("Charge/ChargeAmount");
            QCOMPARE(amount, Decimal::percentOf(cost, charges->number("Charge/ChargeRate"), 2));
            gross += amount;
        }
        QVERIFY(!(line.child("Charges") && line.child("DiscountsAndRebates")));
        QCOMPARE(line.number("GrossAmount"), gross);
        if (in.fixedFee)
            QCOMPARE(line.at("GrossAmount").text.section(u'.', 1).size(), 6);
        const Node& tax = line.at("TaxesOutputs/Tax");
        QCOMPARE(tax.number("TaxableBase/TotalAmount"), gross);
        QCOMPARE(tax.number("TaxAmount/TotalAmount"),
                 Decimal::percentOf(gross, tax.number("TaxRate"), 2));
        QCOMPARE(tax.number("TaxRate"), in.iva);
        if (line.child("SpecialTaxableEvent")) {
            QVERIFY(tax.number("TaxRate").isZero());
            QCOMPARE(line.at("SpecialTaxableEvent/SpecialTaxableEventCode").text,
                     QStringLiteral("01"));
        }
        grossSum += gross;
        bases[tax.number("TaxRate")] += gross;
    }

    // One group per rate, highest first, whatever its base.
    const auto groups = invoice.at("TaxesOutputs").all(QStringLiteral("Tax"));
    QCOMPARE(groups.size(), int(bases.size()));
    Decimal taxSum;
    int g = 0;
    for (const auto& [groupRate, base] : bases) {
        const Node& group = *groups[g++];
        QCOMPARE(group.number("TaxRate"), groupRate);
        QCOMPARE(group.number("TaxableBase/TotalAmount"), base);
        QCOMPARE(group.number("TaxAmount/TotalAmount"), Decimal::percentOf(base, groupRate, 2));
        taxSum += group.number("TaxAmount/TotalAmount");
        if (base.isNegative())
            ++seen.negativeGroups;
        if (base.isZero())
            ++seen.zeroGroups;
    }

    const Node& totals = invoice.at("InvoiceTotals");
    QCOMPARE(totals.number("TotalGrossAmount"), grossSum);
    QCOMPARE(totals.number("TotalGrossAmountBeforeTaxes"),
             totals.number("TotalGrossAmount") - totals.number("TotalGeneralDiscounts") +
                 totals.number("TotalGeneralSurcharges"));
    QCOMPARE(totals.number("TotalTaxOutputs"), taxSum);
    Decimal withheld;
    if (const Node* w = invoice.child("TaxesWithheld")) {
        ++seen.withholding;
        QCOMPARE(w->number("Tax/TaxRate"), rate);
        QCOMPARE(w->number("Tax/TaxableBase/TotalAmount"),
                 totals.number("TotalGrossAmountBeforeTaxes"));
        withheld = w->number("Tax/TaxAmount/TotalAmount");
        QCOMPARE(withheld, Decimal::percentOf(grossSum, rate, 2));
    } else {
        QVERIFY(rate.isZero());
    }
    QCOMPARE(totals.number("TotalTaxesWithheld"), withheld);
    const Decimal total =
        totals.number("TotalGrossAmountBeforeTaxes") + taxSum - totals.number("TotalTaxesWithheld");
    QCOMPARE(totals.number("InvoiceTotal"), total);
    QCOMPARE(totals.number("TotalOutstandingAmount"), total);
    QCOMPARE(totals.number("TotalExecutableAmount"), total);
    QCOMPARE(invoice.number("PaymentDetails/Installment/InstallmentAmount"), total);
    for (const char* batch :
         {"TotalInvoicesAmount", "TotalOutstandingAmount", "TotalExecutableAmount"})
        QCOMPARE(root.number(
                     QStringLiteral("FileHeader/Batch/%1/TotalAmount").arg(QLatin1String(batch))),
                 total);
}

} // namespace

void tst_DocumentArithmetic::generatedInvoicesAddUp() {
    QRandomGenerator random(20261210);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Coverage seen;
    static const char* const Withholding[] = {"0", "15", "19", "7,5", "0,00000001"};
    for (int n = 0; n < 300; ++n) {
        const QList<GeneratedLine> lines = generateLines(random, seen);
        const QString path = dir.filePath(QStringLiteral("F%1.ini").arg(n));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(importText(lines));
        file.close();

        InvoiceRecord record;
        record.lines().open();
        const QString rateText = QString::fromLatin1(Withholding[random.bounded(5)]);
        InvoiceImport::importFile(record, path, true);
        record.setText(RecordField::WithholdingRate, rateText);
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        FacturaeWriter::write(record, buffer);
        checkDocument(ParsedElement::parse(buffer.data()), lines,
                      Decimal::fromText(rateText.toLatin1().replace(',', '.').constData()), seen);
        if (QTest::currentTestFailed()) {
            qWarning("invoice %d failed", n);
            return;
        }
        // What the window shows is what the document carries.
        QCOMPARE(record.totalValue(TotalBox::Total), ParsedElement::parse(buffer.data())
                                                         .at("Invoices/Invoice")
                                                         .number("InvoiceTotals/InvoiceTotal"));
    }
    // The sample must hold every case the rules are about.
    QVERIFY(seen.eightDecimalPrices > 0);
    QVERIFY(seen.eightDecimalQuantities > 0);
    QVERIFY(seen.positiveTies > 0);
    QVERIFY(seen.negativeTies > 0);
    QVERIFY(seen.negativeGroups > 0);
    QVERIFY(seen.zeroGroups > 0);
    QVERIFY(seen.oddRates > 0);
    QVERIFY(seen.fixedFees > 0);
    QVERIFY(seen.surcharges > 0);
    QVERIFY(seen.withholding > 0);
}

QTEST_GUILESS_MAIN(tst_DocumentArithmetic)
#include "tst_DocumentArithmetic.moc"
