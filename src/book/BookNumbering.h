#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class BookDatabase;

// A run of numbers missing between two issued invoices of one numbering
// (same series, same text before the final digits).
struct NumberGap {
    QString issuerTaxId;
    QString series;
    QString first; // the first number missing
    QString last;  // the last number missing
    qint64 count = 0;
    friend bool operator==(const NumberGap&, const NumberGap&) = default;
};

// Current invoices that stand for the same number: the same value in one
// numbering ("A-7", "A-007"), or the same joined text.
struct NumberDuplicate {
    QString issuerTaxId;
    QStringList seriesNumbers;
    friend bool operator==(const NumberDuplicate&, const NumberDuplicate&) = default;
};

// Invoice numbers as the book sees them. Numbers are free text; only the
// final digits are counted, compared by value within one prefix.
class BookNumbering {
public:
    explicit BookNumbering(const BookDatabase& db) : m_db(db) {}

    // The number a new invoice of series takes: the one after the highest
    // in the numbering of the series' latest invoice (by issue date). counter
    // is the last number of the series kept outside the book (Registro.Ini),
    // or empty; the later of the two counts. "1" when neither gives one.
    QString next(const QString& issuerTaxId, const QString& series, const QString& counter) const;

    QList<NumberGap> gaps() const;
    QList<NumberDuplicate> duplicates() const;

private:
    const BookDatabase& m_db;
};
