#pragma once

#include <QString>

// Derived texts the book stores beside an invoice for searching and sorting.
namespace BookText {

// Lower case without accents, so "José" is found by "jose" and "JOSÉ".
QString folded(const QString& text);

// A key that sorts invoice numbers by series, then by their prefix, then by
// the value of their final digits: A-9 before A-10.
QString numberOrder(const QString& series, const QString& number);

} // namespace BookText
