#include "app/BookTableModel.h"

#include "book/BookDatabase.h"
#include "book/BookText.h"
#include "common/AppError.h"
#include "common/ValueForms.h"

#include <atomic>
#include <climits>
#include <memory>

// The questions to the book, answered on the model's thread of their own.
// Only that thread touches this connection; each answer is handed back to
// the model on the window's thread.
class BookQueries : public QObject {
public:
    BookQueries(QString folder, BookTableModel* model)
        : m_folder(std::move(folder)), m_model(model) {}

    // The latest question asked: older ones still queued are not worked out.
    std::atomic<int> latest{0};

    void load(int question, const BookFilter& filter, BookColumn column, bool descending) {
        if (question < latest)
            return;
        run(question, [&] {
            m_list = std::make_unique<BookList>(book(), filter, column, descending);
            m_listQuestion = question;
            const BookTotals totals = m_list->totals();
            const QList<BookEntry> rows = m_list->rows(0, BookTableModel::PageSize);
            reply([model = m_model, question, totals, rows] {
                model->takeAnswer(question, totals, rows);
            });
            if (!m_seriesSent) {
                m_seriesSent = true;
                const QStringList series = BookList::series(book());
                reply([model = m_model, series] { model->takeSeries(series); });
            }
        });
    }

    void page(int question, qint64 offset) {
        if (question != m_listQuestion || question < latest)
            return;
        run(question, [&] {
            const QList<BookEntry> rows = m_list->rows(offset, BookTableModel::PageSize);
            reply([model = m_model, question, offset, rows] {
                model->takePage(question, offset, rows);
            });
        });
    }

private:
    BookDatabase& book() {
        // Looking into the book never makes one.
        if (!m_book)
            m_book = BookDatabase::openExisting(m_folder);
        return *m_book;
    }

    template <typename Work> void run(int question, const Work& work) {
        QString failure;
        try {
            work();
            return;
        } catch (const AppError& error) {
            failure = error.message();
        } catch (const std::exception& error) {
            failure = unexpectedError(error);
        }
        reply([model = m_model, question, failure] {
            model->takeFailure(question, withFullStop(failure));
        });
    }

    template <typename Answer> void reply(Answer answer) {
        QMetaObject::invokeMethod(m_model, std::move(answer), Qt::QueuedConnection);
    }

    QString m_folder;
    BookTableModel* m_model;
    std::unique_ptr<BookDatabase> m_book;
    std::unique_ptr<BookList> m_list; // of the question m_listQuestion
    int m_listQuestion = 0;
    bool m_seriesSent = false;
};

BookTableModel::BookTableModel(const QString& folder, QObject* parent)
    : QAbstractTableModel(parent), m_queries(new BookQueries(folder, this)) {
    m_thread.setObjectName(QStringLiteral("BookQueries"));
    m_queries->moveToThread(&m_thread);
    m_thread.start();
}

BookTableModel::~BookTableModel() {
    m_queries->latest = INT_MAX; // what is still queued is not worked out
    m_thread.quit();
    m_thread.wait();
    delete m_queries;
}

int BookTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BookTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BookTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return column >= Base && column <= Total ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const BookEntry& e = m_rows[index.row()];
    const InvoiceSummary& s = e.summary;
    switch (column) {
    case SeriesNumber:
        return e.seriesNumber;
    case IssueDate:
        return ValueForms::dateText(s.issueDate);
    case Customer:
        return s.customerName;
    case TaxId:
        return s.customerTaxId;
    case Base:
        return BookText::amount(s.baseCents);
    case Vat:
        return BookText::amount(s.vatCents);
    case Withholding:
        return BookText::amount(s.withholdingCents);
    case Total:
        return BookText::amount(s.totalCents);
    case State:
        return e.state.left(1).toUpper() + e.state.mid(1);
    case Record:
        return recordText(e);
    }
    return {};
}

QString BookTableModel::recordText(const BookEntry& entry) {
    if (entry.recordKind.isEmpty())
        return QStringLiteral("Sin registro");
    if (entry.recordKind == u"alta")
        return entry.recordState.left(1).toUpper() + entry.recordState.mid(1);
    return QStringLiteral("Anulación %1").arg(entry.recordState);
}

QVariant BookTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const Titles[ColumnCount] = {"Serie-número", "Fecha",   "Cliente",   "NIF",
                                                    "Base",         "IVA",     "Retención", "Total",
                                                    "Estado",       "Registro"};
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(Titles[section]);
    if (role == Qt::TextAlignmentRole && section >= Base && section <= Total)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool BookTableModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !busy() && !m_fetching && m_rows.size() < m_totals.count;
}

void BookTableModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    m_fetching = true;
    const int question = m_asked;
    const qint64 offset = m_rows.size();
    QMetaObject::invokeMethod(
        m_queries, [queries = m_queries, question, offset] { queries->page(question, offset); },
        Qt::QueuedConnection);
}

void BookTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    // The columns follow the book's own order of them.
    m_column = BookColumn(column);
    m_descending = order == Qt::DescendingOrder;
    ask();
}

void BookTableModel::setFilter(const BookFilter& filter) {
    m_filter = filter;
    ask();
}

void BookTableModel::ask() {
    const int question = ++m_asked;
    m_fetching = false;
    m_queries->latest = question;
    QMetaObject::invokeMethod(
        m_queries,
        [queries = m_queries, question, filter = m_filter, column = m_column,
         descending = m_descending] { queries->load(question, filter, column, descending); },
        Qt::QueuedConnection);
}

void BookTableModel::takeAnswer(int question, const BookTotals& totals,
                                const QList<BookEntry>& rows) {
    if (question != m_asked)
        return;
    beginResetModel();
    m_rows = rows;
    m_totals = totals;
    m_answered = question;
    endResetModel();
    emit answered();
}

void BookTableModel::takePage(int question, qint64 offset, const QList<BookEntry>& rows) {
    if (question != m_asked)
        return;
    m_fetching = false;
    if (offset != m_rows.size() || rows.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows += rows;
    endInsertRows();
}

void BookTableModel::takeSeries(const QStringList& series) {
    m_series = series;
    emit seriesKnown();
}

void BookTableModel::takeFailure(int question, const QString& message) {
    if (question != m_asked)
        return;
    m_answered = question;
    m_fetching = false;
    emit failed(message);
}
