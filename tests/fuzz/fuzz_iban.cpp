// The IBAN and the control digits on arbitrary account texts.
#include "FuzzCheck.h"
#include "common/AppError.h"
#include "invoice/BankAccount.h"
#include "storage/TextDecoding.h"

#include <cstdint>
#include <cstdlib>

namespace {

using FuzzCheck::check;

bool isUpperLetter(QChar c) {
    return c >= u'A' && c <= u'Z';
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The ISO 7064 check: the IBAN moved round, letters as numbers, mod 97 is 1.
int mod97(const QString& iban) {
    const QString moved = iban.mid(4) + iban.left(4);
    int remainder = 0;
    for (const QChar c : moved) {
        const int value = isDigit(c) ? c.unicode() - u'0' : c.unicode() - 55;
        remainder = (value >= 10 ? remainder * 100 : remainder * 10) + value;
        remainder %= 97;
    }
    return remainder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        TextDecoding::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    // "country|account" or the account alone.
    const qsizetype bar = text.indexOf(u'|');
    const QString country = bar < 0 ? QString() : text.left(bar);
    const QString account = bar < 0 ? text : text.mid(bar + 1);

    const QString iban = BankAccount::ComputeIban(country, account);
    if (!iban.isEmpty() && country.isEmpty()) {
        check(iban.size() >= 4 && isUpperLetter(iban[0]) && isUpperLetter(iban[1]));
        for (const QChar c : iban)
            check(isUpperLetter(c) || isDigit(c));
        check(mod97(iban) == 1);
        if (iban.size() <= 34)
            check(BankAccount::ComputeIban(QString(), iban) == iban);
    }

    const qsizetype half = account.size() / 2;
    try {
        const int digits = BankAccount::BankControlDigits(account.left(half), account.mid(half));
        check(digits >= 0 && digits <= 99);
    } catch (const AppError& error) {
        check(error.message().startsWith(u"La cuenta bancaria "));
    }
    return 0;
}
