#include "records/GenerationTime.h"

#include "common/AppError.h"
#include "facturae/DocumentText.h"

#include <QRegularExpression>

namespace GenerationTime {

namespace {
QString two(int n) {
    return DocumentText::leftZeroPad(n, 2);
}
} // namespace

Clock systemClock() {
    return [] { return QDateTime::currentDateTimeUtc(); };
}

QTimeZone zone(Territory territory) {
    const QByteArray id = territory == Territory::Canarias ? "Atlantic/Canary" : "Europe/Madrid";
    const QTimeZone found(id);
    if (!found.isValid())
        throw AppError(QStringLiteral("El sistema no tiene los datos de la zona horaria %1: "
                                      "instale los datos de zonas horarias (tzdata) para poder "
                                      "fechar los registros de facturación")
                           .arg(QString::fromLatin1(id)));
    return found;
}

QString text(const QDateTime& instant, Territory territory) {
    const QDateTime local = instant.toTimeZone(zone(territory));
    const QDate d = local.date();
    const QTime t = local.time();
    const int offset = local.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    // Written out by hand: no locale, and never the "Z" Qt uses for +00:00.
    return DocumentText::leftZeroPad(d.year(), 4) + u'-' + two(d.month()) + u'-' + two(d.day()) +
           u'T' + two(t.hour()) + u':' + two(t.minute()) + u':' + two(t.second()) +
           (offset < 0 ? u'-' : u'+') + two(minutes / 60) + u':' + two(minutes % 60);
}

std::optional<QDateTime> parse(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        R"(^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}$)"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime read = QDateTime::fromString(text, Qt::ISODate);
    if (!read.isValid())
        return std::nullopt;
    return read;
}

QDate localDate(const QDateTime& instant, Territory territory) {
    return instant.toTimeZone(zone(territory)).date();
}

} // namespace GenerationTime
