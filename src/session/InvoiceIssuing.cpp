#include "session/InvoiceIssuing.h"

#include "book/BookCustomers.h"
#include "book/BookNumbering.h"
#include "book/BookText.h"
#include "book/InvoiceBook.h"
#include "common/AppError.h"
#include "common/ValueForms.h"
#include "facturae/DocumentCheck.h"
#include "facturae/FacturaeWriter.h"
#include "facturae/TaxIdCheck.h"
#include "facturae/TaxQrLine.h"
#include "invoice/InvoiceRecord.h"
#include "ledger/RecordSettings.h"
#include "records/IssuedInvoiceRecord.h"
#include "records/RecordText.h"
#include "session/CustomerBlock.h"
#include "session/InvoiceCorrection.h"
#include "session/IssuedTaxQr.h"
#include "settings/AppFiles.h"
#include "settings/InvoiceNumbering.h"
#include "settings/RegistroIni.h"
#include "storage/DraftFile.h"
#include "storage/IniFile.h"

#include <QBuffer>
#include <QStringList>

#include <algorithm>

namespace {

qint64 cents(const Decimal& value) {
    return value.rounded(2).plainText(2, 2).remove(QLatin1Char('.')).toLongLong();
}

const QString WithRecords = QStringLiteral("con el registro de facturación (VERI*FACTU) activado");
const QString WithRecordsFirst =
    QStringLiteral("Con el registro de facturación (VERI*FACTU) activado");

QByteArray documentOf(const Invoice& invoice) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(invoice, buffer);
    return bytes;
}

RecordSettings recordSettings(const QString& appDir) {
    return RecordSettings::read(IniFile(AppFiles::registroIni(appDir)));
}

QString ownTaxId(const QString& appDir) {
    return IssuerSettings::read(IniFile(AppFiles::registroIni(appDir))).taxId;
}

} // namespace

InvoiceIssuing::InvoiceIssuing(InvoiceRecord& record, QString appDir, const Options& options)
    : m_record(record), m_appDir(std::move(appDir)), m_options(options) {}

InvoiceIssuing::RecordDraft InvoiceIssuing::recordFromDocument(const QString& appDir) {
    return [appDir](const InvoiceRecord& record, const QByteArray& document) {
        IssuedInvoiceRecord::Inputs inputs;
        inputs.issuerNif = taxIdKey(ownTaxId(appDir));
        // The document cannot tell a reverse charge from a line at 0 %, nor
        // one cause of exemption from another: each line says its own.
        for (const InvoiceLine& line : record.invoice().lines)
            inputs.lineTreatments.append(line.treatment);
        return IssuedInvoiceRecord::draft(document, inputs);
    };
}

QString InvoiceIssuing::taxIdKey(const QString& written) {
    const QString tidy = TaxIdCheck::check(written).id;
    return tidy.isEmpty() ? written.trimmed() : tidy;
}

QString InvoiceIssuing::heldText(const BookEntry& held) {
    return QStringLiteral("La factura %1 ya está en el libro (emitida el %2, %3 €).")
        .arg(held.seriesNumber, ValueForms::dateText(held.summary.issueDate),
             BookText::amount(held.summary.totalCents));
}

QString InvoiceIssuing::nextNumber(const QString& appDir, const QString& issuerTaxId,
                                   const QString& series, const QString& current,
                                   const BookDatabase::Options& options) {
    const QString counted = InvoiceNumbering::last(appDir, series);
    try {
        const auto db = BookDatabase::openExisting(appDir, options);
        return BookNumbering(*db).next(taxIdKey(issuerTaxId), series,
                                       counted.isEmpty() ? current : counted);
    } catch (const BookError&) {
        // No book yet, or one that cannot be read: said when issuing.
        return InvoiceNumbering::proposal(appDir, series, current);
    }
}

void InvoiceIssuing::numberBlankInvoice() {
    if (!m_record.text(RecordField::InvoiceNumber).trimmed().isEmpty())
        return;
    m_record.setText(RecordField::InvoiceNumber,
                     nextNumber(m_appDir, m_record.text(RecordField::IssuerTaxId),
                                m_record.text(RecordField::InvoiceSeries).trimmed(), QString(),
                                m_options.book));
    m_numberFromBook = true;
}

