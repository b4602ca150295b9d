#include "app/uPrincipal.h"
#include "common/FileSizeSignal.h"
#include "widgets/GuardedApplication.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv) {
    FileSizeSignal::ignore();
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setDesktopFileName(QStringLiteral("orvane"));

    // Qt's own buttons and dialogs in Spanish when the translations are there.
    QTranslator qtTranslator;
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    for (const QString& dir :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
        if (qtTranslator.load(spanish, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
            QApplication::installTranslator(&qtTranslator);
            break;
        }
    }
    QLocale::setDefault(spanish);

    TForm2 window(QCoreApplication::applicationDirPath());
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return app.exec();
}
