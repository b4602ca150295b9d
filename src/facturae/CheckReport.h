#pragma once

#include "facturae/CheckFinding.h"
#include "facturae/XmlNodes.h"

#include <libxml/tree.h>

// Collects the findings of one document check; each names the element it is about.
class CheckReport {
public:
    void add(const char* code, CheckFinding::Severity severity, const xmlNode* node,
             const QString& message);
    void error(const char* code, const xmlNode* node, const QString& message) {
        add(code, CheckFinding::Severity::Error, node, message);
    }
    void warning(const char* code, const xmlNode* node, const QString& message) {
        add(code, CheckFinding::Severity::Warning, node, message);
    }
    void add(CheckFinding finding) { m_findings.append(std::move(finding)); }

    const CheckFindings& findings() const { return m_findings; }
    CheckFindings take() { return std::move(m_findings); }

private:
    CheckFindings m_findings;
    XmlNodes::PositionCache m_positions;
};
