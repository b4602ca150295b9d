#pragma once

class QFileDialog;

// Qt's own dialogs and buttons in Spanish, the same on every desktop: Qt's
// Spanish catalogue (qtbase_es, from the Qt installation or a "translations"
// folder beside the program), our words for the few texts it lacks (the file
// kinds: "Carpeta", "Fichero ini"), and Qt's own dialogs instead of the
// desktop's, whose language and look the program cannot choose.
namespace SpanishDialogs {

// Once, after the application object exists.
void install();

// A file dialog of ours: Qt's own, with sizes and dates in the Spanish form
// ("4,8 MB", not "4.77 MiB"; "05/03/2026 10:15", not "5 Mar 2026").
void prepare(QFileDialog& dialog);

} // namespace SpanishDialogs
