#include "facturae/CheckReport.h"

#include "facturae/XmlNodes.h"

void CheckReport::add(const char* code, CheckFinding::Severity severity, const xmlNode* node,
                      const QString& message) {
    CheckFinding finding;
    finding.code = QString::fromLatin1(code);
    finding.severity = severity;
    finding.path = node ? XmlNodes::path(node, m_positions) : QStringLiteral("/");
    finding.line = node ? int(xmlGetLineNo(node)) : 0;
    finding.message = message;
    m_findings.append(std::move(finding));
}
