#include "records/RecordXmlWriter.h"

#include <utility>

QByteArray RecordNamespaces::declarations() {
    return QByteArray(" xmlns:sum=\"") + Lr + "\" xmlns:sum1=\"" + Info + '"';
}

void RecordXmlWriter::newLine() {
    if (!m_out.isEmpty())
        m_out += '\n';
    m_out.append(qsizetype(2 * m_open.size()), ' ');
}

void RecordXmlWriter::start(const char* name, const QByteArray& attributes) {
    newLine();
    m_out += '<';
    m_out += name;
    m_out += attributes;
    m_out += '>';
    m_open.push_back(name);
}

void RecordXmlWriter::text(const char* name, const QString& value) {
    newLine();
    m_out += '<';
    m_out += name;
    m_out += '>';
    const QByteArray utf8 = value.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&':
            m_out += "&amp;";
            break;
        case '<':
            m_out += "&lt;";
            break;
        case '>':
            m_out += "&gt;";
            break;
        case '\r':
            m_out += "&#13;";
            break;
        default:
            m_out += c;
        }
    }
    m_out += "</";
    m_out += name;
    m_out += '>';
}

void RecordXmlWriter::raw(const QByteArray& xml) {
    newLine();
    m_out += xml;
}

void RecordXmlWriter::end() {
    const char* name = m_open.back();
    m_open.pop_back();
    newLine();
    m_out += "</";
    m_out += name;
    m_out += '>';
}

QByteArray RecordXmlWriter::take() {
    return std::exchange(m_out, {});
}
