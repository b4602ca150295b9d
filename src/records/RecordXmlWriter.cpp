#include "records/RecordXmlWriter.h"

QByteArray RecordNamespaces::declarations() {
    return QByteArray(" xmlns:sum=\"") + Lr + "\" xmlns:sum1=\"" + Info + '"';
}

QByteArray RecordNamespaces::eventDeclarations() {
    return QByteArray(" xmlns:sf=\"") + Events + '"';
}

void RecordXmlWriter::newLine() {
    if (m_out.empty())
        m_out.reserve(4096);
    else
        m_out += '\n';
    m_out.append(2 * m_open.size(), ' ');
}

void RecordXmlWriter::start(const char* name, const QByteArray& attributes) {
    newLine();
    m_out += '<';
    m_out += name;
    m_out.append(attributes.constData(), std::size_t(attributes.size()));
    m_out += '>';
    m_open.push_back(name);
}

void RecordXmlWriter::text(const char* name, const QString& value) {
    newLine();
    m_out += '<';
    m_out += name;
    m_out += '>';
    const QByteArray utf8 = value.toUtf8();
    const char* run = utf8.constData();
    const char* const end = run + utf8.size();
    for (const char* p = run; p < end; ++p) {
        const char* escaped = *p == '&'    ? "&amp;"
                              : *p == '<'  ? "&lt;"
                              : *p == '>'  ? "&gt;"
                              : *p == '\r' ? "&#13;"
                                           : nullptr;
        if (!escaped)
            continue;
        m_out.append(run, std::size_t(p - run));
        m_out += escaped;
        run = p + 1;
    }
    m_out.append(run, std::size_t(end - run));
    m_out += "</";
    m_out += name;
    m_out += '>';
}

void RecordXmlWriter::raw(const QByteArray& xml) {
    newLine();
    m_out.append(xml.constData(), std::size_t(xml.size()));
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
    QByteArray out(m_out.data(), qsizetype(m_out.size()));
    m_out.clear();
    return out;
}
