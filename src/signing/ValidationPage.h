#pragma once

// The public e-invoice hub's invoice-validation page.
inline constexpr char ValidationPageUrl[] =
    "https://face.gob.es/es/facturas/validar-visualizar-facturas";
