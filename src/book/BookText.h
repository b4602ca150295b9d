#pragma once

#include <QString>

// Derived texts the book stores beside an invoice for searching and sorting,
// and its amounts as people read them.
namespace BookText {

// Lower case without accents, so "José" is found by "jose" and "JOSÉ".
QString folded(const QString& text);

// A key that sorts invoice numbers by series, then by their prefix, then by
// the value of their final digits: A-9 before A-10.
QString numberOrder(const QString& series, const QString& number);

// Cents in the Spanish form: 1.234,50.
QString amount(qint64 cents);

} // namespace BookText
