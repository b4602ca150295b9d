#include "invoice/BankAccount.h"

#include "common/AppError.h"
#include "invoice/InvoiceRecord.h"

namespace BankAccount {

namespace {

[[noreturn]] void notAnInteger(const QString& text) {
    if (text.isEmpty())
        throw AppError(QStringLiteral("La cuenta bancaria está incompleta: la entidad y la oficina "
                                      "llevan 4 dígitos cada una y el número de cuenta 10"));
    throw AppError(QStringLiteral("La cuenta bancaria lleva «%1», que no es un dígito").arg(text));
}

bool allDigits(const QString& text, qsizetype length) {
    if (text.size() != length)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// One control digit over the first `count` characters of text, read from the
// right with the weights 6, 3, 7, 9, 10, 5, 8, 4, 2, 1.
int controlDigit(const QString& text, int count) {
    static const int weights[] = {6, 3, 7, 9, 10, 5, 8, 4, 2, 1};
    int sum = 0;
    for (int k = 0; k < count; ++k) {
        const int position = count - 1 - k;
        if (position >= text.size())
            notAnInteger(QString());
        const QChar c = text.at(position);
        if (c < u'0' || c > u'9')
            notAnInteger(QString(c));
        sum += (c.unicode() - u'0') * weights[k];
    }
    int digit = 11 - sum % 11;
    if (digit == 10)
        digit = 1;
    else if (digit == 11)
        digit = 0;
    return digit;
}

bool isLetter(QChar c) {
    return c >= u'A' && c <= u'Z';
}

} // namespace

int BankControlDigits(const QString& entityAndOffice, const QString& accountNumber) {
    const int first = controlDigit(entityAndOffice, 8);
    const int second = controlDigit(accountNumber, 10);
    return first * 10 + second;
}

QString ComputeIban(const QString& country, const QString& account) {
    // Trim as the original did: every character up to the blank counts as blank.
    qsizetype start = 0, end = account.size();
    while (start < end && account.at(start) <= u' ')
        ++start;
    while (end > start && account.at(end - 1) <= u' ')
        --end;
    if (start == end || end - start > 34)
        return {};

    QString a;
    for (qsizetype i = start; i < end; ++i) {
        QChar c = account.at(i);
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
        if (isLetter(c) || (c >= u'0' && c <= u'9'))
            a += c;
    }

    QString countryCode;
    QString bban;
    if (a.size() >= 2 && isLetter(a.at(0)) && isLetter(a.at(1))) {
        if ((a.size() > 2 && isLetter(a.at(2))) || (a.size() > 3 && isLetter(a.at(3))))
            return {};
        countryCode = a.left(2);
        bban = a.mid(4);
    } else {
        countryCode = country.trimmed().isEmpty() ? QStringLiteral("ES") : country;
        bban = a;
    }

    const int digits = 98 - ibanRemainder(bban + countryCode + QStringLiteral("00"));
    return countryCode + QStringLiteral("%1").arg(digits, 2, 10, QLatin1Char('0')) + bban;
}

int ibanRemainder(const QString& text) {
    int remainder = 0;
    for (const QChar c : text) {
        int value;
        if (c >= u'0' && c <= u'9')
            value = c.unicode() - u'0';
        else if (isLetter(c))
            value = c.unicode() - 55;
        else
            value = c.unicode() % 100; // a country argument outside A-Z
        remainder = value >= 10 ? (remainder * 100 + value) % 97 : (remainder * 10 + value) % 97;
    }
    return remainder;
}

void workOutIban(InvoiceRecord& record) {
    if (record.text(RecordField::BankControlDigits).isEmpty()) {
        const int digits = BankControlDigits(record.text(RecordField::BankEntity) +
                                                 record.text(RecordField::BankOffice),
                                             record.text(RecordField::BankAccountNumber));
        record.setText(RecordField::BankControlDigits,
                       QStringLiteral("%1").arg(digits, 2, 10, QLatin1Char('0')));
    }
    record.setCuentaCompleta(
        record.text(RecordField::BankEntity) + record.text(RecordField::BankOffice) +
        record.text(RecordField::BankControlDigits) + record.text(RecordField::BankAccountNumber));
    record.setText(RecordField::Iban, BankAccount::ComputeIban(QString(), record.cuentaCompleta()));
}

QString accountIban(const QString& entity, const QString& office, QString& control,
                    const QString& account) {
    if (!allDigits(entity, 4) || !allDigits(office, 4) || !allDigits(account, 10) ||
        !(control.isEmpty() || allDigits(control, 2)))
        return {};
    if (control.isEmpty())
        control = QStringLiteral("%1").arg(BankControlDigits(entity + office, account), 2, 10,
                                           QLatin1Char('0'));
    return ComputeIban(QString(), entity + office + control + account);
}

void followAccount(InvoiceRecord& record, bool fillControlDigits) {
    const QString entity = record.text(RecordField::BankEntity);
    const QString office = record.text(RecordField::BankOffice);
    const QString account = record.text(RecordField::BankAccountNumber);
    QString control = record.text(RecordField::BankControlDigits);
    const QString iban = accountIban(entity, office, control, account);
    if (fillControlDigits && control != record.text(RecordField::BankControlDigits))
        record.setText(RecordField::BankControlDigits, control);
    record.setCuentaCompleta(entity + office + control + account);
    record.setText(RecordField::Iban, iban);
}

} // namespace BankAccount
