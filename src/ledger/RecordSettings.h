#pragma once

#include "records/GenerationTime.h"

#include <QString>
#include <QStringList>

class IniFile;

// Section VERIFACTU of Registro.Ini, every key the billing records use:
// MODO (VERIFACTU or NOVERIFACTU; records are made only once one is chosen),
// TERRITORIO (PENINSULA, the default, or CANARIAS: the offset of the
// records' times), ENTORNO (PRODUCCION, the default, or PRUEBAS: the tax
// agency's test service), LEYENDA (VERIFACTU, the default, or SEDE: the text
// under the invoice's QR code), and for trials URL (another address of the
// service) and CA (a file of extra certification authorities), as written.
struct RecordSettings {
    enum class Mode { None, Verifactu, NoVerifactu };
    enum class Environment { Production, Test };
    enum class Legend { Verifactu, Sede };

    Mode mode = Mode::None;
    Territory territory = Territory::Peninsula;
    Environment environment = Environment::Production;
    Legend legend = Legend::Verifactu;
    QString url;
    QString ca;

    bool makesRecords() const { return mode != Mode::None; }

    // Throws AppError naming the key and the file for a value it does not know.
    static RecordSettings read(const IniFile& ini);
    // The same, a key with such a value taking its default and the reason
    // added to problems: the settings page shows the rest as they are.
    static RecordSettings readKnown(const IniFile& ini, QStringList& problems);

    // Writes the keys whose meaning differs from what ini holds now (MODO,
    // TERRITORIO, ENTORNO, LEYENDA); every other key and line stays as it is,
    // byte for byte. Mode None empties MODO when the file has one; a value
    // the program does not know is replaced.
    void write(IniFile& ini) const;

    // Why mode cannot be chosen with the settings of ini, in Spanish; empty
    // when it can. The mode without sending signs each record with the
    // certificate file of [FIRMA] CERTIFICADO (relative to the folder of
    // Registro.Ini), so it needs one that is a PKCS#12 file.
    static QString modeProblem(Mode mode, const IniFile& ini);
};
