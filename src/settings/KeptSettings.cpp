#include "settings/KeptSettings.h"

#include "storage/IniFile.h"

#include <QFileInfo>
#include <QHash>
#include <QMutex>

namespace KeptSettings {

namespace {

QMutex mutex;
// By file, section and key (names as the program writes them).
QHash<QString, QString>& kept() {
    static QHash<QString, QString> values;
    return values;
}

QString slot(const IniFile& ini, const QString& section, const QString& key) {
    return QFileInfo(ini.path()).absoluteFilePath() + u'\n' + section.toUpper() + u'\n' +
           key.toUpper();
}

} // namespace

QString value(const IniFile& ini, const QString& section, const QString& key) {
    {
        const QMutexLocker lock(&mutex);
        const auto it = kept().constFind(slot(ini, section, key));
        if (it != kept().cend())
            return *it;
    }
    return ini.readString(section, key);
}

void store(IniFile& ini, const QString& section, const QString& key, const QString& value) {
    if (!ini.readProblem().isEmpty()) {
        const QMutexLocker lock(&mutex);
        kept().insert(slot(ini, section, key), value);
        return;
    }
    ini.writeString(section, key, value);
    ini.save();
}

} // namespace KeptSettings
