#pragma once

#include <QString>

// Whether two paths name the same file: the same place once links are
// resolved, or (where the system tells) the same device and file number, so
// a hard link or another spelling of the path is recognised too. A path that
// does not exist is the same as nothing.
namespace FileIdentity {

bool sameFile(const QString& a, const QString& b);

// Whether two paths, existing or not yet, name the same place: the same file,
// or the same name in the same folder (once its links are resolved).
bool samePlace(const QString& a, const QString& b);

} // namespace FileIdentity
