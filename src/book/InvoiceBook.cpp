#include "book/InvoiceBook.h"

#include "book/BookDatabase.h"
#include "book/BookEntryRead.h"
#include "book/BookNumbering.h"
#include "book/BookText.h"
#include "book/DocumentDigest.h"
#include "book/SqlStatement.h"
#include "common/Decimal.h"

#include <algorithm>

namespace {

QByteArray entrySelect(const char* rest) {
    return QByteArray("SELECT ") + BookEntryRead::Columns + " FROM invoices i " + rest;
}

// What the book cannot keep, refused before anything is written.
void checkRow(const InvoiceRow& row) {
    const QString why = InvoiceBook::refusal(row);
    if (!why.isEmpty())
        throw AppError(why);
}

} // namespace

QString InvoiceBook::refusal(const InvoiceRow& row) {
    const InvoiceSummary& s = row.summary;
    auto refuse = [&](const QString& what) {
        return QStringLiteral("El libro de facturas no admite la factura «%1»: %2.")
            .arg(s.seriesNumber(), what);
    };
    if (s.issuerTaxId.trimmed().isEmpty())
        return refuse(QStringLiteral("falta el NIF del emisor"));
    if (s.number.trimmed().isEmpty())
        return refuse(QStringLiteral("falta el número"));
    if (!s.issueDate.isValid())
        return refuse(QStringLiteral("falta la fecha de expedición"));
    if (row.document.isEmpty())
        return refuse(QStringLiteral("falta el documento"));
    for (const VatGroupRow& group : row.vatGroups) {
        Decimal rate;
        const QByteArray text = group.rate.toLatin1();
        if (Decimal::parse(text.constData(), text.size(), rate) != Decimal::ParseStatus::Ok)
            return refuse(QStringLiteral("el tipo de IVA «%1» no es un número").arg(group.rate));
    }
    return {};
}

InvoiceBook::IssueResult InvoiceBook::issue(const InvoiceRow& row, const SameTransaction& more) {
    return write(row, Mode::Issue, more);
}

InvoiceBook::IssueResult InvoiceBook::replace(const InvoiceRow& row, const SameTransaction& more) {
    return write(row, Mode::Replace, more);
}

InvoiceBook::IssueResult InvoiceBook::issueNext(const QString& issuerTaxId, const QString& series,
                                                const QString& counter, const Compose& compose,
                                                const SameTransaction& more) {
    BookDatabase::Transaction transaction(m_db);
    const QString number = BookNumbering(m_db).next(issuerTaxId, series, counter);
    const IssueResult result = write(compose(number), Mode::Issue, more);
    transaction.commit();
    return result;
}

InvoiceBook::IssueResult InvoiceBook::write(const InvoiceRow& row, Mode mode,
                                            const SameTransaction& more) {
    checkRow(row);
    const InvoiceSummary& s = row.summary;
    const QString joined = s.seriesNumber();
    BookDatabase::Transaction transaction(m_db);

    // The current versions holding this number, or its joined text under
    // another split ("A-1" + "2" against "A" + "1-2").
    QList<BookEntry> holders;
    // Two questions rather than one with OR, so that each is answered from
    // its unique index.
    SqlStatement byNumber(m_db, entrySelect("WHERE i.is_current = 1 AND i.issuer_tax_id = ? "
                                            "AND i.series = ? AND i.number = ?"));
    byNumber.bindAll(s.issuerTaxId, s.series, s.number);
    SqlStatement byText(m_db, entrySelect("WHERE i.is_current = 1 AND i.issuer_tax_id = ? "
                                          "AND i.series_number = ?"));
    byText.bindAll(s.issuerTaxId, joined);
    for (SqlStatement* select : {&byNumber, &byText}) {
        while (select->next()) {
            const BookEntry holder = BookEntryRead::read(*select);
            if (std::none_of(holders.begin(), holders.end(),
                             [&](const BookEntry& h) { return h.id == holder.id; }))
                holders.append(holder);
        }
    }
    for (const BookEntry& holder : holders) {
        // Issuing the very same document again is not a new version.
        if (holder.summary.series == s.series && holder.summary.number == s.number &&
            document(holder.id) == row.document)
            return {IssueResult::Outcome::Same, holder};
    }
    if (!holders.isEmpty() && mode == Mode::Issue)
        return {IssueResult::Outcome::Conflict, holders.first()};

    SqlStatement versions(m_db, "SELECT coalesce(max(version), 0) FROM invoices "
                                "WHERE issuer_tax_id = ? AND series_number = ?");
    versions.bindAll(s.issuerTaxId, joined);
    versions.next();
    const int version = int(versions.integer(0)) + 1;

    SqlStatement retire(m_db, "UPDATE invoices SET is_current = 0 WHERE id = ?");
    for (const BookEntry& holder : holders) {
        retire.bindAll(holder.id).run();
        retire.reset();
        addHistory(holder.id, HistoryKind::Replaced,
                   QStringLiteral("Sustituida por la versión %1").arg(version));
    }
    const qint64 id = insert(row, version);
    addHistory(id, row.value ? HistoryKind::Issued : HistoryKind::Imported,
               holders.isEmpty()
                   ? QString()
                   : QStringLiteral("Sustituye a la versión %1").arg(holders.first().version));
    if (more)
        more(id);
    const std::optional<BookEntry> written = entry(id);
    transaction.commit();
    return {IssueResult::Outcome::Issued, *written};
}

