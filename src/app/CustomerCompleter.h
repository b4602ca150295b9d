#pragma once

#include <QObject>

#include <memory>

class BookDatabase;
class InvoiceRecord;
class QCompleter;
class QLineEdit;
class QStandardItemModel;

// Offers the customers the book remembers while the customer's tax id or
// name is typed; choosing one (mouse, or arrows and Enter) fills the whole
// customer block, centres included. Without a book it offers nothing.
class CustomerCompleter : public QObject {
    Q_OBJECT
public:
    CustomerCompleter(InvoiceRecord& record, QString appDir, QObject* parent = nullptr);
    ~CustomerCompleter() override;

    // Offers completions in edit; byTaxId: what the box holds (the tax id, or
    // the name).
    void attach(QLineEdit* edit, bool byTaxId);

    // How many customers were offered last (for tests and accessibility).
    int offered() const;

    static constexpr int Limit = 20;

private:
    void offer(QLineEdit* edit, const QString& typed);
    BookDatabase* book();

    InvoiceRecord& m_record;
    QString m_appDir;
    std::unique_ptr<BookDatabase> m_book;
    QStandardItemModel* m_model = nullptr;
};
