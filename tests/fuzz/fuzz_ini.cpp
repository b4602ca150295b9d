// The INI reader on arbitrary bytes: decoding, parsing, reading and writing
// back must never crash, and a value written must read back as written.
#include "FuzzCheck.h"
#include "storage/IniFile.h"
#include "storage/TextDecoding.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

using FuzzCheck::check;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// What readString gives back for a value written with writeString.
QString expectedReadBack(QString value) {
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    qsizetype start = 0, end = value.size();
    while (start < end && isBlank(value[start]))
        ++start;
    while (end > start && isBlank(value[end - 1]))
        --end;
    if (end - start >= 2 && (value[start] == u'"' || value[start] == u'\'') &&
        value[end - 1] == value[start]) {
        ++start;
        --end;
    }
    QString cut = value.mid(start, qMin<qsizetype>(end - start, IniFile::MaxValueLength));
    // Only a cut drops a trailing half character; one that was already there stays.
    if (end - start > IniFile::MaxValueLength && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = TextDecoding::decode(bytes);

    IniFile ini(QString{});
    ini.setText(text);

    // Names taken from the input itself reach real sections and keys.
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < qMin<qsizetype>(lines.size(), 16); ++i) {
        const QString& line = lines[i];
        const qsizetype eq = line.indexOf(u'=');
        const QString key = eq < 0 ? line : line.left(eq);
        for (const QString& section :
             {QStringLiteral("DATOS_GENERALES"), QStringLiteral("LINEAS"), key}) {
            const QString value = ini.readString(section, key, QStringLiteral("?"));
            check(value.size() <= IniFile::MaxValueLength);
            check(value.isEmpty() || !value.back().isHighSurrogate());
            ini.readInteger(section, key, 7);
            ini.hasSection(section);
        }
    }

    // Writing a value taken from the input must read back as written, and
    // leave the other sections readable.
    const QString value = text.left(3000);
    ini.writeString(QStringLiteral("FUZZ"), QStringLiteral("VALOR"), value);
    check(ini.readString(QStringLiteral("fuzz"), QStringLiteral("valor")) ==
          expectedReadBack(value));
    ini.writeString(QStringLiteral("FUZZ"), QStringLiteral("OTRO"), QStringLiteral("1"));
    check(ini.readInteger(QStringLiteral("FUZZ"), QStringLiteral("OTRO"), 0) == 1);
    check(ini.readString(QStringLiteral("FUZZ"), QStringLiteral("VALOR")) ==
          expectedReadBack(value));
    return 0;
}
