#pragma once

#include "invoice/PersonType.h"

#include <QByteArray>
#include <QDate>

// The dates of the law on billing records, from the data file built into the
// program (records/data/legal-dates.json): they have moved before.
struct LegalDates {
    QDate companies;         // from when a company must make records
    QDate persons;           // the same for everyone else
    QDate earliestIssueDate; // the tax agency refuses invoices issued before it

    static const LegalDates& builtIn();
    // Throws AppError when the text lacks a date or holds one that is not.
    static LegalDates fromJson(const QByteArray& json);

    QDate obligationDate(PersonType issuer) const {
        return issuer == PersonType::LegalEntity ? companies : persons;
    }
};
