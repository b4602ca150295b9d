#pragma once

#include "book/BookList.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QThread>

class BookQueries;

// The invoices of the book as the book window lists them: the rows that
// match a filter, in the chosen order, a page at a time as the view scrolls
// down. Every question goes to the book on a thread of its own, with its
// own connection, so the window keeps answering while a large book is
// sorted or searched; rows that arrive for an older question are dropped.
class BookTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        SeriesNumber,
        IssueDate,
        Customer,
        TaxId,
        Base,
        Vat,
        Withholding,
        Total,
        State,
        Record
    };
    static constexpr int ColumnCount = Record + 1;
    static constexpr int PageSize = 200;

    // folder: where Libro.db lives. Nothing is asked until the first
    // setFilter() or sort().
    explicit BookTableModel(const QString& folder, QObject* parent = nullptr);
    ~BookTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Lists what filter lets through, from the first page.
    void setFilter(const BookFilter& filter);

    const BookEntry& entry(int row) const { return m_rows.at(row); }
    // How the Registro column names an invoice's billing record: "Sin
    // registro", "Pendiente", "Aceptado", "Anulación pendiente"…
    static QString recordText(const BookEntry& entry);
    // Of every invoice the filter lets through, not only those fetched.
    const BookTotals& totals() const { return m_totals; }
    // The series in the book, known after the first answer.
    const QStringList& series() const { return m_series; }
    // A question is on its way.
    bool busy() const { return m_asked != m_answered; }

signals:
    // The first page and the totals of the latest question have arrived.
    void answered();
    // The series in the book are known.
    void seriesKnown();
    // The book cannot be read (missing, damaged, another program's...): the
    // Spanish reason.
    void failed(const QString& message);

private:
    friend class BookQueries;
    void ask();
    void takeAnswer(int question, const BookTotals& totals, const QList<BookEntry>& rows);
    void takePage(int question, qint64 offset, const QList<BookEntry>& rows);
    void takeSeries(const QStringList& series);
    void takeFailure(int question, const QString& message);

    QThread m_thread;
    BookQueries* m_queries; // lives on m_thread
    BookFilter m_filter;
    BookColumn m_column = BookColumn::IssueDate;
    bool m_descending = true;
    int m_asked = 0;    // the latest question
    int m_answered = 0; // the latest question answered
    bool m_fetching = false;
    QList<BookEntry> m_rows;
    BookTotals m_totals;
    QStringList m_series;
};
