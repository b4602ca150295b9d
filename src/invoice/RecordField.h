#pragma once

#include <QString>

// Text fields of the invoice record.
enum class RecordField {
    // Issuer
    IssuerCorporateName,
    IssuerFirstName,
    IssuerFirstSurname,
    IssuerSecondSurname,
    IssuerAddress,
    IssuerPostCode,
    IssuerTown,
    IssuerProvince,
    IssuerTaxId,
    IssuerContact,
    IssuerEmail,
    // Customer
    CustomerCorporateName,
    CustomerFirstName,
    CustomerFirstSurname,
    CustomerSecondSurname,
    CustomerAddress,
    CustomerPostCode,
    CustomerTown,
    CustomerProvince,
    CustomerTaxId,
    CustomerContact,
    // Payment
    BankEntity,
    BankOffice,
    BankControlDigits,
    BankAccountNumber,
    Iban,
    InvoiceSeries,
    InvoiceNumber,
    // Administrative centres of a public administration
    ManagingBodyCode,
    AccountingOfficeCode,
    ProcessingUnitCode,
    ManagingBodyName,
    AccountingOfficeName,
    ProcessingUnitName,
    // The withholding rate as typed or picked
    WithholdingRate,
};
inline constexpr int RecordFieldCount = static_cast<int>(RecordField::WithholdingRate) + 1;

// The numeric boxes of "Totales Factura".
enum class TotalBox { Bruto, Dto, Base, Iva, Irpf, Total };
inline constexpr int TotalBoxCount = 6;
