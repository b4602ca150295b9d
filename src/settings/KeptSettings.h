#pragma once

#include <QString>

class IniFile;

// Settings the program keeps for itself (remembered folders, the last
// numbers) in a file that could not be read whole: writing it would lose what
// was not read, so they are kept in memory for the rest of the run instead.
namespace KeptSettings {

// The key's value: the one kept for this run, else the file's.
QString value(const IniFile& ini, const QString& section, const QString& key);

// Writes the key into the file and saves it, or keeps it for the run when
// the file could not be read whole. Throws AppError when the save fails.
void store(IniFile& ini, const QString& section, const QString& key, const QString& value);

} // namespace KeptSettings
