#include "records/ProducerData.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "records/RecordResources.h"

#include "Version.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QStringList strings(const QJsonValue& value) {
    QStringList out;
    for (const QJsonValue& item : value.toArray())
        out << item.toString();
    return out;
}

} // namespace

ProducerData ProducerData::fromJson(const QByteArray& json, const QString& version) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    const QJsonObject producer = document.object().value(u"producer").toObject();
    const QJsonObject system = document.object().value(u"system").toObject();
    if (error.error != QJsonParseError::NoError || system.isEmpty())
        throw AppError(QStringLiteral("Los datos del productor del programa no se pueden leer: %1")
                           .arg(error.error != QJsonParseError::NoError
                                    ? error.errorString()
                                    : QStringLiteral("falta el apartado «system»")));
    ProducerData data;
    data.name = producer.value(u"name").toString();
    data.taxId = producer.value(u"taxId").toString();
    data.address = producer.value(u"address").toString();
    data.systemName = system.value(u"name").toString();
    data.systemId = system.value(u"id").toString();
    data.version = version;
    data.components = strings(system.value(u"components"));
    data.functions = strings(system.value(u"functions"));
    data.onlyVerifactu = system.value(u"onlyVerifactu").toBool();
    data.multipleTaxpayersPossible = system.value(u"multipleTaxpayersPossible").toBool();
    data.signatureTypes = system.value(u"signatureTypes").toString();
    return data;
}

const ProducerData& ProducerData::builtIn() {
    // Until the maintainers fill the built-in file, a trial installation (and
    // the tool's tests) may name a file of the same form; a file that cannot
    // be read stops the records rather than falling back to the empty data.
    static const ProducerData data = [] {
        const QString path = qEnvironmentVariable(FileVariable);
        const QByteArray json =
            path.isEmpty()
                ? RecordResources::read("producer.json")
                : BoundedFile::read(path, 64 * 1024,
                                    QStringLiteral("los datos del productor del programa"));
        return fromJson(json, QStringLiteral(ORVANE_VERSION_STRING));
    }();
    return data;
}

SoftwareSystem ProducerData::softwareSystem(const QString& installationNumber) const {
    SoftwareSystem s;
    s.producerName = name;
    s.producerNif = taxId;
    s.systemName = systemName;
    s.systemId = systemId;
    s.version = version;
    s.installationNumber = installationNumber;
    s.onlyVerifactu = onlyVerifactu;
    s.multipleTaxpayersPossible = multipleTaxpayersPossible;
    s.multipleTaxpayers = false;
    return s;
}
