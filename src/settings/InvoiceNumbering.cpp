#include "settings/InvoiceNumbering.h"

#include "common/AppError.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"

#include <QUrl>

namespace InvoiceNumbering {

namespace {

const QString Section = QStringLiteral("NUMERACION");

// A series may hold any character, "=" and "[" included; the key holds it
// percent-encoded. The empty series gets "%", which no encoding produces.
QString keyOf(const QString& series) {
    if (series.isEmpty())
        return QStringLiteral("%");
    return QString::fromLatin1(QUrl::toPercentEncoding(series));
}

} // namespace

QString next(const QString& text) {
    qsizetype start = text.size();
    while (start > 0 && text.at(start - 1).isDigit() && text.at(start - 1).unicode() < 128)
        --start;
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

void remember(const QString& appDir, const QString& series, const QString& number) {
    if (number.isEmpty())
        return;
    try {
        IniFile ini(AppFiles::registroIni(appDir));
        if (ini.readString(Section, keyOf(series)) == number)
            return;
        ini.writeString(Section, keyOf(series), number);
        ini.save();
    } catch (const AppError&) {
    }
}

QString proposal(const QString& appDir, const QString& series, const QString& current) {
    QString proposed = next(last(appDir, series));
    if (proposed.isEmpty())
        proposed = next(current);
    return proposed.isEmpty() ? QStringLiteral("1") : proposed;
}

} // namespace InvoiceNumbering
