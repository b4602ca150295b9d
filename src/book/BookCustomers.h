#pragma once

#include <QList>
#include <QString>

class BookDatabase;

// A customer of an issued invoice. A public administration's tax id serves
// many units, so the three centre codes belong to the key.
struct CustomerRow {
    QString taxId;
    QString managingBody;
    QString accountingOffice;
    QString processingUnit;
    QString name;
    QString details; // the whole customer block in the caller's text form
    friend bool operator==(const CustomerRow&, const CustomerRow&) = default;
};

// The customers remembered by the book, offered while typing.
class BookCustomers {
public:
    explicit BookCustomers(BookDatabase& db) : m_db(db) {}

    // Keeps customer; the latest details of the same key win.
    void remember(const CustomerRow& customer);

    // Customers whose tax id or name begins with prefix (case and accents
    // ignored), by name; at most limit of them.
    QList<CustomerRow> startingWith(const QString& prefix, int limit = 20) const;

private:
    BookDatabase& m_db;
};
