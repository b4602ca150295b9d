#pragma once

#include "common/Decimal.h"

#include <QDate>
#include <QString>

// One row of the lines table. Every number is an exact decimal: quantity,
// price and the rates as typed or imported, the amounts in cents once the
// line is stored.
struct InvoiceLine {
    QString description;            // Descripcion, up to 150 characters
    Decimal quantity;               // Cantidad
    Decimal price;                  // Precio
    Decimal discountPct;            // Dto; negative is a surcharge
    Decimal amount;                 // Importe = round2(Cantidad x Precio)
    Decimal vatRate;                // iva
    Decimal total;                  // Total = Importe - DESCUENTO
    QString fileReference;          // Expediente, up to 100 characters
    bool exempt = false;            // Exento
    QDate fileDate;                 // FECHA_EXPEDIENTE; null when empty
    Decimal discountAmount;         // DESCUENTO = round2(Importe x Dto / 100)
    bool discountAmountSet = false; // DESCUENTO is empty until first computed or typed

    // IvaLinea, the calculated field: round2(Total x iva / 100).
    Decimal vatAmount() const;
    // The line's own arithmetic: Importe, DESCUENTO and Total from quantity,
    // price and discount.
    void computeAmounts();

    static constexpr int DescriptionSize = 150;
    static constexpr int FileReferenceSize = 100;
};
