#include "cli/BookCommand.h"
#include "cli/BookCommandKit.h"
#include "cli/CommandArguments.h"

#include "book/BookDatabase.h"
#include "book/BookImport.h"
#include "book/BookText.h"
#include "book/InvoiceBook.h"
#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "common/ValueForms.h"
#include "pdf/BookRowReader.h"
#include "pdf/FacturaeReader.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli book import [--home CARPETA] FACTURA.xml|FACTURA.xsig...\n"
    "Añade al libro de facturas las facturas Facturae que usted emitió antes de tenerlo: el\n"
    "documento tal cual y sus datos principales. Solo admite facturas cuyo vendedor tiene el\n"
    "NIF de Mis datos (Registro.Ini). Una factura que ya está en el libro se salta con un\n"
    "aviso; una factura firmada de otra ya guardada sin firmar, con las mismas cifras, se\n"
    "guarda como su copia firmada. No se crea ningún registro de facturación.\n"
    "Escribe una línea por factura añadida. Estado de salida: 0 todas añadidas o ya en el\n"
    "libro, 1 alguna no se ha podido añadir, 2 uso incorrecto.\n";

// Imports every invoice of one file; false when one could not be kept.
bool importFile(InvoiceBook& book, const QString& path, const QString& ownTaxId, QTextStream& out,
                QTextStream& err) {
    const QByteArray bytes = BoundedFile::readDocument(path);
    FacturaeDocument::Document document;
    try {
        document = FacturaeReader::read(bytes);
    } catch (const AppError& e) {
        throw FacturaeReader::namedError(path, e);
    }
    const QList<InvoiceRow> rows =
        BookRowReader::rows(document, bytes, QFileInfo(path).absoluteFilePath(), ownTaxId);
    bool kept = true;
    for (const InvoiceRow& row : rows) {
        const QString number = row.summary.seriesNumber();
        const BookImport::Outcome outcome =
            BookImport::importRow(book, row, document.signature.present);
        const InvoiceSummary& held = outcome.entry.summary;
        switch (outcome.kind) {
        case BookImport::Outcome::Kind::Imported:
            out << path << ": " << number << '\n';
            break;
        case BookImport::Outcome::Kind::SignedCopyAdded:
            out << path << ": " << number << " (copia firmada)\n";
            break;
        case BookImport::Outcome::Kind::AlreadyKept:
            err << path << ": la factura " << number
                << " ya está en el libro con este mismo documento; no se añade otra vez.\n";
            break;
        case BookImport::Outcome::Kind::NumberTaken:
            err << path << ": el número " << number << " ya lo tiene otra factura del libro (del "
                << ValueForms::dateText(held.issueDate) << ", " << held.customerName << ", total "
                << BookText::amount(held.totalCents)
                << " €) con otro documento; esta no se añade.\n";
            kept = false;
            break;
        }
        out.flush();
        err.flush();
    }
    return kept;
}

} // namespace

int runBookImport(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                  QTextStream& err) {
    BookCommandKit::Options options;
    options.home = toolDir;
    const int status = BookCommandKit::readArguments(
        arguments, Usage, BookCommandKit::Filters::None, out, err, options);
    if (status >= 0)
        return status;
    if (options.files.isEmpty())
        return usageError(err, Usage, QStringLiteral("Falta la factura que añadir"));
    std::unique_ptr<BookDatabase> db;
    QString ownTaxId;
    try {
        ownTaxId = BookCommandKit::ownTaxId(options.home);
        BookRowReader::ownTaxIdRequired(ownTaxId);
        db = BookCommandKit::openBook(options.home, true);
    } catch (const AppError& error) {
        return BookCommandKit::failed(err, error);
    }
    InvoiceBook book(*db);
    int result = 0;
    for (const QString& path : options.files) {
        try {
            if (!importFile(book, path, ownTaxId, out, err))
                result = 1;
        } catch (const AppError& error) {
            err << path << ": " << withFullStop(error.message()) << '\n';
            err.flush();
            result = 1;
        } catch (const std::exception& error) {
            err << path << ": " << withFullStop(unexpectedError(error)) << '\n';
            err.flush();
            result = 1;
        }
    }
    return result;
}
