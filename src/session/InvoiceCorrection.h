#pragma once

#include "book/BookDatabase.h"
#include "book/BookRows.h"
#include "facturae/CheckFinding.h"
#include "invoice/Correction.h"
#include "records/BillingRecord.h"

#include <QDate>
#include <QString>

#include <optional>

class InvoiceRecord;
class InvoiceSession;

// Corrective invoices (facturas rectificativas) from the book: finding the
// invoice corrected, preparing the corrective in its own series, and, while
// it is issued, linking the two in the book and making its billing record
// name the corrected invoice.
namespace InvoiceCorrection {

// The series correctives take: [RECTIFICATIVAS] SERIE of Registro.Ini, "R"
// when unset.
QString series(const QString& appDir);

// The current version of the invoice seriesNumber (as the book lists it) of
// the issuer of "Mis datos" (of whoever issued it when "Mis datos" has no
// tax id and only one issuer has that number). Throws AppError naming it
// when there is no book or the book does not hold it.
BookEntry findCorrected(const QString& appDir, const QString& seriesNumber,
                        const BookDatabase::Options& options = {});

// What a corrective of corrected says: its series, number and issue date,
// the codes given, and its issue month as the tax period. Throws AppError
// for a code that is not one.
Correction describe(const BookEntry& corrected, const QString& reason, const QString& method,
                    const QString& kind);

// The invoice on screen becomes a corrective of what correction describes:
// in the correctives' series, without a number (the book gives it when it
// is issued).
void makeCorrective(InvoiceRecord& record, const QString& appDir, const Correction& correction);

// "Rectificar" from the book: the corrected invoice's value (as the book
// keeps it) opened as a new corrective dated today, with the next number of
// the correctives' series. By substitution it keeps the corrected invoice's
// lines; by differences it starts without lines, for the person to enter
// the differences. Throws AppError when the value cannot be read.
void prepare(InvoiceSession& session, const QString& value, const Correction& correction,
             const QDate& today = QDate::currentDate());

// The corrected invoice as the issue of a corrective finds it: its version in
// the book, and how its billing record names it and what it stated (or the
// book's figures when it has no record).
struct Corrected {
    qint64 invoiceId = 0;
    InvoiceId id;
    CorrectedAmounts amounts;
};

// Inside the issue's transaction of invoice invoiceId of issuerKey: links a
// corrective to the invoice it corrects. Nothing for an ordinary invoice.
// Throws AppError, undoing the issue, when the book does not hold the
// corrected invoice.
std::optional<Corrected> link(BookDatabase& db, qint64 invoiceId, const QString& issuerKey,
                              const std::optional<Correction>& correction);

// The corrective's record: the kind chosen (never worked out from the
// reason), S for a substitution and I otherwise, the corrected invoice as
// its record names it and, for S, the amounts that record stated.
void completeRecord(BillingRecord& draft, const Correction& correction, const Corrected& corrected);

// The check of a document against the book of appDir: a warning for each
// corrective whose corrected invoice the book does not hold (all of them
// when there is no book). Throws AppError when the book cannot be read.
CheckFindings checkAgainstBook(const QString& appDir, const QByteArray& document);

} // namespace InvoiceCorrection
