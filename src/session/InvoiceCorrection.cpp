#include "session/InvoiceCorrection.h"

#include "book/BookCorrections.h"
#include "book/InvoiceBook.h"
#include "common/AppError.h"
#include "facturae/CorrectiveChecks.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/UnsavedChanges.h"
#include "ledger/RecordStore.h"
#include "records/RecordReader.h"
#include "session/InvoiceIssuing.h"
#include "session/InvoiceSession.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

#include <QDir>

namespace InvoiceCorrection {

namespace {

QString notInBook(const QString& seriesNumber, const QString& folder) {
    return QStringLiteral("La factura %1 no está en el libro de facturas de %2: solo se rectifica "
                          "una factura emitida en el libro. Compruebe la serie y el número como "
                          "los muestra «orvane-cli book list»")
        .arg(seriesNumber, QDir::toNativeSeparators(folder));
}

Decimal amountOf(const QString& text) {
    Decimal value;
    const QByteArray bytes = text.toLatin1();
    if (Decimal::parseXml(bytes.constData(), bytes.size(), value) != Decimal::ParseStatus::Ok)
        throw AppError(QStringLiteral("El registro de la factura rectificada tiene un importe que "
                                      "no se puede leer («%1»): no se ha guardado nada")
                           .arg(text));
    return value;
}

// How the corrected invoice's own billing record names it and what it
// stated; the book's figures when it was issued without records.
Corrected correctedOf(const BookDatabase& db, const BookEntry& entry) {
    Corrected c;
    c.invoiceId = entry.id;
    c.id = {entry.summary.issuerTaxId, entry.seriesNumber, entry.summary.issueDate};
    c.amounts = {Decimal::fromScaled(entry.summary.baseCents, 2),
                 Decimal::fromScaled(entry.summary.vatCents, 2)};
    std::optional<StoredRecord> alta;
    for (const StoredRecord& r : RecordStore(db).ofInvoice(entry.seriesNumber))
        if (r.invoiceId == entry.id && r.kind == StoredRecord::Kind::Alta)
            alta = r;
    if (!alta)
        return c;
    const Fingerprint::RecordTexts t = RecordReader::read(alta->bytes).fingerprinted;
    c.id = {t.issuerNif, t.numSerie, alta->issueDate};
    const Decimal quota = amountOf(t.cuotaTotal);
    c.amounts = {amountOf(t.importeTotal) - quota, quota};
    return c;
}

} // namespace

QString series(const QString& appDir) {
    const QString set = IniFile(AppFiles::registroIni(appDir))
                            .readString(QStringLiteral("RECTIFICATIVAS"), QStringLiteral("SERIE"))
                            .trimmed();
    return set.isEmpty() ? QStringLiteral("R") : set;
}

BookEntry findCorrected(const QString& appDir, const QString& seriesNumber,
                        const BookDatabase::Options& options) {
    const auto db = BookDatabase::openIfPresent(appDir, options);
    if (!db)
        throw AppError(notInBook(seriesNumber, appDir));
    const InvoiceBook book(*db);
    const QString mine = InvoiceIssuing::taxIdKey(
        IssuerSettings::read(IniFile(AppFiles::registroIni(appDir))).taxId);
    if (!mine.isEmpty()) {
        if (const auto held = book.find(mine, seriesNumber))
            return *held;
    } else if (const QList<BookEntry> all = book.findAll(seriesNumber); all.size() == 1) {
        return all.front();
    }
    throw AppError(notInBook(seriesNumber, appDir));
}

Correction describe(const BookEntry& corrected, const QString& reason, const QString& method,
                    const QString& kind) {
    Correction c;
    c.series = corrected.summary.series;
    c.number = corrected.summary.number;
    c.issueDate = corrected.summary.issueDate;
    c.reasonCode = reason;
    c.method = method;
    c.kind = kind.toUpper();
    c.periodFromIssueMonth();
    if (const QString problem = c.problem(); !problem.isEmpty())
        throw AppError(problem);
    return c;
}

void makeCorrective(InvoiceRecord& record, const QString& appDir, const Correction& correction) {
    record.setCorrection(correction);
    record.setText(RecordField::InvoiceSeries, series(appDir));
    record.setText(RecordField::InvoiceNumber, QString());
}

void prepare(InvoiceSession& session, const QString& value, const Correction& correction,
             const QDate& today) {
    // Prepared, not typed: the invoice on screen is as new as after openAsNew.
    const UnsavedChanges::Pause pause(session.changes());
    session.openAsNew(value, today);
    InvoiceRecord& record = session.record();
    makeCorrective(record, session.appDir(), correction);
    if (!correction.bySubstitution())
        record.lines().load({});
    record.setText(
        RecordField::InvoiceNumber,
        InvoiceIssuing::nextNumber(session.appDir(), record.text(RecordField::IssuerTaxId),
                                   series(session.appDir()), QString(), session.issuing().book));
}

std::optional<Corrected> link(BookDatabase& db, qint64 invoiceId, const QString& issuerKey,
                              const std::optional<Correction>& correction) {
    if (!correction)
        return std::nullopt;
    const QString seriesNumber = correction->correctedSeriesNumber();
    const std::optional<BookEntry> held = InvoiceBook(db).find(issuerKey, seriesNumber);
    if (!held)
        throw AppError(QStringLiteral("La factura %1 que esta rectifica no está en el libro de "
                                      "facturas: solo se rectifica una factura emitida en el "
                                      "libro. No se ha guardado nada")
                           .arg(seriesNumber));
    BookCorrections(db).link(invoiceId, held->id);
    return correctedOf(db, *held);
}

void completeRecord(BillingRecord& draft, const Correction& correction,
                    const Corrected& corrected) {
    for (InvoiceType type : {InvoiceType::R1, InvoiceType::R2, InvoiceType::R3, InvoiceType::R4})
        if (invoiceTypeCode(type) == correction.kind)
            draft.type = type;
    draft.corrected = {corrected.id};
    if (correction.bySubstitution()) {
        draft.correction = CorrectionKind::Substitution;
        draft.correctedAmounts = corrected.amounts;
    } else {
        draft.correction = CorrectionKind::Differences;
        draft.correctedAmounts.reset();
    }
}

CheckFindings checkAgainstBook(const QString& appDir, const QByteArray& document) {
    const auto db = BookDatabase::openIfPresent(appDir);
    return CorrectiveChecks::correctedInBook(
        document, [&](const QString& sellerTaxId, const QString& seriesNumber) {
            if (!db)
                return false;
            const InvoiceBook book(*db);
            const QString key = InvoiceIssuing::taxIdKey(sellerTaxId);
            return key.isEmpty() ? !book.findAll(seriesNumber).isEmpty()
                                 : book.find(key, seriesNumber).has_value();
        });
}

} // namespace InvoiceCorrection
