#include "invoice/Totals.h"

#include "invoice/InvoiceRecord.h"

#include <cmath>

void RecalculateTotals(InvoiceRecord& record) {
    // A line still being edited is settled first, as moving to the first line does.
    record.lines().first();
    const long double rate = record.withholdingRate();

    // Sums are doubles; each step is worked out in extended precision.
    double all = 0, discount = 0, b0 = 0, b4 = 0, b10 = 0, b21 = 0;
    auto add = [](double& sum, double value) {
        sum = static_cast<double>(static_cast<long double>(sum) + value);
    };
    for (const InvoiceLine& line : record.lines().lines()) {
        add(all, line.total);
        const double bucket = std::nearbyint(line.vatRate); // halves to even
        if (bucket == 0)
            add(b0, line.total);
        else if (bucket == 4)
            add(b4, line.total);
        else if (bucket == 10)
            add(b10, line.total);
        else if (bucket == 21)
            add(b21, line.total);
        add(discount, line.discountAmount);
    }
    record.lines().last();

    auto vat = [](double base, int percent) {
        return static_cast<double>(static_cast<long double>(base) * percent / 100.0L);
    };
    const double v21 = vat(b21, 21);
    const double v10 = vat(b10, 10);
    const double v4 = vat(b4, 4);
    const double v0 = vat(b0, 0);

    record.setTotal(TotalBox::Bruto, static_cast<long double>(all) + discount);
    record.setTotal(TotalBox::Dto, discount);
    record.setTotal(TotalBox::Base, all);
    record.setTotal(TotalBox::Iva, static_cast<long double>(v21) + v10 + v4 + v0);
    record.setTotal(TotalBox::Irpf, static_cast<long double>(all) * rate / 100.0L);
    record.setTotal(TotalBox::Total, record.totalValue(TotalBox::Base) +
                                         record.totalValue(TotalBox::Iva) -
                                         record.totalValue(TotalBox::Irpf));
}
