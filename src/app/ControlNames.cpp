#include "app/ControlNames.h"

#include <array>
#include <utility>

namespace {

using F = RecordField;
constexpr std::array<std::pair<RecordField, const char*>, RecordFieldCount> FieldControls{{
    {F::IssuerCorporateName, "Edit1"},
    {F::IssuerFirstName, "Edit18"},
    {F::IssuerFirstSurname, "Edit19"},
    {F::IssuerSecondSurname, "Edit20"},
    {F::IssuerAddress, "Edit2"},
    {F::IssuerPostCode, "Edit3"},
    {F::IssuerTown, "Edit4"},
    {F::IssuerProvince, "Edit5"},
    {F::IssuerTaxId, "Edit6"},
    {F::IssuerContact, "Edit26"},
    {F::IssuerEmail, "Edit28"},
    {F::CustomerCorporateName, "Edit8"},
    {F::CustomerFirstName, "Edit21"},
    {F::CustomerFirstSurname, "Edit22"},
    {F::CustomerSecondSurname, "Edit23"},
    {F::CustomerAddress, "Edit7"},
    {F::CustomerPostCode, "Edit9"},
    {F::CustomerTown, "Edit10"},
    {F::CustomerProvince, "Edit12"},
    {F::CustomerTaxId, "Edit11"},
    {F::CustomerContact, "Edit27"},
    {F::BankEntity, "Edit13"},
    {F::BankOffice, "Edit14"},
    {F::BankControlDigits, "Edit15"},
    {F::BankAccountNumber, "Edit16"},
    {F::Iban, "Edit17"},
    {F::InvoiceSeries, "Edit24"},
    {F::InvoiceNumber, "Edit25"},
    {F::ManagingBodyCode, "eGestor"},
    {F::AccountingOfficeCode, "eOficina"},
    {F::ProcessingUnitCode, "eUnidad"},
    {F::ManagingBodyName, "eGestorName"},
    {F::AccountingOfficeName, "eOficinaName"},
    {F::ProcessingUnitName, "eUnidadName"},
    {F::WithholdingRate, "ComboBox1"},
}};

// The table is in the order of the fields, so a field is its own index.
constexpr bool inFieldOrder() {
    for (std::size_t i = 0; i < FieldControls.size(); ++i)
        if (static_cast<std::size_t>(FieldControls[i].first) != i)
            return false;
    return true;
}
static_assert(inFieldOrder(), "FieldControls must list every field in its order");

constexpr std::array<const char*, TotalBoxCount> TotalControls = {"eBruto", "eDto",  "eBase",
                                                                  "eIva",   "eIRPF", "eTotal"};

} // namespace

QString controlName(RecordField field) {
    return QString::fromLatin1(FieldControls[static_cast<std::size_t>(field)].second);
}

QString controlName(TotalBox box) {
    return QString::fromLatin1(TotalControls[static_cast<std::size_t>(box)]);
}
