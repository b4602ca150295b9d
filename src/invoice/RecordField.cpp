#include "invoice/RecordField.h"

#include <array>

QString controlName(RecordField field) {
    static const std::array<const char*, RecordFieldCount> names = {
        "Edit1",   "Edit18",   "Edit19",  "Edit20",      "Edit2",        "Edit3",       "Edit4",
        "Edit5",   "Edit6",    "Edit26",  "Edit28",      "Edit8",        "Edit21",      "Edit22",
        "Edit23",  "Edit7",    "Edit9",   "Edit10",      "Edit12",       "Edit11",      "Edit27",
        "Edit13",  "Edit14",   "Edit15",  "Edit16",      "Edit17",       "Edit24",      "Edit25",
        "eGestor", "eOficina", "eUnidad", "eGestorName", "eOficinaName", "eUnidadName", "Edit29",
        "Edit30",  "Edit31",   "Edit32",  "eParametros", "ComboBox1",
    };
    return QString::fromLatin1(names[static_cast<std::size_t>(field)]);
}

QString controlName(TotalBox box) {
    static const std::array<const char*, TotalBoxCount> names = {"eBruto", "eDto",  "eBase",
                                                                 "eIva",   "eIRPF", "eTotal"};
    return QString::fromLatin1(names[static_cast<std::size_t>(box)]);
}
