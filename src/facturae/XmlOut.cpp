#include "facturae/XmlOut.h"

#include <QIODevice>

namespace {
constexpr qsizetype BlockSize = 256 * 1024;
}

XmlOut::XmlOut(QIODevice& device) : m_device(device) {
    m_buffer.reserve(BlockSize + 4096);
}

void XmlOut::startDocument() {
    m_buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
}

void XmlOut::indent() {
    m_buffer += '\n';
    m_buffer.append(qsizetype(2 * m_open.size()), ' ');
}

void XmlOut::startElement(const char* name,
                          std::initializer_list<std::pair<const char*, const char*>> attributes) {
    if (!m_openHasChildren)
        m_buffer += '>';
    m_openHasChildren = true;
    indent();
    m_buffer += '<';
    m_buffer += name;
    for (const auto& [attribute, value] : attributes) {
        m_buffer += ' ';
        m_buffer += attribute;
        m_buffer += "=\"";
        m_buffer += value;
        m_buffer += '"';
    }
    m_open.push_back(name);
    m_openHasChildren = false;
}

void XmlOut::endElement() {
    const char* name = m_open.back();
    m_open.pop_back();
    if (!m_openHasChildren) {
        m_buffer += "/>";
    } else {
        indent();
        m_buffer += "</";
        m_buffer += name;
        m_buffer += '>';
    }
    m_openHasChildren = true;
    flushIfFull();
}

void XmlOut::textElement(const char* name, const QString& text) {
    if (!m_openHasChildren)
        m_buffer += '>';
    m_openHasChildren = true;
    indent();
    m_buffer += '<';
    m_buffer += name;
    m_buffer += '>';
    appendEscaped(text);
    m_buffer += "</";
    m_buffer += name;
    m_buffer += '>';
}

void XmlOut::appendEscaped(const QString& text) {
    bool plain = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '&' || u == '<' || u == '>' || u == '\r') {
            plain = false;
            break;
        }
    }
    if (plain) {
        m_buffer += text.toUtf8();
        return;
    }
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            escaped += QLatin1String("&amp;");
            break;
        case '<':
            escaped += QLatin1String("&lt;");
            break;
        case '>':
            escaped += QLatin1String("&gt;");
            break;
        case '\r':
            escaped += QLatin1String("&#13;");
            break;
        default:
            escaped += c;
        }
    }
    m_buffer += escaped.toUtf8();
}

void XmlOut::endDocument() {
    while (!m_open.empty())
        endElement();
    m_buffer += '\n';
    flush();
}

void XmlOut::flushIfFull() {
    if (m_buffer.size() >= BlockSize)
        flush();
}

void XmlOut::flush() {
    if (!m_failed && !m_buffer.isEmpty() && m_device.write(m_buffer) != m_buffer.size())
        m_failed = true;
    m_buffer.resize(0); // keeps the block's capacity
}
