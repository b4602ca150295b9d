#pragma once

#include <QStringList>

class QTextStream;

// orvane-cli generate [--home DIR] [--withholding RATE] [-o OUT.xml] IMPORT.ini...
// Returns the exit status: 0 every document written, 1 an input failed,
// 2 a usage error.
int runGenerate(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err);
