#include "records/DeclarationTexts.h"

#include "common/AppError.h"
#include "records/RecordResources.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

DeclarationTexts DeclarationTexts::fromJson(const QByteArray& json) {
    auto unreadable = [](const QString& why) {
        return AppError(
            QStringLiteral("Los textos de la declaración responsable no se pueden leer: %1")
                .arg(why));
    };
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(json, &error).object();
    if (error.error != QJsonParseError::NoError)
        throw unreadable(error.errorString());
    DeclarationTexts texts;
    for (const QJsonValue& rule : object.value(u"compliance").toArray()) {
        if (!rule.toString().trimmed().isEmpty())
            texts.compliance << rule.toString().trimmed();
    }
    if (texts.compliance.isEmpty())
        throw unreadable(QStringLiteral("no nombra ninguna norma en «compliance»"));
    const QJsonObject subscribed = object.value(u"subscribed").toObject();
    const QString date = subscribed.value(u"date").toString().trimmed();
    if (!date.isEmpty()) {
        texts.subscribedOn = QDate::fromString(date, Qt::ISODate);
        if (!texts.subscribedOn.isValid())
            throw unreadable(QStringLiteral("«%1» no es una fecha AAAA-MM-DD").arg(date));
    }
    texts.subscribedAt = subscribed.value(u"place").toString().trimmed();
    return texts;
}

const DeclarationTexts& DeclarationTexts::builtIn() {
    static const DeclarationTexts texts = fromJson(RecordResources::read("declaration.json"));
    return texts;
}
