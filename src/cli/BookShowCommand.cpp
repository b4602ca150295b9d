#include "cli/BookCommand.h"
#include "cli/BookCommandKit.h"
#include "cli/CommandArguments.h"

#include "book/BookDatabase.h"
#include "book/BookText.h"
#include "book/InvoiceBook.h"
#include "common/AppError.h"
#include "common/Decimal.h"
#include "common/ValueForms.h"
#include "facturae/TaxIdCheck.h"
#include "session/BookFiles.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

const char Usage[] =
    "Uso: orvane-cli book show [--home CARPETA] [--xml|--xsig] [-o FICHERO] SERIE-NÚMERO\n"
    "     orvane-cli book show [--home CARPETA] [--xml|--xsig] [-o FICHERO] SERIE NÚMERO\n"
    "Muestra la factura en vigor con ese número, escrito como lo lista «orvane-cli book list»\n"
    "(la serie, «-» y el número; sin serie, el número solo).\n"
    "  --xml         escribe por la salida el documento guardado, byte a byte\n"
    "  --xsig        escribe la copia firmada guardada\n"
    "  -o FICHERO    guarda el documento (o, con --xsig, la copia firmada) en FICHERO\n";

enum class Output { Summary, Unsigned, Signed };

// The invoice the text names. Several issuers may hold the number: the
// issuer's own comes first, any other one is only taken alone.
BookEntry findInvoice(const InvoiceBook& book, const QString& seriesNumber, const QString& ownTaxId,
                      const QString& bookPath) {
    const QList<BookEntry> found = book.findAll(seriesNumber);
    if (found.isEmpty())
        throw AppError(QStringLiteral("La factura «%1» no está en el libro de facturas %2; "
                                      "«orvane-cli book list» muestra las que tiene")
                           .arg(seriesNumber, QDir::toNativeSeparators(bookPath)));
    if (found.size() == 1)
        return found.first();
    const QString mine = TaxIdCheck::check(ownTaxId).id;
    QStringList issuers;
    for (const BookEntry& e : found) {
        if (!mine.isEmpty() && TaxIdCheck::check(e.summary.issuerTaxId).id == mine)
            return e;
        issuers << e.summary.issuerTaxId;
    }
    throw AppError(QStringLiteral("Hay varias facturas «%1» en el libro, de los emisores %2, y "
                                  "ninguna es del NIF de Mis datos")
                       .arg(seriesNumber, issuers.join(QStringLiteral(", "))));
}

void writeSummary(QTextStream& out, const InvoiceBook& book, const BookEntry& e) {
    const InvoiceSummary& s = e.summary;
    out << "Factura " << e.seriesNumber << " (versión " << e.version << ", " << e.state << ")\n";
    out << "Emisor: " << s.issuerTaxId << '\n';
    out << "Fecha de expedición: " << ValueForms::dateText(s.issueDate) << '\n';
    if (s.dueDate.isValid())
        out << "Vencimiento: " << ValueForms::dateText(s.dueDate) << '\n';
    out << "Cliente: " << s.customerName << " (" << s.customerTaxId << ")\n";
    out << "Base imponible: " << BookText::amount(s.baseCents) << '\n';
    for (const VatGroupRow& g : book.vatGroups(e.id)) {
        const QByteArray rate = g.rate.toLatin1();
        out << "  al " << Decimal::fromText(rate.constData()).displayText(2) << " %: base "
            << BookText::amount(g.baseCents) << ", cuota " << BookText::amount(g.vatCents) << '\n';
    }
    out << "IVA: " << BookText::amount(s.vatCents) << '\n';
    out << "Retención: " << BookText::amount(s.withholdingCents) << '\n';
    out << "Total: " << BookText::amount(s.totalCents) << '\n';
    out << "Documento: " << book.document(e.id).size() << " bytes\n";
    const QByteArray signedCopy = book.signedDocument(e.id);
    out << "Copia firmada: "
        << (signedCopy.isEmpty() ? QStringLiteral("no")
                                 : QStringLiteral("%1 bytes").arg(signedCopy.size()))
        << '\n';
    out << "Historial:\n";
    for (const HistoryRow& h : book.history(e.id))
        out << "  " << h.at << ' ' << h.kind << (h.detail.isEmpty() ? QString() : u' ' + h.detail)
            << '\n';
}

} // namespace

int runBookShow(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err) {
    BookCommandKit::Options options;
    options.home = toolDir;
    Output output = Output::Summary;
    QString target;
    const int status = BookCommandKit::readArguments(
        arguments, Usage, BookCommandKit::Filters::None, out, err, options,
        [&](const QString& option, CommandArguments& args) -> std::optional<QString> {
            if (option == u"-o")
                return args.takeValue(target) ? QString()
                                              : QStringLiteral("Falta el fichero tras -o");
            if (option != u"--xml" && option != u"--xsig")
                return std::nullopt;
            const Output wanted = option == u"--xml" ? Output::Unsigned : Output::Signed;
            if (output != Output::Summary && output != wanted)
                return QStringLiteral("--xml y --xsig no van juntas");
            output = wanted;
            return QString();
        });
    if (status >= 0)
        return status;
    const QStringList& words = options.files;
    if (words.isEmpty() || words.size() > 2)
        return usageError(err, Usage,
                          words.isEmpty()
                              ? QStringLiteral("Falta el número de la factura")
                              : QStringLiteral("Sobra: %1").arg(words.mid(2).join(u' ')));
    // "A 15" names what "A-15" names; an empty series leaves the number alone.
    const QString seriesNumber =
        words.size() == 1 || words[0].isEmpty() ? words.last() : words[0] + u'-' + words[1];
    try {
        const auto db = BookCommandKit::openBook(options.home, false);
        const InvoiceBook book(*db);
        const BookEntry entry =
            findInvoice(book, seriesNumber, BookCommandKit::ownTaxId(options.home), db->path());
        const BookFiles::Copy copy =
            output == Output::Signed ? BookFiles::Copy::Signed : BookFiles::Copy::Unsigned;
        if (!target.isEmpty()) {
            BookFiles::save(*db, options.home, entry, copy, target);
            out << target << '\n';
        } else if (output == Output::Summary) {
            writeSummary(out, book, entry);
        } else {
            const QByteArray bytes = BookFiles::document(*db, entry, copy);
            out.flush();
            QFile stdOut;
            if (!stdOut.open(stdout, QIODevice::WriteOnly) || stdOut.write(bytes) != bytes.size() ||
                !stdOut.flush())
                throw AppError(QStringLiteral("No se puede escribir el documento por la salida"));
        }
        out.flush();
        return 0;
    } catch (const AppError& error) {
        out.flush();
        return BookCommandKit::failed(err, error);
    }
}
