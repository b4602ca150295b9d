#pragma once

#include "records/ProducerData.h"

#include <QDir>
#include <QFile>

// Until the built-in producer data are filled in, no record or event can be
// made: the tests that make them through the program name a trial producer
// file, written into dir, for the whole test run (the program and the tool
// it starts). False when the file cannot be written.
inline bool useTrialProducer(const QString& dir) {
    const QString path = QDir(dir).filePath(QStringLiteral("producer.json"));
    QFile json(path);
    if (!json.open(QIODevice::WriteOnly))
        return false;
    json.write(R"({"producer": {"name": "Productora de Ensayo, S.L.", "taxId": "B12345674"},
                  "system": {"name": "Orvane", "id": "OV"}})");
    qputenv(ProducerData::FileVariable, path.toUtf8());
    return true;
}
