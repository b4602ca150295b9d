#pragma once

#include <QString>

class IniFile;

// Section FIRMA of Registro.Ini: how invoices are signed. METODO is AUTOFIRMA
// (the outside program, also when the key is missing) or CERTIFICADO (a
// certificate file, CERTIFICADO its path). The password is never stored.
struct FirmaSettings {
    enum class Method { AutoFirma, Certificate };

    Method method = Method::AutoFirma;
    QString certificate; // path of the .p12/.pfx file

    static FirmaSettings read(const IniFile& ini);
    void write(IniFile& ini) const;
};