qint64 InvoiceBook::insert(const InvoiceRow& row, int version) {
    const InvoiceSummary& s = row.summary;
    const QString stored = m_db.now().toString(Qt::ISODate);
    SqlStatement invoice(
        m_db, "INSERT INTO invoices (issuer_tax_id, series, number, series_number, version, "
              "is_current, issue_date, due_date, customer_tax_id, customer_name, base_cents, "
              "vat_cents, withholding_cents, total_cents, stored_at, number_order, search_text) "
              "VALUES (?, ?, ?, ?, ?, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    invoice.bindAll(s.issuerTaxId, s.series, s.number, s.seriesNumber(), version,
                    s.issueDate.toString(Qt::ISODate), s.dueDate.toString(Qt::ISODate),
                    s.customerTaxId, s.customerName, s.baseCents, s.vatCents, s.withholdingCents,
                    s.totalCents, stored, BookText::numberOrder(s.series, s.number),
                    BookText::folded(s.seriesNumber() + QLatin1Char('\n') + s.customerName +
                                     QLatin1Char('\n') + s.customerTaxId));
    if (!s.dueDate.isValid())
        invoice.bindNull(7);
    invoice.run();
    const qint64 id = m_db.lastInsertId();

    SqlStatement group(m_db, "INSERT INTO vat_groups (invoice_id, position, rate, base_cents, "
                             "vat_cents) VALUES (?, ?, ?, ?, ?)");
    for (qsizetype i = 0; i < row.vatGroups.size(); ++i) {
        const VatGroupRow& g = row.vatGroups[i];
        group.bindAll(id, qint64(i + 1), g.rate, g.baseCents, g.vatCents).run();
        group.reset();
    }
    if (row.value) {
        SqlStatement value(m_db, "INSERT INTO invoice_values (invoice_id, value) VALUES (?, ?)");
        value.bindAll(id, *row.value).run();
    }
    insertDocument(id, "xml", row.fileName, row.document);
    return id;
}

void InvoiceBook::insertDocument(qint64 invoiceId, const char* kind, const QString& fileName,
                                 const QByteArray& bytes) {
    SqlStatement document(m_db, "INSERT INTO documents (invoice_id, kind, file_name, sha256, "
                                "stored_at, bytes) VALUES (?, ?, ?, ?, ?, ?)");
    document.bindAll(invoiceId, QString::fromLatin1(kind), fileName, DocumentDigest::sha256(bytes),
                     m_db.now().toString(Qt::ISODate));
    document.bindBlob(6, bytes).run();
}

void InvoiceBook::storeSigned(qint64 invoiceId, const QByteArray& signedBytes,
                              const QString& fileName) {
    BookDatabase::Transaction transaction(m_db);
    if (!entry(invoiceId))
        throw AppError(QStringLiteral("La factura firmada «%1» no está en el libro de facturas.")
                           .arg(fileName));
    insertDocument(invoiceId, "xsig", fileName, signedBytes);
    addHistory(invoiceId, HistoryKind::Signed, fileName);
    transaction.commit();
}

void InvoiceBook::addHistory(qint64 invoiceId, const QString& kind, const QString& detail) {
    SqlStatement history(m_db,
                         "INSERT INTO history (invoice_id, at, kind, detail) VALUES (?, ?, ?, ?)");
    history.bindAll(invoiceId, m_db.now().toString(Qt::ISODate), kind, detail).run();
}

