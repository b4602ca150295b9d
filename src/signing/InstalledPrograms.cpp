#include "signing/InstalledPrograms.h"

bool containsAutoFirma(const QStringList& displayNames) {
    static const QString wanted = QStringLiteral("AUTOFIRMA");
    for (const QString& name : displayNames) {
        // Only a to z change case: "autofirma" matches, an accented look-alike does not.
        QString upper = name;
        for (QChar& c : upper) {
            if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                c = QChar(c.unicode() - 'a' + 'A');
        }
        if (upper.contains(wanted))
            return true;
    }
    return false;
}
