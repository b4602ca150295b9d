#include "settings/InvoiceNumbering.h"

#include "common/AppError.h"
#include "common/NumberSequence.h"
#include "settings/AppFiles.h"
#include "settings/KeptSettings.h"
#include "storage/IniFile.h"

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
    return KeptSettings::value(IniFile(AppFiles::registroIni(appDir)), Section, keyOf(series));
}

void remember(const QString& appDir, const QString& series, const QString& number, bool usersOwn) {
    if (number.isEmpty())
        return;
    try {
        IniFile ini(AppFiles::registroIni(appDir));
        auto store = [&](const QString& key, const QString& value) {
            if (KeptSettings::value(ini, Section, key) != value)
                KeptSettings::store(ini, Section, key, value);
        };
        // An earlier invoice written again (corrected, say) does not take
        // the count back: the next new one must not repeat a number used.
        if (!NumberSequence::isLater(KeptSettings::value(ini, Section, keyOf(series)), number))
            store(keyOf(series), number);
        if (usersOwn)
            store(OwnSeriesKey, series);
    } catch (const AppError&) {
    }
}

QString ownSeries(const QString& appDir) {
    return KeptSettings::value(IniFile(AppFiles::registroIni(appDir)), Section, OwnSeriesKey);
}

QString proposal(const QString& appDir, const QString& series, const QString& current) {
    QString proposed = NumberSequence::next(last(appDir, series));
    if (proposed.isEmpty())
        proposed = NumberSequence::next(current);
    return proposed.isEmpty() ? QStringLiteral("1") : proposed;
}

} // namespace InvoiceNumbering
