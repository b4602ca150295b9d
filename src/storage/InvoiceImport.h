#pragma once

#include "invoice/VatTreatment.h"

#include <QString>
#include <functional>

class IniFile;
class InvoiceRecord;
struct Invoice;

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

// The issuer's usual withholding rate, asked for only when the file gives no
// IRPF value (missing or empty). It may throw AppError: the import then stops.
using UsualRate = std::function<QString()>;

// Everything after the choice of the file. The whole file is read and checked
// first; then the invoice takes its values and its lines replace the old
// ones, with Importando set. The withholding rate is the file's IRPF, else
// the usual rate ("0" without one), never the previous invoice's.
// chosenInDialog sets NombreFichero and RutaDelFichero; otherwise both are
// emptied, and true is returned when the file ticked the administration box
// that was not ticked: the window then asks for the centres, over the whole
// invoice. On an early end (a date that does not
// convert, a number that is not one or is beyond its limits, a line count too
// large) AppError is thrown, naming the key, Importando is cleared and the
// invoice is exactly as it was.
bool importFile(InvoiceRecord& record, const QString& path, bool chosenInDialog,
                const UsualRate& usualRate = {});

// The invoice an import file describes, read and checked as importFile does,
// touching nothing: no IRPF reads as 0; a party whose PERSONA names no kind
// is empty; a line at 0 % without CALIFICACIONn gets zeroRateCause.
Invoice readInvoice(const IniFile& ini, VatTreatment zeroRateCause = VatTreatment::E6);

} // namespace InvoiceImport
