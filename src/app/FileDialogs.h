#pragma once

#include "settings/RememberedFolders.h"

#include <QString>

#include <functional>

class QWidget;

// Every file dialog of the windows, through Prompts: each kind of file starts
// where that kind was last opened or saved (Registro.Ini [CARPETAS]) and
// remembers the folder the person chose; every save proposes a name.
namespace FileDialogs {

using Kind = RememberedFolders::Kind;

// start: a file or folder to start at; when empty, or when it has gone, the
// kind's folder. Empty text when cancelled.
QString open(QWidget* parent, const QString& appDir, Kind kind, const QString& filters,
             const QString& selectedFilter, const QString& start = QString());

// proposal: a file name, proposed in the kind's folder (the home folder when
// none is stored), or a whole path, proposed where it is. A file refuse
// explains (its text is shown) is never taken, and a file that exists is
// replaced only when the person says so, unless the caller asks that itself;
// either way the dialog opens again. Empty text when cancelled.
enum class Existing { Ask, CallerAsks };
using Refusal = std::function<QString(const QString& path)>;
QString save(QWidget* parent, const QString& appDir, Kind kind, const QString& filters,
             const QString& suffix, const QString& proposal, Existing existing = Existing::Ask,
             const Refusal& refuse = {});

// A file name from an invoice's series and number: "A-2024-001", "7" without
// a series, "factura" without either; characters no file name may hold
// become "_".
QString invoiceFileName(const QString& series, const QString& number, const QString& extension);

} // namespace FileDialogs
