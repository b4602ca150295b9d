#pragma once

#include <QString>
#include <QUrl>

class IniFile;

// Where billing records go, from section VERIFACTU of Registro.Ini: ENTORNO
// (PRODUCCION, the default, or PRUEBAS for the tax agency's test service)
// picks the address; URL overrides it; CA names a PEM file of extra
// certification authorities trusted for the service (relative to the folder
// of Registro.Ini).
struct ServiceSettings {
    enum class Environment { Production, Test };

    Environment environment = Environment::Production;
    QUrl address;
    QString extraAuthorities; // absolute path, or empty

    static QUrl addressOf(Environment environment);

    // Throws AppError naming the key for a value of [VERIFACTU] the program
    // does not know (RecordSettings) or an address that is not https (records
    // never travel unencrypted).
    static ServiceSettings read(const IniFile& ini, const QString& homeDir);
};
