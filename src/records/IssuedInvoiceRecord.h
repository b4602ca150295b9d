#pragma once

#include "records/BillingRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The billing record of an issued invoice, made from the Facturae document as
// it was written: its figures are the document's, so the record can never
// tell the tax agency other amounts than the invoice does. What the document
// cannot say comes with it.
namespace IssuedInvoiceRecord {

struct Inputs {
    // The issuer's own tax id (Mis datos): the document's seller must be the
    // same taxpayer. Empty: the document's seller is taken as it is.
    QString issuerNif;
    // The name the records give the issuer; empty: the document's seller name.
    QString issuerName;
    // Each line's VAT treatment, in the document's order. A line without one
    // takes what the document says: exempt (special taxable event 01) is
    // exemptDefault, not subject (02) is N1, anything else S1 at its rate
    // (0 % included).
    QList<std::optional<VatTreatment>> lineTreatments;
    VatTreatment exemptDefault = VatTreatment::E6;
    Territory territory = Territory::Peninsula;
};

// The draft of the invoice's RegistroAlta, type F1, with no chain, program or
// generation time yet (the ledger stamps those as it appends it):
// - NumSerieFactura: series, "-" and number, or the number alone;
// - one DetalleDesglose per treatment and rate. Exempt, not-subject and
//   reverse-charge lines must be at rate 0 without tax in the document; the
//   taxed share of each rate is the document's group at that rate less them,
//   so per rate the bases add up to the document's TaxableBase and the taxes
//   to its TaxAmount;
// - CuotaTotal and ImporteTotal are the document's TotalTaxOutputs and
//   TotalGrossAmountBeforeTaxes plus TotalTaxOutputs (never InvoiceTotal,
//   which a withholding reduces);
// - DescripcionOperacion: the lines' descriptions, at most 500 characters;
// - the recipient: the buyer by NIF, or by IDOtro when not resident in Spain.
// Throws AppError with a Spanish message when the bytes are not a Facturae
// document of one invoice, its seller is another taxpayer, a tax is not VAT,
// a line's treatment does not fit its rate or tax, or its figures do not add
// up. The tax agency's own rules (RecordRules) are the ledger's to apply.
BillingRecord draft(const QByteArray& document, const Inputs& inputs);

} // namespace IssuedInvoiceRecord
