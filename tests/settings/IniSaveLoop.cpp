// Test helper: saves TARGET over and over, alternating the contents of two
// source files, and prints one line after each save. The test kills it at a
// random moment and checks that TARGET is one of the two contents, whole.
#include "common/AppError.h"
#include "storage/IniFile.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s TARGET SOURCE_A SOURCE_B\n", argv[0]);
        return 2;
    }
    // Both contents are parsed once, so nearly all the time goes into saving.
    IniFile files[2] = {IniFile(QFile::decodeName(argv[1])), IniFile(QFile::decodeName(argv[1]))};
    for (int i = 0; i < 2; ++i) {
        QFile source(QFile::decodeName(argv[2 + i]));
        if (!source.open(QIODevice::ReadOnly))
            return 2;
        files[i].setText(QString::fromUtf8(source.readAll()));
    }
    for (unsigned long round = 0;; ++round) {
        try {
            files[round % 2].save();
        } catch (const AppError& error) {
            std::fprintf(stderr, "%s\n", qPrintable(error.message()));
            return 1;
        }
        std::printf("%lu\n", round);
        std::fflush(stdout);
    }
}
