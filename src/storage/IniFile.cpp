#include "storage/IniFile.h"

#include "common/AppError.h"
#include "common/SafeSave.h"
#include "common/ValueForms.h"
#include "storage/TextDecoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString cannotRead(const QString& path) {
    return QStringLiteral("No se puede leer el fichero %1").arg(path);
}

QString tooBig(const QString& path) {
    return QStringLiteral("El fichero %1 es demasiado grande (el máximo es de %2 MB)")
        .arg(path)
        .arg(IniFile::MaxFileSize / (1024 * 1024));
}

} // namespace

IniFile::IniFile(const QString& path, bool strict) : m_path(path) {
    const QFileInfo info(path);
    if (!info.exists())
        return;
    m_existed = true;
    auto refuse = [&](const QString& message) {
        if (strict)
            throw AppError(message);
        // A folder, pipe or device is never replaced by a save anyway.
        if (info.isFile())
            m_readProblem = message;
    };
    if (info.isDir()) {
        refuse(QStringLiteral("%1 es una carpeta, no un fichero").arg(path));
        return;
    }
    // A pipe would block the open and a device might never end: only plain
    // files are read.
    if (!info.isFile()) {
        refuse(QStringLiteral("%1 no es un fichero normal").arg(path));
        return;
    }
    if (info.size() > MaxFileSize) {
        refuse(tooBig(path));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        refuse(cannotRead(path));
        return;
    }
    // Read in pieces up to one byte past the limit: memory follows the file's
    // real size, and a file that grows meanwhile cannot make us read without
    // bound. A UTF-8 or Windows-1252 file (what decoding sees in its first
    // bytes) is decoded a run of whole lines at a time, so its bytes are never
    // held whole beside its text; a UTF-16 file or one with a byte-order mark
    // is decoded once read.
    enum class Form { Undecided, Utf8, Cp1252, Whole };
    Form form = Form::Undecided;
    QByteArray bytes; // read and not yet decoded
    QString text;
    qsizetype scanned = 0; // bytes at the front of `bytes` known to hold no line break
    qint64 total = 0;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            refuse(cannotRead(path));
            return;
        }
        total += got;
        if (total > MaxFileSize) {
            refuse(tooBig(path));
            return;
        }
        bytes.append(chunk, got);
        const bool atEnd = got == 0;
        if (form == Form::Undecided && (atEnd || bytes.size() >= TextDecoding::SniffBytes)) {
            form = TextDecoding::isEightBit(bytes) ? Form::Utf8 : Form::Whole;
            if (form == Form::Whole)
                bytes.reserve(info.size() + 1);
            else
                text.reserve(info.size() + 1); // as many characters as bytes at most
        }
        if (form == Form::Cp1252) {
            TextDecoding::appendCp1252(text, bytes);
            bytes.clear();
        } else if (form == Form::Utf8) {
            // Up to the last line break, looked for only in what was not
            // looked at before, so a file without breaks still reads in linear time.
            const qsizetype lastBreak = QByteArrayView(bytes).sliced(scanned).lastIndexOf('\n');
            const qsizetype cut =
                atEnd ? bytes.size() : (lastBreak < 0 ? 0 : scanned + lastBreak + 1);
            scanned = bytes.size() - cut;
            if (cut > 0) {
                if (!TextDecoding::appendUtf8Lines(text, QByteArrayView(bytes).first(cut))) {
                    // Not UTF-8 after all: the whole file again, as Windows-1252.
                    if (!file.seek(0)) {
                        refuse(cannotRead(path));
                        return;
                    }
                    form = Form::Cp1252;
                    text.resize(0);
                    bytes.clear();
                    scanned = 0;
                    total = 0;
                    continue;
                }
                bytes.remove(0, cut);
            }
        }
        if (atEnd)
            break;
    }
    file.close();
    if (form == Form::Whole) {
        m_text = TextDecoding::decode(bytes);
        bytes = QByteArray();
    } else {
        m_text = std::move(text);
    }
    parse();
}

void IniFile::setText(const QString& text) {
    m_text = text;
    m_readProblem.clear();
    parse();
}

