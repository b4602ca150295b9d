#pragma once

#include <QString>

class InvoiceRecord;

namespace BankAccount {

// The two control digits of a Spanish account (0..99) from the eight digits of
// entity and office and the ten of the account number. Throws AppError at the
// first position, read from the right, that is not a digit or is missing.
int BankControlDigits(const QString& entityAndOffice, const QString& accountNumber);

// The IBAN of an account (mod-97 check digits). An empty country means "ES";
// an account that already starts with a country and check digits keeps its
// country. Unusable input gives the empty text.
QString ComputeIban(const QString& country, const QString& account);
// The remainder by 97 of text read as a number, each letter A-Z as two
// digits (A = 10): the IBAN's check. Any other character counts as its code
// modulo 100.
int ibanRemainder(const QString& text);

// The IBAN from the four account parts: fills missing control digits, rebuilds
// CuentaCompleta and replaces the IBAN. Throws AppError when the parts give no
// control digits.
void workOutIban(InvoiceRecord& record);

// The IBAN of a Spanish account when entity (4 digits), office (4) and
// account number (10) are filled and the control digits are 2 digits or
// empty; missing control digits are worked out into control. Empty otherwise.
QString accountIban(const QString& entity, const QString& office, QString& control,
                    const QString& account);

// The IBAN follows the four account boxes: when entity (4 digits), office (4)
// and account number (10) are filled, and the control digits are 2 digits or
// empty, the IBAN is worked out (missing control digits too, written into
// their box when fillControlDigits); otherwise the IBAN is emptied.
void followAccount(InvoiceRecord& record, bool fillControlDigits = true);

} // namespace BankAccount
