#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// Plain rows the book stores and returns. Amounts are cents; a VAT rate is
// exact decimal text with a decimal point ("21.00", "5.5").

// The columns of an invoice that the book lists, filters and sorts by.
struct InvoiceSummary {
    QString issuerTaxId;
    QString series;
    QString number;
    QDate issueDate;
    QDate dueDate; // null when the invoice has none
    QString customerTaxId;
    QString customerName;
    qint64 baseCents = 0;
    qint64 vatCents = 0;
    qint64 withholdingCents = 0;
    qint64 totalCents = 0;

    // The invoice's one identifying text: series, "-" and number, or the
    // number alone without series. Stored with every invoice and never
    // formed otherwise, since other records depend on it staying the same.
    QString seriesNumber() const {
        return series.isEmpty() ? number : series + QLatin1Char('-') + number;
    }
};

struct VatGroupRow {
    QString rate;
    qint64 baseCents = 0;
    qint64 vatCents = 0;
    friend bool operator==(const VatGroupRow&, const VatGroupRow&) = default;
};

// One invoice as it is issued into the book.
struct InvoiceRow {
    InvoiceSummary summary;
    QList<VatGroupRow> vatGroups;
    // The whole invoice in the caller's stable text form; none for a
    // document imported from outside (it cannot be opened as a new one).
    std::optional<QString> value;
    QByteArray document; // the exact bytes written
    QString fileName;    // the name the document was saved as
};

// A version of an invoice kept in the book.
struct BookEntry {
    qint64 id = 0;
    int version = 0;
    bool current = false;
    InvoiceSummary summary;
    QString seriesNumber; // as stored
    QString state;        // the latest history kind: emitida, firmada, sustituida…
    QString storedAt;     // when this version was written
    // The latest billing record of this version: its kind ("alta" or
    // "anulación") and sending state ("pendiente"…); empty without one.
    QString recordKind;
    QString recordState;
};

struct HistoryRow {
    qint64 invoiceId = 0;
    QString at; // ISO 8601 with the UTC offset
    QString kind;
    QString detail;
};

// Kinds of history row of an invoice.
namespace HistoryKind {
inline const QString Issued = QStringLiteral("emitida");
inline const QString Imported = QStringLiteral("importada");
inline const QString Signed = QStringLiteral("firmada");
inline const QString Replaced = QStringLiteral("sustituida");
// Written with the invoice's billing record of cancellation.
inline const QString Cancelled = QStringLiteral("anulada");
} // namespace HistoryKind
