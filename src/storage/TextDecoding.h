#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Turns the bytes of a file the program reads into text: UTF-8 with or without
// a byte-order mark, UTF-16 with a byte-order mark (or plainly UTF-16 without
// one), otherwise Windows-1252.
namespace TextDecoding {
QString decode(const QByteArray& bytes);

// What decode() looks at to tell UTF-16 from the 8-bit encodings: the first
// SniffBytes bytes of a file, or all of it when it is shorter.
constexpr qsizetype SniffBytes = 512;
// Whether a file that starts with `head` is read as UTF-8 or, failing that,
// Windows-1252: text that can be decoded a run of whole lines at a time.
bool isEightBit(QByteArrayView head);
// Appends the UTF-8 `lines` to text and returns true; false, with text as it
// was, when they are not UTF-8. `lines` end with a line break or at the end of
// the file: no character is split between runs, so runs taken in turn read as
// the whole file would.
bool appendUtf8Lines(QString& text, QByteArrayView lines);
// Appends bytes read as Windows-1252.
void appendCp1252(QString& text, QByteArrayView bytes);
} // namespace TextDecoding