InvoiceRow InvoiceIssuing::row(const QByteArray& document, const QString& fileName) const {
    const InvoiceTotals& totals = m_record.totals();
    InvoiceRow row;
    InvoiceSummary& s = row.summary;
    s.issuerTaxId = taxIdKey(m_record.text(RecordField::IssuerTaxId));
    s.series = m_record.text(RecordField::InvoiceSeries).trimmed();
    s.number = m_record.text(RecordField::InvoiceNumber).trimmed();
    s.issueDate = m_record.issueDate();
    s.dueDate = m_record.dueDate();
    s.customerTaxId = m_record.text(RecordField::CustomerTaxId).trimmed();
    s.customerName = CustomerBlock::name(m_record);
    s.baseCents = cents(totals.base);
    s.vatCents = cents(totals.vat);
    s.withholdingCents = cents(totals.withholding);
    s.totalCents = cents(totals.total);
    for (const VatGroup& group : totals.groups)
        row.vatGroups.append({group.rate.plainText(), cents(group.base), cents(group.tax)});
    row.value = DraftFile::text(m_record);
    row.document = document;
    row.fileName = fileName;
    return row;
}

// With records made, what the tax agency would refuse is never issued.
void InvoiceIssuing::refuseWithoutRecords(const CheckFindings& findings) const {
    QStringList errors;
    for (const CheckFinding& finding : findings)
        if (finding.isError())
            errors << QStringLiteral("- ") + finding.message;
    if (!errors.isEmpty())
        throw AppError(QStringLiteral("La factura tiene errores y, %1, no se emite ni se guarda:\n"
                                      "%2\nCorríjalos y vuelva a generarla")
                           .arg(WithRecords, errors.join(QLatin1Char('\n'))));
    const QString mine = taxIdKey(ownTaxId(m_appDir));
    const QString issuer = taxIdKey(m_record.text(RecordField::IssuerTaxId));
    if (mine.isEmpty() || issuer != mine)
        throw AppError(QStringLiteral("El NIF del emisor de la factura (%1) no es el de Mis datos "
                                      "(%2): %3, el libro solo emite las facturas de su titular. "
                                      "No se ha guardado nada")
                           .arg(issuer.isEmpty() ? QStringLiteral("vacío") : issuer,
                                mine.isEmpty() ? QStringLiteral("vacío") : mine, WithRecords));
    // Without sending, a record is never stored unsigned.
    if (recordSettings(m_appDir).mode == RecordSettings::Mode::NoVerifactu &&
        !m_options.ledger.signer)
        throw AppError(QStringLiteral("En el modo NO VERI*FACTU cada registro de facturación se "
                                      "firma con el certificado de Configuración > Firma, y no se "
                                      "ha abierto con su contraseña: la factura no se emite. No "
                                      "se ha guardado nada"));
    if (!m_options.recordDraft)
        throw AppError(QStringLiteral("Esta versión de Orvane no sabe hacer todavía el registro de "
                                      "facturación de la factura: %1, no se emite. No se ha "
                                      "guardado nada")
                           .arg(WithRecords));
}

// The address comes from the record made of the document without it, so the
// figures the code shows are those the record carries; the line changes none.
QByteArray InvoiceIssuing::withTaxQr(const QByteArray& plain, const RecordSettings& settings) {
    const BillingRecord draft = m_options.recordDraft(m_record, plain);
    Invoice invoice = m_record.settledInvoice();
    invoice.additionalInformation =
        TaxQrLine::compose(invoice.additionalInformation, IssuedTaxQr::address(draft, settings));
    return documentOf(invoice);
}

