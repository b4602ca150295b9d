// The readers of numbers, whole numbers and dates on arbitrary text.
#include "FuzzCheck.h"
#include "common/ValueForms.h"
#include "storage/TextDecoding.h"

#include <cstdint>
#include <cstdlib>

using FuzzCheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        TextDecoding::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    const auto number = ValueForms::parseNumber(text);
    const auto display = ValueForms::parseDisplayNumber(text);
    if (number) {
        // Every number of the files' form is also a typed number with the
        // same value; a point in it only ever groups thousands, so a comma
        // follows it.
        check(display && *display == *number);
        if (text.contains(u'.'))
            check(text.indexOf(u',') > text.lastIndexOf(u'.'));
        // An exact decimal reads back from its own text.
        check(ValueForms::parseNumber(number->editText()) == number);
        check(number->decimals() <= Decimal::Scale);
    }
    if (display)
        check(ValueForms::parseDisplayNumber(display->editText()) == display);

    if (const auto whole = ValueForms::parseInteger(text)) {
        // A decimal whole number reads back from its own text.
        if (!text.contains(u'x') && !text.contains(u'X'))
            check(ValueForms::parseInteger(QString::number(*whole)) == whole);
    }

    if (const auto date = ValueForms::parseDate(text)) {
        check(date->isValid());
        check(ValueForms::parseDate(ValueForms::dateText(*date)) == date);
    }
    return 0;
}