std::optional<BookEntry> InvoiceBook::find(const QString& issuerTaxId,
                                           const QString& seriesNumber) const {
    SqlStatement select(
        m_db, entrySelect("WHERE i.is_current = 1 AND i.issuer_tax_id = ? AND i.series_number = ?")
                  .constData());
    select.bindAll(issuerTaxId, seriesNumber);
    if (!select.next())
        return std::nullopt;
    return BookEntryRead::read(select);
}

QList<BookEntry> InvoiceBook::findAll(const QString& seriesNumber) const {
    SqlStatement select(
        m_db, entrySelect("WHERE i.is_current = 1 AND i.series_number = ? ORDER BY i.issuer_tax_id")
                  .constData());
    select.bindAll(seriesNumber);
    QList<BookEntry> list;
    while (select.next())
        list.append(BookEntryRead::read(select));
    return list;
}

std::optional<BookEntry> InvoiceBook::entry(qint64 invoiceId) const {
    SqlStatement select(m_db, entrySelect("WHERE i.id = ?").constData());
    select.bindAll(invoiceId);
    if (!select.next())
        return std::nullopt;
    return BookEntryRead::read(select);
}

std::optional<BookEntry> InvoiceBook::holding(const QString& documentSha256) const {
    SqlStatement select(m_db, "SELECT invoice_id FROM documents WHERE kind = 'xml' AND sha256 = ? "
                              "ORDER BY invoice_id DESC LIMIT 1");
    select.bindAll(documentSha256);
    if (!select.next())
        return std::nullopt;
    return entry(select.integer(0));
}

QList<BookEntry> InvoiceBook::versions(const QString& issuerTaxId,
                                       const QString& seriesNumber) const {
    SqlStatement select(
        m_db,
        entrySelect("WHERE i.issuer_tax_id = ? AND i.series_number = ? ORDER BY i.version, i.id")
            .constData());
    select.bindAll(issuerTaxId, seriesNumber);
    QList<BookEntry> list;
    while (select.next())
        list.append(BookEntryRead::read(select));
    return list;
}

QByteArray InvoiceBook::document(qint64 invoiceId) const {
    return storedBytes(invoiceId, "SELECT bytes FROM documents WHERE invoice_id = ? "
                                  "AND kind = 'xml' ORDER BY id LIMIT 1");
}

QByteArray InvoiceBook::signedDocument(qint64 invoiceId) const {
    return storedBytes(invoiceId, "SELECT bytes FROM documents WHERE invoice_id = ? "
                                  "AND kind = 'xsig' ORDER BY id DESC LIMIT 1");
}

bool InvoiceBook::hasSignedCopy(qint64 invoiceId) const {
    SqlStatement select(m_db, "SELECT 1 FROM documents WHERE invoice_id = ? AND kind = 'xsig'");
    select.bindAll(invoiceId);
    return select.next();
}

QByteArray InvoiceBook::storedBytes(qint64 invoiceId, const char* sql) const {
    SqlStatement select(m_db, sql);
    select.bindAll(invoiceId);
    return select.next() ? select.blob(0) : QByteArray();
}

std::optional<QString> InvoiceBook::value(qint64 invoiceId) const {
    SqlStatement select(m_db, "SELECT value FROM invoice_values WHERE invoice_id = ?");
    select.bindAll(invoiceId);
    if (!select.next())
        return std::nullopt;
    return select.text(0);
}

QList<VatGroupRow> InvoiceBook::vatGroups(qint64 invoiceId) const {
    SqlStatement select(m_db, "SELECT rate, base_cents, vat_cents FROM vat_groups "
                              "WHERE invoice_id = ? ORDER BY position");
    select.bindAll(invoiceId);
    QList<VatGroupRow> groups;
    while (select.next())
        groups.append({select.text(0), select.integer(1), select.integer(2)});
    return groups;
}

QList<HistoryRow> InvoiceBook::history(qint64 invoiceId) const {
    SqlStatement select(m_db, "SELECT invoice_id, at, kind, detail FROM history "
                              "WHERE invoice_id = ? ORDER BY id");
    select.bindAll(invoiceId);
    QList<HistoryRow> rows;
    while (select.next())
        rows.append({select.integer(0), select.text(1), select.text(2), select.text(3)});
    return rows;
}
