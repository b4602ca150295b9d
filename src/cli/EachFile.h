#pragma once

#include <QStringList>

#include <functional>

class QTextStream;

// Runs a command's work on each file in turn: the path written on stdout, or
// "<file>: <message>" on stderr when that file fails; the others go on.
// Returns 0 when every file succeeded, 1 otherwise.
int writeEachFile(const QStringList& inputs, QTextStream& out, QTextStream& err,
                  const std::function<QString(const QString& input)>& writeOne);
