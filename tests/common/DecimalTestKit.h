#pragma once

#include "common/Decimal.h"

#include <QByteArray>
#include <QtTest/qtestcase.h>

// Test literals: D("0.1") or D(0.1) for the exact decimal the literal reads
// as (15 significant digits), and readable values in failure messages.
inline Decimal D(const char* text) {
    return Decimal::fromText(text);
}
inline Decimal D(double value) {
    return Decimal::fromText(QByteArray::number(value, 'g', 15).constData());
}

inline char* toString(const Decimal& value) {
    return qstrdup(value.plainText(0, Decimal::Scale).toLatin1().constData());
}
