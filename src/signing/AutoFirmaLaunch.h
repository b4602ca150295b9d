#pragma once

#include <QString>
#include <QStringList>

namespace AutoFirmaLaunch {

// The signed copy's name: the input's extension (from the last point after the
// last separator) replaced by "XSIG"; without extension ".XSIG" is appended.
QString signedFileName(const QString& input);

// AutoFirma's arguments: command's words, "-i" input, "-o" output, then
// format's words; each path whole.
QStringList arguments(const QString& command, const QString& input, const QString& output,
                      const QString& format);

// Starts folder/program in folder with the arguments and waits without a time
// limit until it ends. Returns the Spanish text (startFailure) when the start fails,
// otherwise an empty text.
QString run(const QString& folder, const QString& program, const QStringList& arguments);

// The Spanish text for a start that failed with the system's reason.
QString startFailure(const QString& folder, const QString& program, const QString& systemText);

} // namespace AutoFirmaLaunch
