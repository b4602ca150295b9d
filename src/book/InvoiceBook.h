#pragma once

#include "book/BookRows.h"

#include <functional>

class BookDatabase;

// Issuing invoices into the book and reading them back. Each issue or
// replacement is one write transaction: the invoice, its VAT groups, value,
// document and history row are all kept, or none of them.
class InvoiceBook {
public:
    // Why the book cannot keep row (no issuer tax id, number or date, no
    // document, a rate that is no number): the whole sentence; empty when it can.
    static QString refusal(const InvoiceRow& row);

    explicit InvoiceBook(BookDatabase& db) : m_db(db) {}

    // Runs inside the issue's transaction once the invoice is written, with
    // its id, so the caller's own rows (a billing record) are kept together
    // with it. Throwing from it undoes the whole issue.
    using SameTransaction = std::function<void(qint64 invoiceId)>;

    struct IssueResult {
        enum class Outcome {
            Issued,   // a new version was written
            Same,     // the current version has the same document: nothing written
            Conflict, // another current version holds the number: nothing written
        };
        Outcome outcome = Outcome::Issued;
        // The version written, or the one found (Same, Conflict).
        BookEntry entry;
    };

    // Issues row. An invoice whose document equals the current version's is
    // Same; one whose number (or joined text) is held by a current version
    // with other bytes is a Conflict, reported with that version. The
    // history row is "emitida", or "importada" for a row without value.
    IssueResult issue(const InvoiceRow& row, const SameTransaction& more = {});

    // Issues row in place of the current version holding its number, which
    // stays as history ("sustituida"). Same bytes are still Same.
    IssueResult replace(const InvoiceRow& row, const SameTransaction& more = {});

    // Issues the invoice compose() makes for the next number of series,
    // worked out inside the transaction, so two programs issuing at once
    // never take the same number. counter: the last number of the series
    // kept outside the book (Registro.Ini), or empty.
    using Compose = std::function<InvoiceRow(const QString& number)>;
    IssueResult issueNext(const QString& issuerTaxId, const QString& series, const QString& counter,
                          const Compose& compose, const SameTransaction& more = {});

    // Keeps the signed copy of an issued version ("firmada").
    void storeSigned(qint64 invoiceId, const QByteArray& signedBytes, const QString& fileName);

    // The current version holding seriesNumber (as listed), if any.
    std::optional<BookEntry> find(const QString& issuerTaxId, const QString& seriesNumber) const;
    // The current versions holding seriesNumber, of every issuer in the book.
    QList<BookEntry> findAll(const QString& seriesNumber) const;
    std::optional<BookEntry> entry(qint64 invoiceId) const;
    // The latest version whose written document has this SHA-256 (hex, as
    // DocumentDigest gives it), if any.
    std::optional<BookEntry> holding(const QString& documentSha256) const;
    // Every version of the invoice, oldest first.
    QList<BookEntry> versions(const QString& issuerTaxId, const QString& seriesNumber) const;

    QByteArray document(qint64 invoiceId) const;
    // The latest signed copy; empty when the version was never signed.
    QByteArray signedDocument(qint64 invoiceId) const;
    bool hasSignedCopy(qint64 invoiceId) const;
    std::optional<QString> value(qint64 invoiceId) const;
    QList<VatGroupRow> vatGroups(qint64 invoiceId) const;
    QList<HistoryRow> history(qint64 invoiceId) const;

    // Adds a history row to an invoice (later kinds: record sent, …).
    void addHistory(qint64 invoiceId, const QString& kind, const QString& detail);

private:
    enum class Mode { Issue, Replace };
    IssueResult write(const InvoiceRow& row, Mode mode, const SameTransaction& more);
    qint64 insert(const InvoiceRow& row, int version);
    QByteArray storedBytes(qint64 invoiceId, const char* sql) const;
    void insertDocument(qint64 invoiceId, const char* kind, const QString& fileName,
                        const QByteArray& bytes);

    BookDatabase& m_db;
};
