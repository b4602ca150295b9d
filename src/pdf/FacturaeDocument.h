#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What a person reads on a Facturae invoice, as plain values. Figures keep the
// decimal text the document holds (no rounding, no binary floating point):
// the printed copy shows exactly what was signed.
namespace FacturaeDocument {

struct Address {
    QString street, postCode, town, province, countryCode; // postCode empty abroad
};

struct Centre {
    QString code, roleCode, name, description;
};

struct Party {
    QString taxId, personType, residenceType;
    QString name; // corporate name, or name and surnames of a person
    QString tradeName;
    Address address;
    QString email, telephone;
    QVector<Centre> centres;
};

struct Tax {
    QString typeCode, rate, base, amount;
    QString surchargeRate, surchargeAmount; // equivalence surcharge, when any
};

struct Adjustment { // a discount or a charge of a line
    QString reason, rate, amount;
};

struct Line {
    QString fileReference, fileDate;
    QString description;
    QString quantity, unitPrice, totalCost, grossAmount;
    QVector<Adjustment> discounts, charges;
    QVector<Tax> taxes, withheld;
    QString exemptionCode, exemptionReason;
};

struct Installment {
    QString dueDate, amount, meansCode;
    QString creditIban, creditAccount, creditBic;
    QString debitIban, debitAccount;
};

struct Totals {
    QString grossAmount, generalDiscounts, generalSurcharges, grossBeforeTaxes;
    QString taxOutputs, taxesWithheld, invoiceTotal, paymentsOnAccount;
    QString outstanding, executable, reimbursable;
};

struct Invoice {
    QString number, series, documentType, invoiceClass;
    QString issueDate, operationDate, currency;
    QString periodStart, periodEnd;
    QVector<Tax> taxesOutputs, taxesWithheld;
    Totals totals;
    QVector<Line> lines;
    QVector<Installment> installments;
    QStringList notes; // legal literals and additional information
    // The tax QR address the additional information carries (a line
    // "QR tributario: <address>"), as found: not yet checked.
    QString taxQrAddress;
};

struct Signature {
    bool present = false;
    QString signerName;
    QString signingTime;  // as written in the signature (xs:dateTime)
    bool checked = false; // the signature was verified ...
    bool valid = false;   // ... and found valid
    bool trusted = false; // its certificate comes from an authority the system trusts
};

struct Document {
    QString schemaVersion;
    QString batchCurrency;
    Party seller, buyer;
    QVector<Invoice> invoices;
    Signature signature;
};

} // namespace FacturaeDocument
