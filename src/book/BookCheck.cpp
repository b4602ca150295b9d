#include "book/BookCheck.h"

#include "book/BookDatabase.h"
#include "book/DocumentDigest.h"
#include "book/SqlStatement.h"

#include <algorithm>

bool BookCheckReport::sound() const {
    return std::all_of(findings.begin(), findings.end(),
                       [](const BookFinding& f) { return f.kind == BookFinding::Kind::Gap; });
}

namespace BookCheck {

namespace {

QString joined(const QString& series, const QString& number) {
    return series.isEmpty() ? number : series + QLatin1Char('-') + number;
}

void checkFile(const BookDatabase& db, BookCheckReport& report) {
    SqlStatement integrity(db, "PRAGMA integrity_check(100)");
    while (integrity.next()) {
        if (integrity.text(0) != QLatin1String("ok"))
            report.findings.append({BookFinding::Kind::Integrity,
                                    QStringLiteral("SQLite: %1").arg(integrity.text(0))});
    }
    SqlStatement keys(db, "PRAGMA foreign_key_check");
    while (keys.next())
        report.findings.append(
            {BookFinding::Kind::Integrity,
             QStringLiteral("La fila %1 de la tabla %2 remite a una fila de %3 que no existe.")
                 .arg(keys.text(1), keys.text(0), keys.text(2))});
}

void checkDocuments(const BookDatabase& db, BookCheckReport& report) {
    SqlStatement select(db,
                        "SELECT d.kind, d.sha256, i.series_number, i.version, d.bytes "
                        "FROM documents d JOIN invoices i ON i.id = d.invoice_id ORDER BY d.id");
    while (select.next()) {
        ++report.documents;
        if (DocumentDigest::sha256(select.blobView(4)) == select.text(1))
            continue;
        const bool isSigned = select.text(0) == QLatin1String("xsig");
        report.findings.append(
            {BookFinding::Kind::Document,
             QStringLiteral("El documento %1de %2 (versión %3) no coincide con su huella SHA-256: "
                            "ha cambiado desde que se guardó.")
                 .arg(isSigned ? QStringLiteral("firmado ") : QString(), select.text(2))
                 .arg(select.integer(3))});
    }
}

void checkComplete(const BookDatabase& db, BookCheckReport& report) {
    SqlStatement select(
        db, "SELECT i.series_number, i.version, "
            "NOT EXISTS (SELECT 1 FROM documents d WHERE d.invoice_id = i.id AND d.kind = 'xml'), "
            "NOT EXISTS (SELECT 1 FROM history h WHERE h.invoice_id = i.id) FROM invoices i");
    while (select.next()) {
        ++report.invoices;
        const QString which =
            QStringLiteral("La factura %1 (versión %2)").arg(select.text(0)).arg(select.integer(1));
        if (select.integer(2) != 0)
            report.findings.append(
                {BookFinding::Kind::Incomplete, which + QStringLiteral(" no tiene su documento.")});
        if (select.integer(3) != 0)
            report.findings.append(
                {BookFinding::Kind::Incomplete, which + QStringLiteral(" no tiene historial.")});
    }
}

void checkNumbers(const BookDatabase& db, BookCheckReport& report) {
    const BookNumbering numbering(db);
    report.duplicates = numbering.duplicates();
    for (const NumberDuplicate& d : report.duplicates)
        report.findings.append(
            {BookFinding::Kind::Duplicate,
             QStringLiteral("El mismo número está en vigor en varias facturas "
                            "de %1: %2.")
                 .arg(d.issuerTaxId, d.seriesNumbers.join(QLatin1String(", ")))});
    report.gaps = numbering.gaps();
    for (const NumberGap& g : report.gaps)
        report.findings.append({BookFinding::Kind::Gap, gapText(g)});
}

} // namespace

QString gapText(const NumberGap& g) {
    const QString series =
        g.series.isEmpty() ? QStringLiteral("sin serie") : QStringLiteral("serie ") + g.series;
    return g.count == 1
               ? QStringLiteral("Falta el número %1 (%2).").arg(joined(g.series, g.first), series)
               : QStringLiteral("Faltan %1 números, del %2 al %3 (%4).")
                     .arg(QString::number(g.count), joined(g.series, g.first),
                          joined(g.series, g.last), series);
}

BookCheckReport run(const BookDatabase& db) {
    BookCheckReport report;
    // A damaged file may fail any step: what it says is a finding, and the
    // other steps still run.
    for (auto step : {checkFile, checkDocuments, checkComplete, checkNumbers}) {
        try {
            step(db, report);
        } catch (const BookError& error) {
            report.findings.append({BookFinding::Kind::Integrity, error.message()});
        }
    }
    return report;
}

} // namespace BookCheck
