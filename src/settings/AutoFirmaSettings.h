#pragma once

#include <QString>

class IniFile;

// Section AUTOFIRMA of Registro.Ini.
struct AutoFirmaSettings {
    QString folder;  // RUTAPROGRAMA
    QString program; // PROGRAMA
    QString command; // COMANDO
    QString format;  // FIRMA

    static AutoFirmaSettings read(const IniFile& ini);
    void write(IniFile& ini) const;
};