void IniFile::parse() {
    m_sections.clear();
    m_sectionNames.clear();
    m_keys.clear();
    const QChar* d = m_text.constData();
    const qsizetype n = m_text.size();
    // Room for one key per line, but not for millions of empty lines.
    m_keys.reserve(std::size_t(qMin<qsizetype>(m_text.count(u'\n'), 1 << 20)) + 1);
    Section* current = nullptr;
    std::size_t currentIndex = 0;
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype lineStart = pos;
        qsizetype lineEnd = lineStart;
        while (lineEnd < n && d[lineEnd] != u'\n' && d[lineEnd] != u'\r')
            ++lineEnd;
        pos = lineEnd;
        if (pos < n && d[pos] == u'\r')
            ++pos;
        if (pos < n && d[pos] == u'\n')
            ++pos;

        qsizetype s = lineStart, e = lineEnd;
        while (s < e && isBlank(d[s]))
            ++s;
        while (e > s && isBlank(d[e - 1]))
            --e;
        if (s == e)
            continue;

        if (d[s] == u'[') {
            qsizetype close = s + 1;
            while (close < e && d[close] != u']')
                ++close;
            qsizetype ns = s + 1, ne = close;
            while (ns < ne && isBlank(d[ns]))
                ++ns;
            while (ne > ns && isBlank(d[ne - 1]))
                --ne;
            if (m_sectionNames.insert(d, 0, int(ns), int(ne - ns),
                                      Entry{int(m_sections.size()), 0, 0})) {
                currentIndex = m_sections.size();
                m_sections.emplace_back();
                current = &m_sections.back();
                current->endOfContent = lineEnd;
            } else {
                current = nullptr; // a repeated section: the first one wins
            }
            continue;
        }
        if (!current)
            continue;
        current->endOfContent = lineEnd;
        qsizetype eq = s;
        while (eq < e && d[eq] != u'=')
            ++eq;
        if (eq == e)
            continue;
        qsizetype ke = eq;
        while (ke > s && isBlank(d[ke - 1]))
            --ke;
        qsizetype vs = eq + 1;
        while (vs < e && isBlank(d[vs]))
            ++vs;
        m_keys.insert(d, std::uint32_t(currentIndex), int(s), int(ke - s),
                      Entry{int(lineStart), int(vs), int(e)});
    }
}

int IniFile::sectionNumber(const QString& section) const {
    const Entry* entry = m_sectionNames.find(0, QStringView(section).trimmed());
    return entry ? entry->lineStart : -1;
}

const IniFile::Entry* IniFile::find(const QString& section, const QString& key) const {
    const int number = sectionNumber(section);
    if (number < 0)
        return nullptr;
    return m_keys.find(std::uint32_t(number), QStringView(key).trimmed());
}

bool IniFile::hasSection(const QString& section) const {
    return sectionNumber(section) >= 0;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const Entry* entry = find(section, key);
    if (!entry)
        return defaultValue;
    qsizetype start = entry->valueStart, end = entry->valueEnd;
    if (end - start >= 2) {
        const QChar first = m_text.at(start);
        if ((first == u'"' || first == u'\'') && m_text.at(end - 1) == first) {
            ++start;
            --end;
        }
    }
    QString value = m_text.mid(start, qMin<qsizetype>(end - start, MaxValueLength));
    // The cut never leaves half of a character behind.
    if (end - start > MaxValueLength && value.back().isHighSurrogate())
        value.chop(1);
    return value;
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    return ValueForms::parseInteger(readString(section, key)).value_or(defaultValue);
}

QString IniFile::lineBreak() const {
    const qsizetype lf = m_text.indexOf(u'\n');
    if (lf > 0 && m_text.at(lf - 1) == u'\r')
        return QStringLiteral("\r\n");
    if (lf >= 0)
        return QStringLiteral("\n");
#ifdef Q_OS_WIN
    return QStringLiteral("\r\n");
#else
    return QStringLiteral("\n");
#endif
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    QString oneLine = value;
    oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString line = key + u'=' + oneLine;
    const QString br = lineBreak();

    if (const Entry* entry = find(section, key)) {
        // The line ends after the blanks that follow its value.
        qsizetype lineEnd = entry->valueEnd;
        while (lineEnd < m_text.size() && isBlank(m_text.at(lineEnd)))
            ++lineEnd;
        m_text.replace(entry->lineStart, lineEnd - entry->lineStart, line);
    } else if (const int number = sectionNumber(section); number >= 0) {
        m_text.insert(m_sections[std::size_t(number)].endOfContent, br + line);
    } else {
        if (!m_text.isEmpty() && !m_text.endsWith(u'\n') && !m_text.endsWith(u'\r'))
            m_text += br;
        m_text += u'[' + section + u']' + br + line + br;
    }
    parse();
}

void IniFile::save() {
    if (!m_readProblem.isEmpty())
        throw AppError(
            QStringLiteral("No se ha guardado nada en %1, para no perder lo que no se ha "
                           "podido leer: %2")
                .arg(QDir::toNativeSeparators(QFileInfo(m_path).absoluteFilePath()),
                     m_readProblem.left(1).toLower() + m_readProblem.mid(1)));
    QString reason;
    if (!SafeSave::write(m_path, m_text.toUtf8(), &reason))
        throw AppError(
            QStringLiteral("No se puede guardar %1: %2")
                .arg(QDir::toNativeSeparators(QFileInfo(m_path).absoluteFilePath()), reason));
}
