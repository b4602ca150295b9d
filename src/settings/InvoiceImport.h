#pragma once

#include <QString>

class InvoiceRecord;

// The invoice import file: fills the whole record from an INI file another
// program writes.
namespace InvoiceImport {

// Largest line count an import accepts.
inline constexpr int MaxLines = 100000;

// Name without folder and extension (the part from the last point after the
// last separator): "a.b.ini" -> "a.b".
QString baseNameOf(const QString& path);
// Folder of a path followed by a separator.
QString folderOf(const QString& path);

// Everything after the choice of the file. The whole file is read and checked
// first; then the invoice takes its values and its lines replace the old
// ones, with Importando set. chosenInDialog sets NombreFichero and
// RutaDelFichero; otherwise both are emptied, and a tick of the
// administration box the file brings reaches its handler once everything is
// in. On an early end (a date that does not convert, a number beyond its
// limits, a line count too large) AppError is thrown, Importando is cleared
// and the invoice is exactly as it was.
void importFile(InvoiceRecord& record, const QString& path, bool chosenInDialog);

} // namespace InvoiceImport
