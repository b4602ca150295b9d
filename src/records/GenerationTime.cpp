#include "records/GenerationTime.h"

#include "common/AppError.h"
#include "facturae/DocumentText.h"

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
    // "yyyy-mm-ddThh:mm:ss±hh:mm", read by hand: the chain check reads one
    // for every record of a book.
    if (text.size() != 25)
        return std::nullopt;
    auto number = [&text](int at, int digits) {
        int value = 0;
        for (int i = at; i < at + digits; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const char16_t sign = text[19].unicode();
    if (text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || (sign != u'+' && sign != u'-') || text[22] != u':')
        return std::nullopt;
    const int year = number(0, 4);
    if (year < 0)
        return std::nullopt;
    const QDate date(year, number(5, 2), number(8, 2));
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    const int second = number(17, 2);
    const int offsetHours = number(20, 2);
    const int offsetMinutes = number(23, 2);
    if (!date.isValid() || !QTime::isValid(hour, minute, second) || offsetHours < 0 ||
        offsetHours > 14 || offsetMinutes < 0 || offsetMinutes > 59)
        return std::nullopt;
    const int offset = (offsetHours * 3600 + offsetMinutes * 60) * (sign == u'-' ? -1 : 1);
    return QDateTime(date, QTime(hour, minute, second), Qt::OffsetFromUTC, offset);
}

QDate localDate(const QDateTime& instant, Territory territory) {
    return instant.toTimeZone(zone(territory)).date();
}

} // namespace GenerationTime
