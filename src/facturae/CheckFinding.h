#pragma once

#include <QList>
#include <QString>

// One thing the document check has to say about a Facturae document.
struct CheckFinding {
    enum class Severity { Error, Warning, Info };

    QString code; // stable code, e.g. "F-T3"
    Severity severity = Severity::Error;
    QString path;    // element path, e.g. /Facturae/Invoices/Invoice[1]/InvoiceTotals/InvoiceTotal
    int line = 0;    // line in the document, 0 when unknown
    QString message; // Spanish, for the person who issues the invoice

    bool isError() const { return severity == Severity::Error; }
    // "ERROR", "WARNING", "INFO" in the text output; "error", "warning", "info" in JSON.
    QString severityLabel() const;
    QString severityKey() const;
};

using CheckFindings = QList<CheckFinding>;

bool hasErrors(const CheckFindings& findings);
