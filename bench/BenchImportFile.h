#pragma once

#include <QString>

// The invoice import file every benchmark uses: `lines` lines with rates 21,
// 10, 4 and 0 in turn, a discount on every third line.
void writeImportFile(const QString& path, int lines);
