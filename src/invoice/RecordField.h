#pragma once

#include <QString>

// Text fields of the invoice record. Each is shown on the main window by the
// control whose object name controlName() gives.
enum class RecordField {
    // Issuer
    IssuerCorporateName, // Edit1
    IssuerFirstName,     // Edit18
    IssuerFirstSurname,  // Edit19
    IssuerSecondSurname, // Edit20
    IssuerAddress,       // Edit2
    IssuerPostCode,      // Edit3
    IssuerTown,          // Edit4
    IssuerProvince,      // Edit5
    IssuerTaxId,         // Edit6
    IssuerContact,       // Edit26
    IssuerEmail,         // Edit28
    // Customer
    CustomerCorporateName, // Edit8
    CustomerFirstName,     // Edit21
    CustomerFirstSurname,  // Edit22
    CustomerSecondSurname, // Edit23
    CustomerAddress,       // Edit7
    CustomerPostCode,      // Edit9
    CustomerTown,          // Edit10
    CustomerProvince,      // Edit12
    CustomerTaxId,         // Edit11
    CustomerContact,       // Edit27
    // Payment
    BankEntity,        // Edit13
    BankOffice,        // Edit14
    BankControlDigits, // Edit15
    BankAccountNumber, // Edit16
    Iban,              // Edit17
    InvoiceSeries,     // Edit24
    InvoiceNumber,     // Edit25
    // Administrative centres (hidden on the main window)
    ManagingBodyCode,     // eGestor
    AccountingOfficeCode, // eOficina
    ProcessingUnitCode,   // eUnidad
    ManagingBodyName,     // eGestorName
    AccountingOfficeName, // eOficinaName
    ProcessingUnitName,   // eUnidadName
    // AutoFirma carrier fields (hidden)
    AutoFirmaFolder,     // Edit29
    AutoFirmaProgram,    // Edit30
    AutoFirmaCommand,    // Edit31
    AutoFirmaFormat,     // Edit32
    AutoFirmaParameters, // eParametros
    // Text of the withholding rate list
    WithholdingRate, // ComboBox1
};
inline constexpr int RecordFieldCount = static_cast<int>(RecordField::WithholdingRate) + 1;

// Object name of the main-window control that shows a field.
QString controlName(RecordField field);

// The numeric boxes of "Totales Factura".
enum class TotalBox { Bruto, Dto, Base, Iva, Irpf, Total };
inline constexpr int TotalBoxCount = 6;
QString controlName(TotalBox box); // eBruto, eDto, eBase, eIva, eIRPF, eTotal
