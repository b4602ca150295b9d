#include "records/IntegrityAlarm.h"

#include "common/AppError.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString checkKey(IntegrityAlarm::Check check) {
    return check == IntegrityAlarm::Check::Records ? QStringLiteral("registros")
                                                   : QStringLiteral("eventos");
}

QString timeText(const QDateTime& at) {
    return at.toUTC().toString(Qt::ISODateWithMs);
}

[[noreturn]] void unreadable(const QString& why) {
    throw AppError(QStringLiteral("La alarma de integridad guardada en el libro no se puede leer "
                                  "(%1): compruebe de nuevo los registros y los eventos")
                       .arg(why));
}

QDateTime readTime(const QJsonObject& o, const char* key) {
    const QDateTime at =
        QDateTime::fromString(o.value(QLatin1String(key)).toString(), Qt::ISODateWithMs);
    if (!at.isValid())
        unreadable(QStringLiteral("falta la fecha «%1»").arg(QLatin1String(key)));
    return at;
}

} // namespace

IntegrityAlarm IntegrityAlarm::raise(Check check, const ChainFault& fault, const QDateTime& at) {
    IntegrityAlarm alarm;
    alarm.check = check;
    alarm.sequence = fault.sequence;
    alarm.subject = fault.invoice;
    alarm.what = fault.message;
    alarm.raisedAt = at;
    return alarm;
}

void IntegrityAlarm::resolve(const QString& text, const QDateTime& at) {
    if (resolvedAt)
        throw AppError(QStringLiteral("Esta alarma ya está resuelta"));
    if (text.trimmed().isEmpty())
        throw AppError(QStringLiteral("Para resolver la alarma escriba una nota que explique qué "
                                      "se ha revisado y por qué se da por resuelta"));
    note = text.trimmed();
    resolvedAt = at;
}

QString IntegrityAlarm::text() const {
    const bool records = check == Check::Records;
    QString out =
        QStringLiteral("Alarma: la comprobación de %1 encontró un fallo en el %2 n.º %3%4: %5")
            .arg(records ? QStringLiteral("los registros de facturación")
                         : QStringLiteral("los registros de evento"),
                 records ? QStringLiteral("registro") : QStringLiteral("evento"),
                 QString::number(sequence),
                 subject.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(subject), what);
    if (resolvedAt)
        return out + QStringLiteral(". Resuelta con la nota: «%1»").arg(note);
    return out + QStringLiteral(". Revise la causa y resuelva la alarma con una nota");
}

QByteArray IntegrityAlarm::toJson() const {
    QJsonObject o{{QStringLiteral("check"), checkKey(check)},
                  {QStringLiteral("sequence"), QString::number(sequence)},
                  {QStringLiteral("subject"), subject},
                  {QStringLiteral("what"), what},
                  {QStringLiteral("raisedAt"), timeText(raisedAt)}};
    if (resolvedAt) {
        o.insert(QStringLiteral("resolvedAt"), timeText(*resolvedAt));
        o.insert(QStringLiteral("note"), note);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

IntegrityAlarm IntegrityAlarm::fromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        unreadable(QStringLiteral("no es JSON"));
    const QJsonObject o = document.object();
    IntegrityAlarm alarm;
    const QString check = o.value(u"check").toString();
    if (check != checkKey(Check::Records) && check != checkKey(Check::Events))
        unreadable(QStringLiteral("la comprobación «%1» no existe").arg(check));
    alarm.check = check == checkKey(Check::Records) ? Check::Records : Check::Events;
    bool number = false;
    alarm.sequence = o.value(u"sequence").toString().toLongLong(&number);
    if (!number || alarm.sequence < 0)
        unreadable(QStringLiteral("falta el número de secuencia"));
    alarm.subject = o.value(u"subject").toString();
    alarm.what = o.value(u"what").toString();
    if (alarm.what.isEmpty())
        unreadable(QStringLiteral("falta qué se encontró"));
    alarm.raisedAt = readTime(o, "raisedAt");
    if (o.contains(u"resolvedAt")) {
        alarm.resolvedAt = readTime(o, "resolvedAt");
        alarm.note = o.value(u"note").toString().trimmed();
        if (alarm.note.isEmpty())
            unreadable(QStringLiteral("está resuelta sin nota"));
    }
    return alarm;
}
