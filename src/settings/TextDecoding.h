#pragma once

#include <QByteArray>
#include <QString>

// Turns the bytes of a file the program reads into text: UTF-8 with or without
// a byte-order mark, UTF-16 with a byte-order mark (or plainly UTF-16 without
// one), otherwise Windows-1252.
namespace TextDecoding {
QString decode(const QByteArray& bytes);
}
