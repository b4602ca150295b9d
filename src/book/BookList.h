#pragma once

#include "book/BookRows.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class BookDatabase;
class SqlStatement;

// What the list of the book shows: every filter left empty shows all.
struct BookFilter {
    QString text;   // within the number, the customer's name or tax id
    QDate from, to; // issue dates, both included
    QString series; // exactly this series, when seriesSet
    bool seriesSet = false;
    bool replaced = false; // also the versions that were replaced
    QString customer;      // within the customer's name or tax id only
};

enum class BookColumn {
    SeriesNumber, // by value: A-9 before A-10
    IssueDate,
    CustomerName,
    CustomerTaxId,
    Base,
    Vat,
    Withholding,
    Total,
    State,
    Record, // the latest billing record's kind and state
};

struct BookTotals {
    qint64 count = 0;
    qint64 baseCents = 0;
    qint64 vatCents = 0;
    qint64 withholdingCents = 0;
    qint64 totalCents = 0;
    friend bool operator==(const BookTotals&, const BookTotals&) = default;
};

// The invoices that match a filter, in a chosen order, fetched a page at a
// time as a view scrolls, and the totals of all of them.
class BookList {
public:
    BookList(const BookDatabase& db, const BookFilter& filter,
             BookColumn column = BookColumn::IssueDate, bool descending = false);

    // The series of the current invoices, in order ("" for those without).
    static QStringList series(const BookDatabase& db);

    BookTotals totals() const;
    QList<BookEntry> rows(qint64 offset, int limit) const;

    // The WHERE clause of the filter over invoices i, and its values bound
    // from parameter 1; for other queries over the same invoices.
    QByteArray where() const { return m_where; }
    void bindFilter(SqlStatement& statement) const;

private:
    const BookDatabase& m_db;
    BookFilter m_filter;
    QByteArray m_where;
    QByteArray m_order;
    bool m_scan = false;
};
