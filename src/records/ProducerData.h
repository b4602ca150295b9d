#pragma once

#include "records/BillingRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Who makes Orvane and what it is, from the data file built into the
// program (records/data/producer.json): the billing records name the
// producer and the system, and the declaration of conformity prints it all.
// Empty fields are allowed; the version is the program's own.
struct ProducerData {
    QString name;
    QString taxId;
    QString address;
    QString systemName;
    QString systemId;
    QString version;
    QStringList components;
    QStringList functions;
    bool onlyVerifactu = false;
    bool multipleTaxpayersPossible = false;
    QString signatureTypes;

    // The built-in file, read once; or, when the environment variable
    // ORVANE_PRODUCER_FILE names one, that file instead.
    static constexpr const char* FileVariable = "ORVANE_PRODUCER_FILE";
    static const ProducerData& builtIn();
    // Reads a file of that form; throws AppError when it is not one.
    static ProducerData fromJson(const QByteArray& json, const QString& version);

    // The SistemaInformatico block of a record made by this installation.
    // One taxpayer per book: IndicadorMultiplesOT is always N.
    SoftwareSystem softwareSystem(const QString& installationNumber) const;
};
