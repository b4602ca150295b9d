#include "settings/InvoiceNumbering.h"

#include "common/AppError.h"
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

// Where the last run of digits of text begins (text's length when it ends
// in no digit).
qsizetype countedPart(const QString& text) {
    qsizetype start = text.size();
    while (start > 0 && text.at(start - 1).isDigit() && text.at(start - 1).unicode() < 128)
        --start;
    return start;
}

// Whether number comes after other in the same numbering: the same text
// before the final digits, and those digits worth more. Numbers of another
// shape cannot be compared and never count as later.
bool isLater(const QString& number, const QString& other) {
    const qsizetype start = countedPart(number);
    const qsizetype otherStart = countedPart(other);
    if (start == number.size() || otherStart == other.size() ||
        QStringView(number).left(start) != QStringView(other).left(otherStart))
        return false;
    auto value = [](QStringView digits) {
        while (digits.size() > 1 && digits.front() == u'0')
            digits = digits.mid(1);
        return digits;
    };
    const QStringView a = value(QStringView(number).mid(start));
    const QStringView b = value(QStringView(other).mid(otherStart));
    return a.size() != b.size() ? a.size() > b.size() : a.compare(b) > 0;
}

} // namespace

QString next(const QString& text) {
    const qsizetype start = countedPart(text);
    if (start == text.size())
        return {};
    QString digits = text.mid(start);
    // Decimal addition on the text itself: no limit on the length.
    qsizetype i = digits.size() - 1;
    for (; i >= 0; --i) {
        if (digits[i] == u'9') {
            digits[i] = u'0';
        } else {
            digits[i] = QChar(digits[i].unicode() + 1);
            break;
        }
    }
    if (i < 0)
        digits.prepend(u'1');
    return text.left(start) + digits;
}

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
        if (!isLater(ini.readString(Section, keyOf(series)), number))
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
    QString proposed = next(last(appDir, series));
    if (proposed.isEmpty())
        proposed = next(current);
    return proposed.isEmpty() ? QStringLiteral("1") : proposed;
}

} // namespace InvoiceNumbering
