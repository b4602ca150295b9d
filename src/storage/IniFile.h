#pragma once

#include "storage/IniKeyTable.h"

#include <QString>
#include <QStringView>
#include <vector>

// A profile file in the classic INI form. Section and key names match without
// regard to letter case; a value is the text after the first "=", trimmed,
// with one pair of surrounding quotes removed, read back at most 2047
// characters long. Where a section or key occurs twice, the first occurrence
// wins. Writes change the text in memory; save() replaces the file atomically.
class IniFile {
public:
    // Largest file read; anything bigger is refused with a clear message. A
    // 100,000-line import is about 11 MB; the limit also bounds the memory a
    // hostile file can make the key table take (offsets are ints).
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    static constexpr int MaxValueLength = 2047;

    // Reads path when it exists; a missing file reads as a file without
    // sections. With strict set, a file that is too big, is a folder or
    // another non-plain file (pipe, device), or cannot be read throws
    // AppError; otherwise such a file reads as empty, and a plain file that
    // could not be read whole (too big, unreadable) has readProblem() say why
    // and save() refuse to replace it.
    explicit IniFile(const QString& path, bool strict = false);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;
    IniFile(IniFile&&) = default;
    IniFile& operator=(IniFile&&) = default;

    const QString& path() const { return m_path; }
    bool existed() const { return m_existed; }
    // Why the plain file that exists could not be read whole; empty when it
    // was (or does not exist, or is no plain file).
    const QString& readProblem() const { return m_readProblem; }

    bool hasSection(const QString& section) const;
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) const;
    // Whole number or 0x hexadecimal; anything else gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;

    // Replaces the key's value where it stands, or adds it at the end of its
    // section, creating the section when missing. Line breaks in a value
    // become blanks so the file keeps its shape.
    void writeString(const QString& section, const QString& key, const QString& value);
    // Writes the whole file atomically as UTF-8; throws AppError
    // "No se puede guardar <ruta>: <motivo>" and leaves the old file whole on
    // failure. A file that could not be read whole is never replaced (what
    // was not read would be lost), unless setText() gave all of its content.
    void save();

    // The text as it would be saved.
    const QString& text() const { return m_text; }
    // Replaces the content (in-memory use and tests).
    void setText(const QString& text);

private:
    using Entry = IniKeyTable::Entry;
    struct Section {
        qsizetype endOfContent = 0; // end of its last non-blank line
    };
    void parse();
    const Entry* find(const QString& section, const QString& key) const;
    // The section's number, or -1.
    int sectionNumber(const QString& section) const;
    QString lineBreak() const;

    QString m_path;
    QString m_text;
    bool m_existed = false;
    QString m_readProblem;
    std::vector<Section> m_sections;
    // Section names, each with its number in lineStart (the first one wins).
    IniKeyTable m_sectionNames;
    // Every key of every section in one table.
    IniKeyTable m_keys;
};
