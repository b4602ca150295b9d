#pragma once

#include <QByteArray>
#include <QString>

class QTextStream;

// The certificate's password as every command that signs reads it: the
// first line of --password-file, of descriptor --password-fd, or of standard
// input (asked for, not echoed, on a terminal). Never taken from the command
// line. Throws AppError when it cannot be read.
QByteArray readPassword(const QString& passwordFile, int passwordFd, QTextStream& err);
