#pragma once

#include "records/GenerationTime.h"

class IniFile;

// Section VERIFACTU of Registro.Ini as the billing records use it: MODO
// (VERIFACTU or NOVERIFACTU; records are made only once one is chosen) and
// TERRITORIO (PENINSULA, the default, or CANARIAS: the offset of the
// records' times).
struct RecordSettings {
    enum class Mode { None, Verifactu, NoVerifactu };

    Mode mode = Mode::None;
    Territory territory = Territory::Peninsula;

    bool makesRecords() const { return mode != Mode::None; }

    // Throws AppError naming the key and the file for a value it does not know.
    static RecordSettings read(const IniFile& ini);
};
