#pragma once

// Invoices for the book's tests: small rows whose document bytes name the
// invoice, so two invoices never share a document by accident.

#include "book/BookDatabase.h"
#include "book/BookRows.h"
#include "book/SqlStatement.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace BookFixture {

inline const QString Issuer = QStringLiteral("B12345678");

inline InvoiceRow invoice(const QString& series, const QString& number,
                          const QDate& date = QDate(2026, 3, 5),
                          const QString& customer = QStringLiteral("Cliente Uno S.L."),
                          qint64 baseCents = 10000) {
    InvoiceRow row;
    InvoiceSummary& s = row.summary;
    s.issuerTaxId = Issuer;
    s.series = series;
    s.number = number;
    s.issueDate = date;
    s.dueDate = date.addDays(30);
    s.customerTaxId = QStringLiteral("A87654321");
    s.customerName = customer;
    s.baseCents = baseCents;
    s.vatCents = baseCents * 21 / 100;
    s.totalCents = s.baseCents + s.vatCents;
    row.vatGroups = {{QStringLiteral("21.00"), s.baseCents, s.vatCents}};
    row.value = QStringLiteral("[DATOS_GENERALES]\nSERIE=%1\nFACTURA=%2\n").arg(series, number);
    row.document = QStringLiteral("<Facturae><Serie>%1</Serie><Numero>%2</Numero><Total>%3</Total>"
                                  "</Facturae>")
                       .arg(series, number)
                       .arg(s.totalCents)
                       .toUtf8();
    row.fileName = number + QStringLiteral(".XML");
    return row;
}

// One integer answer of the book, for the tests' own questions.
inline qint64 count(const BookDatabase& db, const char* sql) {
    SqlStatement select(db, sql);
    return select.next() ? select.integer(0) : -1;
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the sqlite3 program, as a person looking into the book would; its
// output, or a null array when the program is not installed.
inline QByteArray sqliteProgram(const QString& database, const QString& sql) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, {database, sql});
    process.waitForFinished(30000);
    QByteArray out(""); // empty, not null: the program ran
    return out + process.readAllStandardOutput() + process.readAllStandardError();
}

} // namespace BookFixture
