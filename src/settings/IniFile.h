#pragma once

#include <QHash>
#include <QString>
#include <QVector>

// A profile file in the classic INI form. Section and key names match without
// regard to letter case; a value is the text after the first "=", trimmed,
// with one pair of surrounding quotes removed, read back at most 2047
// characters long. Where a section or key occurs twice, the first occurrence
// wins. Writes change the text in memory; save() replaces the file atomically.
class IniFile {
public:
    // Largest file read; anything bigger is refused with a clear message.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
    static constexpr int MaxValueLength = 2047;

    // Reads path when it exists; a missing file reads as a file without
    // sections. Throws AppError for a file too big or one that exists but
    // cannot be read, when strict is set; otherwise such a file reads as empty.
    explicit IniFile(const QString& path, bool strict = false);

    const QString& path() const { return m_path; }
    bool existed() const { return m_existed; }

    bool hasSection(const QString& section) const;
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) const;
    // Whole number or 0x hexadecimal; anything else gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;

    // Replaces the key's value where it stands, or adds it at the end of its
    // section, creating the section when missing. Line breaks in a value
    // become blanks so the file keeps its shape.
    void writeString(const QString& section, const QString& key, const QString& value);
    // Writes the whole file atomically; throws AppError "Unable to write to %s".
    void save();

    // The text as it would be saved.
    const QString& text() const { return m_text; }
    // Replaces the content (for tests and in-memory use).
    void setText(const QString& text);

private:
    struct Span {
        int start = 0;
        int length = 0;
    };
    struct Entry {
        Span line;  // whole line, without its line break
        Span value; // trimmed value, quotes included
    };
    struct Section {
        int headerLineStart = 0;
        int endOfContent = 0; // just after the last non-blank line of the section
        QHash<QString, Entry> keys; // lower-cased key -> first occurrence
    };

    void parse();
    const Section* findSection(const QString& section) const;
    QString lineBreak() const;

    QString m_path;
    QString m_text;
    bool m_existed = false;
    QVector<Section> m_sections;
    QHash<QString, int> m_sectionIndex; // lower-cased name -> first occurrence
};
