#pragma once

#include <QString>
#include <QStringList>

// Whether two paths name the same file: the same place once links are
// resolved, or (where the system tells) the same device and file number, so
// a hard link or another spelling of the path is recognised too. A path that
// does not exist is the same as nothing.
//
// Every command follows one rule with it: an output never replaces any of
// the files it reads.
namespace FileIdentity {

bool sameFile(const QString& a, const QString& b);

// Whether two paths, existing or not yet, name the same place: the same file,
// or the same name in the same folder (once its links are resolved).
bool samePlace(const QString& a, const QString& b);

// The first of inputs that output is the same file as; empty when none is.
QString sameAsAny(const QString& output, const QStringList& inputs);

} // namespace FileIdentity
