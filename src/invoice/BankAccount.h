#pragma once

#include <QString>

class InvoiceRecord;

namespace BankAccount {

// The two control digits of a Spanish account (0..99) from the eight digits of
// entity and office and the ten of the account number. Throws AppError
// "'%s' is not a valid integer value" at the first position, read from the
// right, that is not a digit or is missing.
int BankControlDigits(const QString& entityAndOffice, const QString& accountNumber);

// The IBAN of an account (mod-97 check digits). An empty country means "ES";
// an account that already starts with a country and check digits keeps its
// country. Unusable input gives the empty text.
QString ComputeIban(const QString& country, const QString& account);

// The IBAN from the four account parts: fills missing control digits, rebuilds
// CuentaCompleta and replaces the IBAN. Throws AppError when the parts give no
// control digits.
void workOutIban(InvoiceRecord& record);

} // namespace BankAccount
