#include "cli/GenerateCommand.h"

int runGenerate(const QStringList&, const QString&, QTextStream&, QTextStream&) { return 2; }
