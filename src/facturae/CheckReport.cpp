#include "facturae/CheckReport.h"

void CheckReport::add(const char* code, CheckFinding::Severity severity, const xmlNode* node,
                      const QString& message) {
    CheckFinding finding;
    finding.code = QString::fromLatin1(code);
    finding.severity = severity;
    if (!node)
        finding.path = QStringLiteral("/");
    finding.line = node ? int(xmlGetLineNo(node)) : 0;
    finding.message = message;
    m_findings.append(std::move(finding));
    m_nodes.push_back(node);
}

void CheckReport::add(CheckFinding finding) {
    m_findings.append(std::move(finding));
    m_nodes.push_back(nullptr);
}

void CheckReport::append(CheckReport&& other) {
    m_findings.append(std::move(other.m_findings));
    m_nodes.insert(m_nodes.end(), other.m_nodes.begin(), other.m_nodes.end());
    other.m_nodes.clear();
}

CheckFindings CheckReport::take() {
    // Finding the position of the 9,000th line once per finding would walk
    // the whole list each time: positions are noted once per parent.
    XmlNodes::PositionCache positions;
    for (qsizetype i = 0; i < m_findings.size(); ++i) {
        if (m_nodes[size_t(i)])
            m_findings[i].path = XmlNodes::path(m_nodes[size_t(i)], positions);
    }
    m_nodes.clear();
    return std::move(m_findings);
}
