// The readers of numbers, whole numbers and dates on arbitrary text.
#include "common/ValueForms.h"
#include "settings/TextDecoding.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        TextDecoding::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    const auto number = ValueForms::parseNumber(text);
    const auto display = ValueForms::parseDisplayNumber(text);
    if (number) {
        check(std::isfinite(*number));
        check(std::fabs(*number) <= std::numeric_limits<double>::max());
        // Every plain number is also a valid screen number with the same value.
        check(display && *display == *number);
    }
    if (display)
        check(std::isfinite(*display));

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
