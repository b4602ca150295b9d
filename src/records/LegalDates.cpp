#include "records/LegalDates.h"

#include "common/AppError.h"
#include "records/RecordResources.h"

#include <QJsonDocument>
#include <QJsonObject>

LegalDates LegalDates::fromJson(const QByteArray& json) {
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    auto date = [&object](const char16_t* key) {
        const QString text = object.value(QStringView(key)).toString();
        const QDate value = QDate::fromString(text, Qt::ISODate);
        if (!value.isValid())
            throw AppError(QStringLiteral("Las fechas legales de los registros de facturación no "
                                          "se pueden leer: «%1» no es una fecha válida para %2")
                               .arg(text, QStringView(key).toString()));
        return value;
    };
    return {date(u"companies"), date(u"persons"), date(u"earliestIssueDate")};
}

const LegalDates& LegalDates::builtIn() {
    static const LegalDates dates = fromJson(RecordResources::read("legal-dates.json"));
    return dates;
}
