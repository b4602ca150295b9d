#include "book/BookList.h"

#include "book/BookDatabase.h"
#include "book/BookEntryRead.h"
#include "book/BookText.h"
#include "book/SqlStatement.h"

namespace {

const char* orderOf(BookColumn column) {
    switch (column) {
    case BookColumn::SeriesNumber:
        return "i.number_order";
    case BookColumn::IssueDate:
        return "i.issue_date";
    case BookColumn::CustomerName:
        return "i.customer_name";
    case BookColumn::CustomerTaxId:
        return "i.customer_tax_id";
    case BookColumn::Base:
        return "i.base_cents";
    case BookColumn::Vat:
        return "i.vat_cents";
    case BookColumn::Withholding:
        return "i.withholding_cents";
    case BookColumn::Total:
        return "i.total_cents";
    case BookColumn::State:
        return BookEntryRead::State;
    case BookColumn::Record:
        return BookEntryRead::Record;
    }
    return "i.issue_date";
}

} // namespace

BookList::BookList(const BookDatabase& db, const BookFilter& filter, BookColumn column,
                   bool descending)
    : m_db(db), m_filter(filter) {
    // The parameters are bound in this order by bindFilter.
    QByteArrayList conditions;
    if (!filter.replaced)
        conditions << "i.is_current = 1";
    if (!filter.text.trimmed().isEmpty())
        conditions << "instr(i.search_text, ?) > 0";
    // The searched text is the number, then the name and the tax id, each
    // on a line of its own: the customer's part starts after the first.
    if (!filter.customer.trimmed().isEmpty())
        conditions << "instr(substr(i.search_text, instr(i.search_text, char(10)) + 1), ?) > 0";
    // Walking an index in order would look up every row the text rules out:
    // reading the table once and sorting what matches is faster.
    m_scan = !filter.text.trimmed().isEmpty() || !filter.customer.trimmed().isEmpty();
    if (filter.from.isValid())
        conditions << "i.issue_date >= ?";
    if (filter.to.isValid())
        conditions << "i.issue_date <= ?";
    if (filter.seriesSet)
        conditions << "i.series = ?";
    m_where = conditions.isEmpty() ? QByteArray() : "WHERE " + conditions.join(" AND ");
    const char* direction = descending ? " DESC" : "";
    // The id keeps rows of equal keys in one order from page to page.
    m_order = QByteArray("ORDER BY ") + orderOf(column) + direction + ", i.id" + direction;
}

void BookList::bindFilter(SqlStatement& statement) const {
    int index = 0;
    if (!m_filter.text.trimmed().isEmpty())
        statement.bind(++index, BookText::folded(m_filter.text.trimmed()));
    if (!m_filter.customer.trimmed().isEmpty())
        statement.bind(++index, BookText::folded(m_filter.customer.trimmed()));
    if (m_filter.from.isValid())
        statement.bind(++index, m_filter.from.toString(Qt::ISODate));
    if (m_filter.to.isValid())
        statement.bind(++index, m_filter.to.toString(Qt::ISODate));
    if (m_filter.seriesSet)
        statement.bind(++index, m_filter.series);
}

QStringList BookList::series(const BookDatabase& db) {
    SqlStatement select(db, "SELECT DISTINCT series FROM invoices WHERE is_current = 1 "
                            "ORDER BY series");
    QStringList list;
    while (select.next())
        list << select.text(0);
    return list;
}

BookTotals BookList::totals() const {
    // One pass over the table: through an index every row would be a lookup.
    SqlStatement select(m_db,
                        "SELECT count(*), coalesce(sum(i.base_cents), 0), "
                        "coalesce(sum(i.vat_cents), 0), coalesce(sum(i.withholding_cents), 0), "
                        "coalesce(sum(i.total_cents), 0) FROM invoices i NOT INDEXED " +
                            m_where);
    bindFilter(select);
    select.next();
    return {select.integer(0), select.integer(1), select.integer(2), select.integer(3),
            select.integer(4)};
}

QList<BookEntry> BookList::rows(qint64 offset, int limit) const {
    // The page is chosen by id alone, so the whole entry (its state above
    // all) is worked out for the rows shown only.
    SqlStatement select(m_db, QByteArray("SELECT ") + BookEntryRead::Columns +
                                  " FROM (SELECT i.id FROM invoices i " +
                                  (m_scan ? "NOT INDEXED " : "") + m_where + ' ' + m_order +
                                  " LIMIT ? OFFSET ?) page JOIN invoices i ON i.id = page.id " +
                                  m_order);
    bindFilter(select);
    const int parameters = int(m_where.count('?'));
    select.bind(parameters + 1, qint64(limit)).bind(parameters + 2, offset);
    QList<BookEntry> list;
    list.reserve(limit);
    while (select.next())
        list.append(BookEntryRead::read(select));
    return list;
}
