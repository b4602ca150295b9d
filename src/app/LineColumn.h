#pragma once

// The grid's columns, in their order.
enum class LineColumn {
    Descripcion = 0,
    Cantidad,
    Precio,
    Importe,
    Dto,
    Descuento,
    Total,
    Iva,
    Calificacion, // the line's VAT treatment, chosen from a list
};
inline constexpr int LineColumnCount = 9;
