#include "app/CustomerCompleter.h"

#include "book/BookCustomers.h"
#include "book/BookDatabase.h"
#include "session/CustomerBlock.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QStandardItemModel>

namespace {

// The customer's details ride with the item; the box gets its own text.
constexpr int DetailsRole = Qt::UserRole + 1;
constexpr int TaxIdRole = Qt::UserRole + 2;
constexpr int NameRole = Qt::UserRole + 3;

} // namespace

CustomerCompleter::CustomerCompleter(InvoiceRecord& record, QString appDir, QObject* parent)
    : QObject(parent), m_record(record), m_appDir(std::move(appDir)),
      m_model(new QStandardItemModel(this)) {}

CustomerCompleter::~CustomerCompleter() = default;

int CustomerCompleter::offered() const {
    return m_model->rowCount();
}

// Opened when first needed, and again after it could not be: a book made
// by the first invoice issued counts at once.
BookDatabase* CustomerCompleter::book() {
    if (!m_book) {
        try {
            m_book = BookDatabase::openExisting(m_appDir);
        } catch (const BookError&) {
            return nullptr;
        }
    }
    return m_book.get();
}

void CustomerCompleter::attach(QLineEdit* edit, bool byTaxId) {
    auto* completer = new QCompleter(m_model, edit);
    completer->setObjectName(edit->objectName() + QStringLiteral("Completer"));
    // The book has chosen already; the popup shows all it gave.
    completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer->setCompletionRole(byTaxId ? TaxIdRole : NameRole);
    completer->setMaxVisibleItems(10);
    edit->setCompleter(completer);
    connect(edit, &QLineEdit::textEdited, this,
            [this, edit](const QString& typed) { offer(edit, typed); });
    connect(completer, qOverload<const QModelIndex&>(&QCompleter::activated), this,
            [this](const QModelIndex& index) {
                CustomerRow row;
                row.taxId = index.data(TaxIdRole).toString();
                row.name = index.data(NameRole).toString();
                row.details = index.data(DetailsRole).toString();
                CustomerBlock::fill(m_record, row);
            });
}

void CustomerCompleter::offer(QLineEdit* edit, const QString& typed) {
    m_model->clear();
    const QString prefix = typed.trimmed();
    BookDatabase* db = prefix.isEmpty() ? nullptr : book();
    if (!db)
        return;
    QList<CustomerRow> customers;
    try {
        customers = BookCustomers(*db).startingWith(prefix, Limit);
    } catch (const BookError&) {
        m_book.reset(); // looked at again at the next key
        return;
    }
    for (const CustomerRow& c : std::as_const(customers)) {
        QString centres;
        if (!c.processingUnit.isEmpty())
            centres = QStringLiteral(" (%1 / %2 / %3)")
                          .arg(c.managingBody, c.accountingOffice, c.processingUnit);
        auto* item = new QStandardItem(QStringLiteral("%1 · %2%3").arg(c.taxId, c.name, centres));
        item->setData(c.taxId, TaxIdRole);
        item->setData(c.name, NameRole);
        item->setData(c.details, DetailsRole);
        item->setEditable(false);
        m_model->appendRow(item);
    }
    if (QCompleter* completer = edit->completer(); completer && !customers.isEmpty())
        completer->complete();
}
