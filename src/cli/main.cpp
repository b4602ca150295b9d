#include "cli/GenerateCommand.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runGenerate(app.arguments().mid(1), QCoreApplication::applicationDirPath(), out, err);
}
