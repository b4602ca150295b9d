#pragma once

#include "common/Decimal.h"
#include "invoice/AdministrationCentres.h"
#include "invoice/FacturaeVersion.h"
#include "invoice/Correction.h"
#include "invoice/InvoiceLine.h"
#include "invoice/PartyFields.h"
#include "invoice/PersonType.h"
#include "invoice/TreatmentReasons.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <optional>

// One party of an invoice, the issuer or the customer: its kind and every
// field of the party table. A field the kind does not have is kept (a person
// switching back finds it) but never written.
struct InvoiceParty {
    PersonType type = PersonType::LegalEntity;
    QString corporateName;
    QString firstName, firstSurname, secondSurname;
    QString address, postCode, town, province;
    QString taxId;
    QString contact; // a legal entity's; a natural person has none
    QString email;   // the issuer's

    QString& field(PartyField field);
    const QString& field(PartyField field) const;

    bool operator==(const InvoiceParty&) const = default;
};

// The issuer's account the invoice is paid into: the four parts of a Spanish
// account as typed or imported, and the IBAN that follows them.
struct PaymentAccount {
    QString entity, office, controlDigits, number;
    QString iban;

    bool operator==(const PaymentAccount&) const = default;
};

// A whole invoice as a value: what the import file, the draft, the document,
// the readable copy and the book describe. It holds no cursor, no state of a
// window and no file: the session keeps those beside it.
struct Invoice {
    InvoiceParty issuer, customer;
    // A public administration, with its three administrative centres.
    bool administration = false;
    AdministrationCentres centres;
    QString series, number;
    QDate issueDate, dueDate; // a due date of 30/12/1899 means none
    PaymentAccount account;
    Decimal withholdingRate;  // I.R.P.F. in per cent, 0 to 100
    TreatmentReasons reasons; // written on every exempt or not-subject line
    QVector<InvoiceLine> lines;
    // The document's free text (InvoiceAdditionalInformation); empty: none.
    QString additionalInformation;
    // The version its document is written in (a setting, not the invoice's).
    FacturaeVersion facturaeVersion = FacturaeVersion::V3_2_1;
    // Set for a corrective invoice only.
    std::optional<Correction> correction;

    InvoiceParty& party(Party which) { return which == Party::Issuer ? issuer : customer; }
    const InvoiceParty& party(Party which) const {
        return which == Party::Issuer ? issuer : customer;
    }

    bool operator==(const Invoice&) const = default;
};
