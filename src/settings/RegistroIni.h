#pragma once

#include "invoice/FacturaeVersion.h"
#include "invoice/PartyFields.h"
#include "invoice/TreatmentReasons.h"
#include "settings/AutoFirmaSettings.h"

#include <QString>

class InvoiceRecord;
class IniFile;

// Section MISDATOS of Registro.Ini: the issuer's own data.
struct IssuerSettings {
    QString entity, office, control, account, iban; // ENTIDAD OFICINA DC CUENTA IBAN
    QString persona;                                // PERSONA as stored
    QString name, surname1, surname2;               // NOMBRE APELLIDO1 APELLIDO2
    QString address, postCode, town, province, taxId, contact, email;
    // The reason of each cause of an exempt or not-subject line: MOTIVOE1 to
    // MOTIVOE5, MOTIVON1, MOTIVON2, and MOTIVOEXENCION for E6, the cause every
    // exempt line had before; empty means the usual text.
    std::array<QString, VatTreatmentCount> reasons;
    // CALIFICACIONIVA0: the cause a line at 0 % gets when nothing else says
    // (E1-E6, N1, N2); empty or anything else means E6.
    QString zeroRateCause;
    QString withholdingRate; // IRPF: the usual withholding rate; empty means 0

    // First character of PERSONA, compared upper case only; empty when it
    // selects neither kind.
    QString personLetter() const;

    // Where a party field is kept (the corporate name and the first name
    // share NOMBRE), and whether a person of the kind stores it.
    QString& value(PartyField field);
    const QString& value(PartyField field) const;
    static bool stored(PartyField field, PersonType type);

    TreatmentReasons treatmentReasons() const;
    VatTreatment zeroRateTreatment() const;
    // The key of a cause's reason; empty for S1 and S2, which have none.
    static QString reasonKey(VatTreatment cause);

    static IssuerSettings read(const IniFile& ini);
    // Stores the 14 keys of a legal entity ("J") or the 16 of a natural person
    // ("F"), in the order the issuer-data window writes them. Other keys stay.
    void write(IniFile& ini, PersonType type) const;
};

namespace RegistroIni {

// Loads the issuer into the main window's record when Registro.Ini exists in
// appDir, as the window does when first shown. Returns why the file could not
// be read, if it exists and could not (it then reads as empty).
QString loadIssuerAtStart(InvoiceRecord& record, const QString& appDir);

// The reason of each cause and the cause of a line at 0 %, from [MISDATOS]
// (the usual ones when the file or a key is missing or empty).
void loadTreatmentSettings(InvoiceRecord& record, const QString& appDir);

// The issuer's usual withholding rate ([MISDATOS] IRPF) in the files' form,
// "0" when the file or the key is missing or empty. Throws AppError, naming
// the key and where to correct it, when the stored text is no rate from 0 to
// 100.
QString usualWithholdingRate(const QString& appDir);
// The same check for a rate about to be stored, as typed: its files' form
// ("15", "7,5"), or AppError with the reason.
QString withholdingRateToStore(const QString& typed);

// The version of the documents written, [FACTURAE] VERSION: 3.2.1 when the
// file or the key is missing or empty. Throws AppError naming the key and the
// file for any other value than 3.2.1 or 3.2.2.
FacturaeVersion facturaeVersion(const QString& appDir);

} // namespace RegistroIni
