#pragma once

#include "invoice/AdministrationCentres.h"

#include <QString>
#include <QStringList>

// The catalogue of administrations in Concellos.Ini.
namespace ConcellosCatalogue {

// Names listed under CONCELLOS for the keys 0..CUANTOS, empty ones skipped.
QStringList names(const QString& appDir);

// The six values stored under a name (empty when missing).
AdministrationCentres load(const QString& appDir, const QString& name);

// Upper-cases only the letters a to z.
QString upperAsciiLetters(const QString& text);

// Saves the six values under the typed name (upper-cased a-z only), adding
// the name to the list when it is new. Returns the stored name. Throws
// AppError for an empty or blank name (nothing written) and
// "Unable to write to %s" when the file cannot be written.
QString save(const QString& appDir, const QString& typedName, const AdministrationCentres& centres);

} // namespace ConcellosCatalogue
