#include "common/AppVersion.h"

#include "Version.h"

QString GetVersionText() {
    return QStringLiteral("Ver. %1.%2.%3.%4")
        .arg(ORVANE_VERSION_MAJOR)
        .arg(ORVANE_VERSION_MINOR)
        .arg(ORVANE_VERSION_PATCH)
        .arg(ORVANE_VERSION_TWEAK);
}
