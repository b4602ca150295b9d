#pragma once

#include <QString>

// The program's fixed files live in the folder of its executable. On a
// case-sensitive file system they are found whatever their letter case; a new
// file gets the canonical spelling.
namespace AppFiles {

QString registroIni(const QString& appDir);     // Registro.Ini
QString concellosIni(const QString& appDir);    // Concellos.Ini
QString fixedImportFile(const QString& appDir); // Importa/Factura.Ini

// "Registro.Ini" or "Concellos.Ini" when path is that settings file of appDir
// (through a link, or by a name differing in letter case only, which the
// program would read as it); empty otherwise.
QString settingsFileAt(const QString& appDir, const QString& path);

// path made of dir and the given relative parts, each part matched without
// regard to case against what exists; missing parts keep their spelling.
QString resolve(const QString& dir, const QString& relative);

} // namespace AppFiles
