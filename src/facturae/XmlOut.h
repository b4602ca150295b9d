#pragma once

#include <QString>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class QIODevice;

// A small streaming XML writer for the document's fixed form: UTF-8, the
// declaration with standalone="yes", two spaces of indentation per level,
// text elements on one line, childless elements as <Name/>. Output goes to
// the device in large blocks.
class XmlOut {
public:
    explicit XmlOut(QIODevice& device);

    void startDocument();
    // Only the root carries attributes; names and values are plain ASCII.
    void startElement(const char* name,
                      std::initializer_list<std::pair<const char*, const char*>> attributes = {});
    void endElement();
    void textElement(const char* name, const QString& text);
    // A text known to need no escaping (numbers, codes).
    void plainElement(const char* name, const char* text, int length);
    void endDocument();

    // False once a write to the device failed.
    bool ok() const { return !m_failed; }

private:
    void indent();
    // "<name" on a new line as the open element's next child, its start tag
    // closed first when this is its first child.
    void beginTag(const char* name);
    void openText(const char* name);
    void closeText(const char* name);
    void appendEscaped(const QString& text); // as UTF-8
    void flushIfFull();
    void flush();

    QIODevice& m_device;
    std::string m_buffer;
    std::vector<const char*> m_open;
    bool m_openHasChildren = true; // whether the innermost open element got a child yet
    bool m_failed = false;
};
