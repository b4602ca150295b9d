#pragma once

#include "invoice/PersonType.h"
#include "invoice/RecordField.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>

class InvoiceRecord;

// What describes a party (the issuer or the customer), once: for each of its
// fields the key in the INI files (the import file's VENDEDOR and COMPRADOR,
// Registro.Ini's MISDATOS), the record field of each party, the element of the
// document and the caption on the windows. The import, Registro.Ini, the
// document writer and the party panels all read this table.
enum class PartyField {
    CorporateName,
    FirstName,
    FirstSurname,
    SecondSurname,
    Address,
    PostCode,
    Town,
    Province,
    TaxId,
    Contact,
    Email,
};
inline constexpr int PartyFieldCount = static_cast<int>(PartyField::Email) + 1;

struct PartyFieldInfo {
    PartyField field;
    const char* iniKey;  // NOMBRE holds the corporate name or the first name
    const char* element; // the document element that carries it
    const char* label;   // caption on the windows (UTF-8)
    bool legalEntity;    // a legal entity has it
    bool naturalPerson;  // a natural person has it
    RecordField issuer;
    std::optional<RecordField> customer; // the customer has no e-mail
};

namespace PartyFields {

// Every field, in the order the INI files and the panels list them.
const std::array<PartyFieldInfo, PartyFieldCount>& all();
const PartyFieldInfo& info(PartyField field);

QString iniKey(PartyField field);
QString element(PartyField field);
QString label(PartyField field);
// The record field of a party's field; nothing when the party has no such field.
std::optional<RecordField> recordField(Party party, PartyField field);
// Whether a person of the given type has the field.
bool belongsTo(PartyField field, PersonType type);

// The kind a PERSONA value selects: "J" a legal entity, "F" a natural person.
std::optional<PersonType> personTypeOf(const QString& letter);

// Loads a party from an INI section: selects the kind (as clicking its
// button), stores every field the kind has, read by key, and applies the
// layout. Keys the kind does not have are not read.
void load(InvoiceRecord& record, Party party, PersonType type,
          const std::function<QString(const QString& key)>& readKey);

} // namespace PartyFields
