#include "invoice/Invoice.h"

QString& InvoiceParty::field(PartyField field) {
    switch (field) {
    case PartyField::CorporateName:
        return corporateName;
    case PartyField::FirstName:
        return firstName;
    case PartyField::FirstSurname:
        return firstSurname;
    case PartyField::SecondSurname:
        return secondSurname;
    case PartyField::Address:
        return address;
    case PartyField::PostCode:
        return postCode;
    case PartyField::Town:
        return town;
    case PartyField::Province:
        return province;
    case PartyField::TaxId:
        return taxId;
    case PartyField::Contact:
        return contact;
    case PartyField::Email:
        break;
    }
    return email;
}

const QString& InvoiceParty::field(PartyField which) const {
    return const_cast<InvoiceParty*>(this)->field(which);
}
