#include "app/uPrincipal.h"
#include "common/FileSizeSignal.h"
#include "widgets/GuardedApplication.h"
#include "widgets/SpanishDialogs.h"

#include <QIcon>
#include <QLocale>

int main(int argc, char** argv) {
    FileSizeSignal::ignore();
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setDesktopFileName(QStringLiteral("orvane"));
    SpanishDialogs::install();
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));

    TForm2 window(QCoreApplication::applicationDirPath());
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return app.exec();
}
