#pragma once

#include <QString>

#include <libxml/tree.h>

class CheckReport;

// Payment and dates: IBAN check digits (F-B1) and the Spanish account's own
// control digits inside an ES IBAN (F-B2), due dates against the issue date
// (F-D1) and placeholder or pre-1900 dates (F-D2).
namespace PaymentChecks {

void run(const xmlNode* root, CheckReport& report);

// True when an IBAN (blanks allowed) has a valid form and mod-97 remainder.
bool ibanValid(const QString& iban);

} // namespace PaymentChecks
