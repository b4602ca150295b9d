#pragma once

#include <QDate>
#include <QString>

// What makes an invoice a corrective one (factura rectificativa): the
// invoice it corrects, why, how, the tax period whose figures it changes and
// the kind of corrective record it takes. Codes are kept as written in the
// document (ReasonCode "01"…"85", CorrectionMethod "01"…"04") and the record
// (R1…R4), so a stored invoice reads back exactly.
struct Correction {
    // The corrected invoice, as the book keeps it.
    QString series, number;
    QDate issueDate;

    QString reasonCode;
    QString method = QStringLiteral("01");
    QDate periodStart, periodEnd;
    QString kind = QStringLiteral("R4");

    // Series, "-" and number of the corrected invoice, or the number alone.
    QString correctedSeriesNumber() const;
    // Method 01 states the whole invoice again (substitution); the others
    // state the differences only.
    bool bySubstitution() const { return method == QStringLiteral("01"); }

    // The tax period a corrective names unless told otherwise: the month in
    // which the corrected invoice was issued.
    static QDate monthStart(const QDate& date);
    static QDate monthEnd(const QDate& date);
    void periodFromIssueMonth();

    // Why this description cannot be written (an unknown code, no corrected
    // number or date, a number or series longer than the document allows, a
    // period ending before it starts), as a whole Spanish sentence; empty
    // when it can.
    QString problem() const;

    // The kinds of record a corrective takes, with what each is for.
    static QString kindDescription(const QString& kind);
    static const QStringList& kinds();

    bool operator==(const Correction&) const = default;
};
