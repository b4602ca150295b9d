#pragma once

#include <QString>

class QTextStream;

// The document check timed against xmllint's schema validation of the same
// document, both as fresh processes (so each compiles its schema once).
//
//   orvane-bench --check-once FILE     one check (used by the parent)
int checkOnce(const QString& document);
// Writes the document of `importFile` beside it and times RUNS of each, in turn.
int checkBench(const QString& importFile, int runs, QTextStream& out);
