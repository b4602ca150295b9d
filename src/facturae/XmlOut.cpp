#include "facturae/XmlOut.h"

#include <QIODevice>

namespace {
constexpr std::size_t BlockSize = 256 * 1024;
}

XmlOut::XmlOut(QIODevice& device) : m_device(device) {
    m_buffer.reserve(BlockSize + 4096);
}

void XmlOut::startDocument() {
    m_buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
}

void XmlOut::indent() {
    m_buffer += '\n';
    m_buffer.append(2 * m_open.size(), ' ');
}

void XmlOut::beginTag(const char* name) {
    if (!m_openHasChildren)
        m_buffer += '>';
    m_openHasChildren = true;
    indent();
    m_buffer += '<';
    m_buffer += name;
}

void XmlOut::startElement(const char* name,
                          std::initializer_list<std::pair<const char*, const char*>> attributes) {
    beginTag(name);
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

void XmlOut::openText(const char* name) {
    beginTag(name);
    m_buffer += '>';
}

void XmlOut::closeText(const char* name) {
    m_buffer += "</";
    m_buffer += name;
    m_buffer += '>';
}

void XmlOut::textElement(const char* name, const QString& text) {
    openText(name);
    appendEscaped(text);
    closeText(name);
}

void XmlOut::plainElement(const char* name, const char* text, int length) {
    openText(name);
    m_buffer.append(text, std::size_t(length));
    closeText(name);
}

void XmlOut::appendEscaped(const QString& text) {
    const qsizetype n = text.size();
    const QChar* d = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t u = d[i].unicode();
        if (u < 0x80) {
            switch (u) {
            case '&':
                m_buffer += "&amp;";
                break;
            case '<':
                m_buffer += "&lt;";
                break;
            case '>':
                m_buffer += "&gt;";
                break;
            case '\r':
                m_buffer += "&#13;";
                break;
            default:
                m_buffer += char(u);
            }
            continue;
        }
        char32_t code = u;
        if (d[i].isHighSurrogate() && i + 1 < n && d[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(d[i], d[i + 1]);
            ++i;
        } else if (d[i].isSurrogate())
            continue; // a lone half of a pair cannot be written
        if (code < 0x800) {
            m_buffer += char(0xC0 | (code >> 6));
        } else if (code < 0x10000) {
            m_buffer += char(0xE0 | (code >> 12));
            m_buffer += char(0x80 | ((code >> 6) & 0x3F));
        } else {
            m_buffer += char(0xF0 | (code >> 18));
            m_buffer += char(0x80 | ((code >> 12) & 0x3F));
            m_buffer += char(0x80 | ((code >> 6) & 0x3F));
        }
        m_buffer += char(0x80 | (code & 0x3F));
    }
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
    const auto size = qint64(m_buffer.size());
    if (!m_failed && size > 0 && m_device.write(m_buffer.data(), size) != size)
        m_failed = true;
    m_buffer.clear(); // keeps the block's capacity
}
