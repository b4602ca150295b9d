#include "settings/InvoiceNumbering.h"

#include "common/AppError.h"
#include "common/NumberSequence.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"

#include <QUrl>

namespace InvoiceNumbering {

namespace {

const QString Section = QStringLiteral("NUMERACION");
// A key no series is kept under: series keys are percent-encoded, so they
// never hold a blank.
const QString OwnSeriesKey = QStringLiteral("SERIE PROPIA");

// A series may hold any character, "=" and "[" included; the key holds it
// percent-encoded. The empty series gets "%", which no encoding produces.
QString keyOf(const QString& series) {
    if (series.isEmpty())
        return QStringLiteral("%");
    return QString::fromLatin1(QUrl::toPercentEncoding(series));
}

} // namespace

QString last(const QString& appDir, const QString& series) {
    return IniFile(AppFiles::registroIni(appDir)).readString(Section, keyOf(series));
}

void remember(const QString& appDir, const QString& series, const QString& number, bool usersOwn) {
    if (number.isEmpty())
        return;
    try {
        IniFile ini(AppFiles::registroIni(appDir));
        bool changed = false;
        auto store = [&](const QString& key, const QString& value) {
            if (ini.readString(Section, key) != value) {
                ini.writeString(Section, key, value);
                changed = true;
            }
        };
        // An earlier invoice written again (corrected, say) does not take
        // the count back: the next new one must not repeat a number used.
        if (!NumberSequence::isLater(ini.readString(Section, keyOf(series)), number))
            store(keyOf(series), number);
        if (usersOwn)
            store(OwnSeriesKey, series);
        if (changed)
            ini.save();
    } catch (const AppError&) {
    }
}

QString ownSeries(const QString& appDir) {
    return IniFile(AppFiles::registroIni(appDir)).readString(Section, OwnSeriesKey);
}

QString proposal(const QString& appDir, const QString& series, const QString& current) {
    QString proposed = NumberSequence::next(last(appDir, series));
    if (proposed.isEmpty())
        proposed = NumberSequence::next(current);
    return proposed.isEmpty() ? QStringLiteral("1") : proposed;
}

} // namespace InvoiceNumbering
