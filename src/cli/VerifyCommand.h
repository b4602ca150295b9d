#pragma once

#include <QStringList>

class QTextStream;

// orvane-cli verify [--trusted-ca CA.pem]... DOC.xsig...
// Prints the findings of each document. Returns 0 every signature valid,
// 1 one is not, 2 a usage error.
int runVerify(const QStringList& arguments, const QString& toolDir, QTextStream& out,
              QTextStream& err);
