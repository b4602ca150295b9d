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

// Everything after the choice of the file. chosenInDialog sets NombreFichero
// and RutaDelFichero (and keeps Importando set while reading); otherwise both
// are emptied. Discards the lines first. On an early end (a date that does not
// convert, a limit) the lines table is left open and empty, Importando is
// cleared and AppError is thrown.
void importFile(InvoiceRecord& record, const QString& path, bool chosenInDialog);

} // namespace InvoiceImport
