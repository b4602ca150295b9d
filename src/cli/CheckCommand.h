#pragma once

#include <QStringList>

class QTextStream;

// orvane-cli check [--json] FILE.xml|FILE.xsig...
// The findings are the output (stdout). Returns the exit status: 0 no
// errors, 1 a document has errors, 2 a usage error or a file that cannot be read.
int runCheck(const QStringList& arguments, const QString& toolDir, QTextStream& out,
             QTextStream& err);
