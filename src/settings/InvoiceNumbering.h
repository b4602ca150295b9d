#pragma once

#include "common/NumberSequence.h"

#include <QString>

// The last invoice number written for each series, kept in Registro.Ini
// section NUMERACION, so a new invoice can propose the next one.
namespace InvoiceNumbering {

// The number after text ("F-99" -> "F-100"); empty when text ends in no digit.
using NumberSequence::next;

// The last number stored for series, empty when none.
QString last(const QString& appDir, const QString& series);

// Stores number as the last one of series, unless the stored one is later in
// the same numbering (same text before its final digits, digits worth more):
// writing an old invoice again does not take the count back. For an invoice
// of the user's own, series becomes the user's own series too. Failing to
// write it is silent: the document it belongs to has been written. A file
// that could not be read whole is left alone and both kept for the run.
void remember(const QString& appDir, const QString& series, const QString& number,
              bool usersOwn = false);

// The series the user's own invoices were written in last; empty when none.
QString ownSeries(const QString& appDir);

// What a new invoice of series proposes: the number after the last stored
// one; with none stored, the number after current; otherwise "1".
QString proposal(const QString& appDir, const QString& series, const QString& current);

} // namespace InvoiceNumbering
