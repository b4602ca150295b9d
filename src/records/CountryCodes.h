#pragma once

#include <QString>

// Facturae names countries by three letters (ISO 3166-1 alpha-3), the tax
// agency's records by two (alpha-2).
namespace CountryCodes {

// "FRA" -> "FR"; empty for a code that names no country.
QString alpha2(const QString& alpha3);

} // namespace CountryCodes
