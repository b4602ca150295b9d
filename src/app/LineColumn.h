#pragma once

// The grid's eight columns, in their order.
enum class LineColumn {
    Descripcion = 0,
    Cantidad,
    Precio,
    Importe,
    Dto,
    Descuento,
    Total,
    Iva,
};
inline constexpr int LineColumnCount = 8;