InvoiceIssuing::Result InvoiceIssuing::issue(const QByteArray& document, const QString& fileName,
                                             const std::optional<CheckFindings>& findings) {
    const RecordSettings settings = recordSettings(m_appDir);
    const bool records = settings.makesRecords();
    if (records)
        refuseWithoutRecords(findings ? *findings : DocumentCheck::run(document));

    Result result;
    if (!records) {
        // Without records the book keeps what it can: an invoice it cannot
        // keep (no issuer tax id or date yet) is still written. When the
        // check found errors, its findings have already told the person what
        // is missing; otherwise the book says why it keeps nothing.
        InvoiceRow probe = row(document, fileName);
        if (m_numberFromBook)
            probe.summary.number = QStringLiteral("1"); // the book gives the number
        const QString why = InvoiceBook::refusal(probe);
        if (!why.isEmpty()) {
            const CheckFindings found = findings ? *findings : DocumentCheck::run(document);
            const bool told = std::any_of(found.begin(), found.end(),
                                          [](const CheckFinding& f) { return f.isError(); });
            result.outcome = Outcome::NotKept;
            result.document = document;
            result.notKept = told ? QString() : why;
            return result;
        }
    }
    std::unique_ptr<BookDatabase> db;
    try {
        db = BookDatabase::open(m_appDir, m_options.book);
    } catch (const BookError& e) {
        if (records)
            throw AppError(QStringLiteral("%1\n\n%2: no se emite ninguna factura sin el libro "
                                          "y no se ha guardado nada")
                               .arg(e.message(), WithRecordsFirst));
        if (e.kind() != BookError::Kind::NotKept && !e.fileUnusable())
            throw;
        result.outcome = Outcome::NotKept;
        result.document = document;
        result.notKept = e.message();
        return result;
    }

    QByteArray written = records ? withTaxQr(document, settings) : document;
    InvoiceRow current = row(written, fileName);
    const auto sameTransaction = [&](qint64 invoiceId) {
        BookCustomers(*db).remember(CustomerBlock::of(m_record));
        const auto corrected = InvoiceCorrection::link(*db, invoiceId, current.summary.issuerTaxId,
                                                       m_record.correction());
        if (!records)
            return;
        BillingRecord draft = m_options.recordDraft(m_record, written);
        draft.territory = settings.territory;
        if (corrected)
            InvoiceCorrection::completeRecord(draft, *m_record.correction(), *corrected);
        const InvoiceSummary& s = current.summary;
        if (RecordText::value(draft.invoice.numSerie) != s.seriesNumber() ||
            draft.invoice.issueDate != s.issueDate)
            throw AppError(QStringLiteral("El registro de facturación nombra la factura «%1» y se "
                                          "emite la «%2»: no se ha guardado nada")
                               .arg(draft.invoice.numSerie, s.seriesNumber()));
        if (TaxQrLine::inDocument(written) != IssuedTaxQr::address(draft, settings))
            throw AppError(QStringLiteral("La dirección del QR tributario de la factura %1 no es "
                                          "la de su registro de facturación: no se ha guardado "
                                          "nada")
                               .arg(s.seriesNumber()));
        RecordLedger::Options ledger = m_options.ledger;
        // Records sent to the tax agency go unsigned: only the mode without
        // sending signs them.
        if (settings.mode != RecordSettings::Mode::NoVerifactu)
            ledger.signer = {};
        RecordLedger(*db, std::move(ledger)).append(std::move(draft), invoiceId);
    };

    InvoiceBook book(*db);
    InvoiceBook::IssueResult issued;
    if (m_numberFromBook) {
        const InvoiceSummary& s = current.summary;
        issued = book.issueNext(
            s.issuerTaxId, s.series, InvoiceNumbering::last(m_appDir, s.series),
            [&](const QString& number) {
                // Another program took the number shown meanwhile: the next one.
                if (number != m_record.text(RecordField::InvoiceNumber)) {
                    m_record.setText(RecordField::InvoiceNumber, number);
                    written = documentOf(m_record.settledInvoice());
                    if (records)
                        written = withTaxQr(written, settings);
                    current = row(written, fileName);
                }
                return current;
            },
            sameTransaction);
    } else {
        issued = book.issue(current, sameTransaction);
    }
    if (issued.outcome == InvoiceBook::IssueResult::Outcome::Conflict) {
        if (m_numberFromBook)
            throw AppError(heldText(issued.entry) +
                           QStringLiteral(" Es el número que sigue en la serie %1: escriba el "
                                          "número de la factura a mano. No se ha guardado nada")
                               .arg(current.summary.series));
        if (records)
            throw AppError(heldText(issued.entry) +
                           QStringLiteral(" %1, una factura emitida no se sustituye: anúlela o "
                                          "emita una rectificativa. No se ha guardado nada")
                               .arg(WithRecordsFirst));
        if (!m_options.replace || !m_options.replace(issued.entry)) {
            result.outcome = Outcome::Declined;
            result.kept = issued.entry;
            return result;
        }
        issued = book.replace(current, sameTransaction);
    }
    result.outcome =
        issued.outcome == InvoiceBook::IssueResult::Outcome::Same ? Outcome::Same : Outcome::Issued;
    result.kept = issued.entry;
    // The file gets what the book holds, byte for byte.
    result.document = book.document(issued.entry.id);
    return result;
}

std::optional<BookEntry> InvoiceIssuing::keepSigned(const QString& appDir,
                                                    const QString& unsignedDigest,
                                                    const QByteArray& signedBytes,
                                                    const QString& fileName,
                                                    const BookDatabase::Options& options) {
    const auto db = BookDatabase::openIfPresent(appDir, options);
    if (!db)
        return std::nullopt;
    InvoiceBook book(*db);
    const std::optional<BookEntry> held = book.holding(unsignedDigest);
    if (held)
        book.storeSigned(held->id, signedBytes, fileName);
    return held;
}
