#pragma once

#include "invoice/RecordField.h"

#include <QString>
#include <array>

class InvoiceRecord;

// The three administrative centres of a public administration.
struct AdministrationCentres {
    QString managingCode, managingName; // ORGANO, NOMBRE_ORGANO
    QString officeCode, officeName;     // Oficina, Nombre_Oficina
    QString unitCode, unitName;         // Unidad, Nombre_Unidad

    // The six values, once: where each lives in the record and under which
    // key of the import file's ADMON section it arrives.
    struct Field {
        QString AdministrationCentres::*member;
        RecordField field;
        const char* importKey;
    };
    static const std::array<Field, 6>& fields();

    static AdministrationCentres fromRecord(const InvoiceRecord& record);
    void storeIn(InvoiceRecord& record) const;

    // Whether any of the three codes is given: the customer is then a public
    // administration.
    bool anyCode() const;

    bool operator==(const AdministrationCentres&) const = default;
};
