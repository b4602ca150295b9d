#pragma once

// What every fuzz target uses to state what must hold: a broken rule stops
// the run as a crash, which the fuzzer keeps with its input.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdlib>

namespace FuzzCheck {

inline void check(bool condition) {
    if (!condition)
        std::abort();
}

// The bytes of a file; none when it is not there.
inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace FuzzCheck
