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

// The name as it is stored: letters a to z upper-cased, blanks around it
// removed.
QString storedName(const QString& typedName);

// Why a stored name cannot be kept in the file, or empty when it can. A
// section header ends at "]" and at the end of its line, and a value loses
// one pair of surrounding quotes, so a name with "[", "]" or a line break, or
// beginning or ending with a double quote (or wrapped in single quotes),
// would not be found again; nor would one longer than a value can be read.
QString nameProblem(const QString& name);

// Saves the six values under the typed name (see storedName), adding the name
// to the list when it is new. Names in the file match without regard to
// letter case, so a name that differs from a listed one only in the case of
// letters outside a to z is that administration. Returns the name stored.
// Throws AppError for an empty or blank name or a name nameProblem refuses
// (nothing written) and "No se puede guardar <ruta>: …" when the file cannot be
// written.
QString save(const QString& appDir, const QString& typedName, const AdministrationCentres& centres);

} // namespace ConcellosCatalogue
