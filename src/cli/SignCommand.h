#pragma once

#include <QStringList>

class QTextStream;

// orvane-cli sign --cert FILE.p12 [--password-file F | --password-fd N]
//                 [-o OUT] DOC.xml...
// The password is read from the file, the descriptor or the standard input,
// never from the command line. Returns 0 every document signed, 1 one
// failed, 2 a usage error.
int runSign(const QStringList& arguments, const QString& toolDir, QTextStream& out,
            QTextStream& err);
