#pragma once

#include "common/Decimal.h"
#include "invoice/VatTreatment.h"

#include <QDate>
#include <QString>
#include <optional>

// One line of an invoice. Every number is an exact decimal: quantity, price
// and the rates as typed or imported, the amounts in cents once the line is
// stored.
struct InvoiceLine {
    QString description;                       // Descripcion, up to 150 characters
    Decimal quantity;                          // Cantidad
    Decimal price;                             // Precio
    Decimal discountPct;                       // Dto; negative is a surcharge
    Decimal amount;                            // Importe = round2(Cantidad x Precio)
    Decimal vatRate;                           // iva
    Decimal total;                             // Total = Importe - DESCUENTO
    QString fileReference;                     // Expediente, up to 100 characters
    VatTreatment treatment = VatTreatment::S1; // CALIFICACION
    QDate fileDate;                            // FECHA_EXPEDIENTE; null when empty
    Decimal discountAmount;                    // DESCUENTO = round2(Importe x Dto / 100)
    bool discountAmountSet = false;            // DESCUENTO is empty until first computed or typed

    bool isExempt() const { return ::isExempt(treatment); }
    // IvaLinea, the calculated field: round2(Total x iva / 100).
    Decimal vatAmount() const;
    // The line's own arithmetic: Importe, DESCUENTO and Total from quantity,
    // price and discount.
    void computeAmounts();

    // A new line as a person starts typing it: nothing but the usual rate.
    static InvoiceLine newLine();
    // What storing a line does: the arithmetic, and the treatment that
    // follows the rate. Only a line at 0 % can be exempt, not subject or
    // reverse-charged; at any other rate it is taxed (S1). A taxed line at
    // 0 % takes zeroRateCause when one is given (the rate was just typed).
    void store(std::optional<VatTreatment> zeroRateCause = VatTreatment::E6);

    bool operator==(const InvoiceLine&) const = default;

    static constexpr int DescriptionSize = 150;
    static constexpr int FileReferenceSize = 100;
};
