#pragma once

#include <QString>

class QTextStream;

// orvane-cli records send: one pass over the records waiting for the tax
// agency. 0 when none is left waiting and none was rejected; 1 otherwise,
// with the reason per record on err. Throws AppError for what stops the pass
// (another mode, no certificate, a wrong password, a book that cannot open).
int sendRecords(const QString& home, const QString& certificatePath, const QString& passwordFile,
                int passwordFd, QTextStream& out, QTextStream& err);
