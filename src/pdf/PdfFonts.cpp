#include "pdf/PdfFonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMutex>
#include <QStringList>

namespace {

QString loadFamily() {
    const QStringList folders = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"),
        QStringLiteral("/usr/share/fonts/truetype/dejavu"),
        QStringLiteral("/usr/share/fonts/dejavu"),
        QStringLiteral("/usr/share/fonts/TTF"),
    };
    const QStringList files = {
        QStringLiteral("DejaVuSans.ttf"), QStringLiteral("DejaVuSans-Bold.ttf"),
        QStringLiteral("DejaVuSans-Oblique.ttf"), QStringLiteral("DejaVuSans-BoldOblique.ttf")};
    QString family;
    for (const QString& folder : folders) {
        if (!QFile::exists(folder + u'/' + files.first()))
            continue;
        for (const QString& file : files) {
            const int id = QFontDatabase::addApplicationFont(folder + u'/' + file);
            if (id >= 0 && family.isEmpty()) {
                const QStringList families = QFontDatabase::applicationFontFamilies(id);
                if (!families.isEmpty())
                    family = families.first();
            }
        }
        if (!family.isEmpty())
            break;
    }
    return family.isEmpty() ? QGuiApplication::font().family() : family;
}

} // namespace

QString PdfFonts::family() {
    static QMutex mutex;
    static QString loaded;
    QMutexLocker lock(&mutex);
    if (loaded.isEmpty())
        loaded = loadFamily();
    return loaded;
}
