#pragma once

#include "book/BookDatabase.h"
#include "book/BookRows.h"
#include "facturae/CheckFinding.h"
#include "ledger/RecordLedger.h"
#include "records/BillingRecord.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class InvoiceRecord;

// "Generar Factura" into the invoice book: the document about to be saved is
// kept in the book (with its billing record once a records mode is chosen)
// and committed before the file is written, so a document on disk is always
// one the book holds. Without a usable book and without a mode, the document
// is still written and the caller warns that it is not kept; with a mode,
// nothing is issued without the book.
class InvoiceIssuing {
public:
    // The billing record of the invoice as it is about to be issued, made
    // from the record and the exact document written.
    using RecordDraft =
        std::function<BillingRecord(const InvoiceRecord& record, const QByteArray& document)>;
    // Another document of the same number is in the book: whether to put
    // this one in its place (the earlier one stays as history).
    using ReplaceQuestion = std::function<bool(const BookEntry& held)>;

    struct Options {
        ReplaceQuestion replace; // without it a number in the book is not replaced
        RecordDraft recordDraft; // needed once a records mode is set
        BookDatabase::Options book;
        // Its signer signs each record in the mode without sending (NO
        // VERI*FACTU), which issues nothing without one; other modes store
        // their records unsigned whatever it holds.
        RecordLedger::Options ledger;
    };

    InvoiceIssuing(InvoiceRecord& record, QString appDir, const Options& options);

    // The program's mapping: the record made from the document as written,
    // for the issuer of "Mis datos" in appDir.
    static RecordDraft recordFromDocument(const QString& appDir);

    // An invoice without number takes the next one of its series (the
    // book's, or Registro.Ini's when that is later or there is no book);
    // set before the document is written and taken for good when it is
    // issued. Nothing happens when the invoice has a number.
    void numberBlankInvoice();

    enum class Outcome {
        Issued,   // kept in the book (as a new invoice or in place of one)
        Same,     // the book already holds this very document: nothing added
        NotKept,  // the book cannot be used; the document is written anyway
        Declined, // the number is held by another document and was not replaced
    };
    struct Result {
        Outcome outcome = Outcome::Declined;
        QByteArray document;           // what the file gets: the bytes the book holds
        std::optional<BookEntry> kept; // the invoice in the book
        QString notKept;               // why the book could not keep it (NotKept)
    };

    // Issues document (saved as fileName) into the book. findings: the check
    // of document, when it was run. Throws AppError, nothing kept, for a
    // book busy, full or failing, and with a records mode for a document with
    // errors, another issuer than "Mis datos", an unusable book or a number
    // already issued.
    Result issue(const QByteArray& document, const QString& fileName,
                 const std::optional<CheckFindings>& findings);

    // Keeps signedBytes (saved as fileName) as the signed copy of the
    // invoice whose document has the digest unsignedDigest (DocumentDigest),
    // when the book of appDir holds that document; the invoice, or none when
    // no book holds it. Throws AppError when the book cannot keep it.
    static std::optional<BookEntry> keepSigned(const QString& appDir, const QString& unsignedDigest,
                                               const QByteArray& signedBytes,
                                               const QString& fileName,
                                               const BookDatabase::Options& options = {});

    // The number a new invoice of series takes: the one after the later of
    // the issuer's latest in the book and Registro.Ini's count for the series
    // (or, with no count, current); "1" when none gives one. Without a usable
    // book, Registro.Ini's count alone.
    static QString nextNumber(const QString& appDir, const QString& issuerTaxId,
                              const QString& series, const QString& current,
                              const BookDatabase::Options& options = {});

    // "La factura A-15 ya está en el libro (emitida el 05/03/2026, 1.234,50 €)."
    static QString heldText(const BookEntry& held);

    // The book's key of an issuer's tax id, as it was written.
    static QString taxIdKey(const QString& written);

private:
    InvoiceRow row(const QByteArray& document, const QString& fileName) const;
    void refuseWithoutRecords(const CheckFindings& findings) const;

    InvoiceRecord& m_record;
    QString m_appDir;
    const Options& m_options;
    bool m_numberFromBook = false;
};
