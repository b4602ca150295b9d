#pragma once

#include <QString>
#include <QStringList>

class IniFile;

// Section AUTOFIRMA of Registro.Ini.
struct AutoFirmaSettings {
    QString folder;  // RUTAPROGRAMA
    QString program; // PROGRAMA
    QString command; // COMANDO
    QString format;  // FIRMA

    static AutoFirmaSettings read(const IniFile& ini);
    void write(IniFile& ini) const;

    // The values the settings window offers for COMANDO and FIRMA. Only these
    // are passed on: the texts are split into arguments, so anything else
    // could add arguments of its own.
    static const QStringList& offeredCommands();
    static const QStringList& offeredFormats();
    // Why these settings must not start the program, or empty when they may:
    // COMANDO and FIRMA must be offered values, RUTAPROGRAMA set (without it
    // the program would be looked for along the system's search path), and
    // PROGRAMA a plain file name (no folder, no "..") so that what starts is
    // inside RUTAPROGRAMA.
    QString problem() const;
};
