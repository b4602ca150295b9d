#include "invoice/AdministrationCentres.h"

#include "invoice/InvoiceRecord.h"

const std::array<AdministrationCentres::Field, 6>& AdministrationCentres::fields() {
    using C = AdministrationCentres;
    static const std::array<Field, 6> table{{
        {&C::managingCode, RecordField::ManagingBodyCode, "GESTOR"},
        {&C::officeCode, RecordField::AccountingOfficeCode, "OFICINA"},
        {&C::unitCode, RecordField::ProcessingUnitCode, "UNIDAD"},
        {&C::managingName, RecordField::ManagingBodyName, "NOMBREGESTOR"},
        {&C::officeName, RecordField::AccountingOfficeName, "NOMBREOFICINA"},
        {&C::unitName, RecordField::ProcessingUnitName, "NOMBREUNIDAD"},
    }};
    return table;
}

AdministrationCentres AdministrationCentres::fromRecord(const InvoiceRecord& record) {
    AdministrationCentres centres;
    for (const Field& f : fields())
        centres.*f.member = record.text(f.field);
    return centres;
}

void AdministrationCentres::storeIn(InvoiceRecord& record) const {
    for (const Field& f : fields())
        record.setText(f.field, this->*f.member);
}

bool AdministrationCentres::anyCode() const {
    return !managingCode.isEmpty() || !officeCode.isEmpty() || !unitCode.isEmpty();
}
