#pragma once

#include <QDate>
#include <QString>

// One row of the lines table. Numbers keep full double precision; nothing on
// a line is ever rounded.
struct InvoiceLine {
    QString description;            // Descripcion, up to 150 characters
    double quantity = 0;            // Cantidad
    double price = 0;               // Precio
    double discountPct = 0;         // Dto
    double amount = 0;              // Importe
    double vatRate = 0;             // iva
    double total = 0;               // Total
    QString fileReference;          // Expediente, up to 100 characters
    bool exempt = false;            // Exento
    QDate fileDate;                 // FECHA_EXPEDIENTE; null when empty
    double discountAmount = 0;      // DESCUENTO
    bool discountAmountSet = false; // DESCUENTO is empty until first computed or typed

    // IvaLinea, the calculated field: iva x Total / 100.
    double vatAmount() const;

    static constexpr int DescriptionSize = 150;
    static constexpr int FileReferenceSize = 100;
};
