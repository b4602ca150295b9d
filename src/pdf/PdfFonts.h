#pragma once

#include <QString>

// The printed copy uses the DejaVu Sans family, loaded from its files so the
// text never depends on the fonts a machine happens to have; the PDF engine
// embeds what it uses. Looked for beside the program (fonts/) and in the
// usual system folders. Needs a QGuiApplication.
namespace PdfFonts {

// The family to use; loads the files once. When no file is found, the
// application's default family, so a copy is still produced.
QString family();

} // namespace PdfFonts
