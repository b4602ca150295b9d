#include "storage/TextDecoding.h"

#include <QStringDecoder>

namespace TextDecoding {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Room for `size` characters: exactly that much when the text is new (as
// decode() makes it), half as much again when it has to grow.
void makeRoom(QString& text, qsizetype size) {
    if (text.capacity() < size)
        text.reserve(qMax(size, text.capacity() + text.capacity() / 2));
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

// UTF-16 written without a byte-order mark: most of the high or low bytes of
// the first characters are zero, which text in any 8-bit encoding never has.
bool looksLikeUtf16(QByteArrayView bytes, bool& littleEndian) {
    const qsizetype pairs = qMin<qsizetype>(bytes.size() / 2, SniffBytes / 2);
    if (pairs < 2)
        return false;
    int zeroHigh = 0, zeroLow = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        if (bytes[2 * i] == 0)
            ++zeroLow;
        if (bytes[2 * i + 1] == 0)
            ++zeroHigh;
    }
    if (zeroHigh * 10 >= pairs * 8 && zeroLow * 10 < pairs * 2) {
        littleEndian = true;
        return true;
    }
    if (zeroLow * 10 >= pairs * 8 && zeroHigh * 10 < pairs * 2) {
        littleEndian = false;
        return true;
    }
    return false;
}

} // namespace

QString decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3));
    if (bytes.startsWith("\xFF\xFE"))
        return decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    bool littleEndian = true;
    if (looksLikeUtf16(bytes, littleEndian))
        return decodeWith(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                          bytes);

    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text = QString(); // not kept alive beside the second decoding
    appendCp1252(text, bytes);
    return text;
}

bool isEightBit(QByteArrayView head) {
    bool littleEndian = true;
    return !head.startsWith("\xEF\xBB\xBF") && !head.startsWith("\xFF\xFE") &&
           !head.startsWith("\xFE\xFF") && !looksLikeUtf16(head, littleEndian);
}

bool appendUtf8Lines(QString& text, QByteArrayView lines) {
    // A run after the first may begin with the bytes of U+FEFF: only at the
    // start of the file are they a byte-order mark, so here they stay text.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    const qsizetype start = text.size();
    const qsizetype room = start + utf8.requiredSpace(lines.size());
    makeRoom(text, room);
    text.resize(room);
    QChar* const begin = text.data();
    const QChar* const end = utf8.appendToBuffer(begin + start, lines);
    text.resize(utf8.hasError() ? start : end - begin);
    return !utf8.hasError();
}

void appendCp1252(QString& text, QByteArrayView bytes) {
    const qsizetype start = text.size();
    makeRoom(text, start + bytes.size());
    text.resize(start + bytes.size());
    QChar* out = text.data() + start;
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = QChar(b >= 0x80 && b <= 0x9F ? Cp1252High[b - 0x80] : char16_t(b));
    }
}

} // namespace TextDecoding
