#include "records/RecordResources.h"

#include <QFile>

// Outside any namespace, as the resource macro requires.
static void initRecordResources() {
    Q_INIT_RESOURCE(records);
}

namespace RecordResources {

QByteArray read(const char* name) {
    initRecordResources();
    QFile file(QStringLiteral(":/records/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing built-in resource %s", name);
    return file.readAll();
}

} // namespace RecordResources
