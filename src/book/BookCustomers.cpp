#include "book/BookCustomers.h"

#include "book/BookDatabase.h"
#include "book/BookText.h"
#include "book/SqlStatement.h"

void BookCustomers::remember(const CustomerRow& c) {
    BookDatabase::Transaction transaction(m_db);
    SqlStatement upsert(
        m_db, "INSERT INTO customers (tax_id, managing_body, accounting_office, processing_unit, "
              "name, details, updated_at, search_name) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
              "ON CONFLICT (tax_id, managing_body, accounting_office, processing_unit) DO UPDATE "
              "SET name = excluded.name, details = excluded.details, "
              "updated_at = excluded.updated_at, search_name = excluded.search_name");
    upsert
        .bindAll(c.taxId, c.managingBody, c.accountingOffice, c.processingUnit, c.name, c.details,
                 m_db.now().toString(Qt::ISODate), BookText::folded(c.name))
        .run();
    transaction.commit();
}

QList<CustomerRow> BookCustomers::startingWith(const QString& prefix, int limit) const {
    const QString folded = BookText::folded(prefix.trimmed());
    SqlStatement select(m_db, "SELECT tax_id, managing_body, accounting_office, processing_unit, "
                              "name, details FROM customers "
                              "WHERE instr(lower(tax_id), ?1) = 1 OR instr(search_name, ?1) = 1 "
                              "ORDER BY search_name, tax_id, id LIMIT ?2");
    select.bind(1, folded).bind(2, qint64(limit));
    QList<CustomerRow> list;
    while (select.next())
        list.append({select.text(0), select.text(1), select.text(2), select.text(3), select.text(4),
                     select.text(5)});
    return list;
}
