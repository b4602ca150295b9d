#pragma once

#include <QString>

// The folder each kind of file was last opened from or saved to, kept in
// Registro.Ini section CARPETAS so the dialogs start there next time.
namespace RememberedFolders {

enum class Kind {
    Import,         // IMPORTAR: import files and drafts, opened or saved
    Save,           // GUARDAR: documents saved
    Sign,           // FIRMAR: documents picked for signing
    Certificate,    // CERTIFICADO: certificates
    Pdf,            // PDF: readable copies saved
    ViewDocument,   // VERFACTURA: documents opened to be read
    CheckSignature, // COMPROBARFIRMA: signed documents opened to be checked
    Logo            // LOGOTIPO: the issuer's logo
};

// The folder stored for kind, or empty when none is stored or it no longer
// exists.
QString folder(const QString& appDir, Kind kind);

// Stores the folder of filePath for kind. A file that cannot be written is
// not worth a message: the next dialog just starts elsewhere. A file that
// could not be read whole is left alone and the folder kept for the run.
void remember(const QString& appDir, Kind kind, const QString& filePath);

} // namespace RememberedFolders
