#include "invoice/PartyFields.h"

#include "invoice/InvoiceRecord.h"

namespace PartyFields {

namespace {

using F = PartyField;
using R = RecordField;
constexpr std::array<PartyFieldInfo, PartyFieldCount> Fields{{
    {F::CorporateName, "NOMBRE", "CorporateName", "R.Social", true, false, R::IssuerCorporateName,
     R::CustomerCorporateName},
    {F::FirstName, "NOMBRE", "Name", "Nombre", false, true, R::IssuerFirstName,
     R::CustomerFirstName},
    {F::FirstSurname, "APELLIDO1", "FirstSurname", "Ap. 1", false, true, R::IssuerFirstSurname,
     R::CustomerFirstSurname},
    {F::SecondSurname, "APELLIDO2", "SecondSurname", "Ap. 2", false, true, R::IssuerSecondSurname,
     R::CustomerSecondSurname},
    {F::Address, "DIRECCION", "Address", "Dirección", true, true, R::IssuerAddress,
     R::CustomerAddress},
    {F::PostCode, "CP", "PostCode", "C.P.", true, true, R::IssuerPostCode, R::CustomerPostCode},
    {F::Town, "POBLACION", "Town", "Población", true, true, R::IssuerTown, R::CustomerTown},
    {F::Province, "PROVINCIA", "Province", "Provincia", true, true, R::IssuerProvince,
     R::CustomerProvince},
    {F::TaxId, "NIF", "TaxIdentificationNumber", "N.I.F./C.I.F.", true, true, R::IssuerTaxId,
     R::CustomerTaxId},
    {F::Contact, "CONTACTO", "TradeName", "Contacto", true, false, R::IssuerContact,
     R::CustomerContact},
    {F::Email, "MAIL", "ElectronicMail", "E-Mail", true, true, R::IssuerEmail, std::nullopt},
}};

constexpr bool inFieldOrder() {
    for (std::size_t i = 0; i < Fields.size(); ++i)
        if (static_cast<std::size_t>(Fields[i].field) != i)
            return false;
    return true;
}
static_assert(inFieldOrder(), "Fields must list every party field in its order");

} // namespace

const std::array<PartyFieldInfo, PartyFieldCount>& all() {
    return Fields;
}

const PartyFieldInfo& info(PartyField field) {
    return Fields[static_cast<std::size_t>(field)];
}

QString iniKey(PartyField field) {
    return QString::fromLatin1(info(field).iniKey);
}

QString element(PartyField field) {
    return QString::fromLatin1(info(field).element);
}

QString label(PartyField field) {
    return QString::fromUtf8(info(field).label);
}

std::optional<RecordField> recordField(Party party, PartyField field) {
    const PartyFieldInfo& i = info(field);
    return party == Party::Issuer ? std::optional<RecordField>(i.issuer) : i.customer;
}

bool belongsTo(PartyField field, PersonType type) {
    const PartyFieldInfo& i = info(field);
    return type == PersonType::LegalEntity ? i.legalEntity : i.naturalPerson;
}

std::optional<PersonType> personTypeOf(const QString& letter) {
    if (letter == u"J")
        return PersonType::LegalEntity;
    if (letter == u"F")
        return PersonType::NaturalPerson;
    return std::nullopt;
}

void load(InvoiceRecord& record, Party party, PersonType type,
          const std::function<QString(const QString& key)>& readKey) {
    record.selectPersonType(party, type);
    for (const PartyFieldInfo& i : Fields) {
        const std::optional<RecordField> target = recordField(party, i.field);
        if (target && belongsTo(i.field, type))
            record.setText(*target, readKey(QString::fromLatin1(i.iniKey)));
    }
    record.applyLayout(party);
}

} // namespace PartyFields
