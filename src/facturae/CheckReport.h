#pragma once

#include "facturae/CheckFinding.h"
#include "facturae/XmlDocument.h"

#include <libxml/tree.h>

#include <vector>

// Collects the findings of one document check; each names the element it is
// about. The elements' paths are worked out when the findings are taken, not
// as they are added, so that checks may run side by side, each with a report
// of its own, over the same document.
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
    // A finding whose path is already known.
    void add(CheckFinding finding);
    // Another report's findings, after this one's.
    void append(CheckReport&& other);

    CheckFindings take();

private:
    CheckFindings m_findings;
    std::vector<const xmlNode*> m_nodes; // what each finding is about; null when its path is known
};
