#include "cli/BookCommand.h"
#include "cli/BookCommandKit.h"
#include "cli/CommandArguments.h"

#include "book/BookDatabase.h"
#include "book/BookExport.h"
#include "book/BookList.h"
#include "book/BookText.h"
#include "common/AppError.h"
#include "common/Decimal.h"
#include "common/ValueForms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <functional>

namespace {

const char Usage[] =
    "Uso: orvane-cli book list [--home CARPETA] [--from FECHA] [--to FECHA] [--series SERIE]\n"
    "                          [--customer TEXTO] [--json|--csv]\n"
    "Lista las facturas en vigor del libro por fecha de expedición, con los totales al final.\n"
    "  --from, --to FECHA   fechas de expedición desde y hasta (incluidas), dd/mm/aaaa o\n"
    "                       aaaa-mm-dd\n"
    "  --series SERIE       solo esa serie («» para las facturas sin serie)\n"
    "  --customer TEXTO     el texto en el nombre o el NIF del cliente (sin distinguir\n"
    "                       mayúsculas ni acentos)\n"
    "  --json               una lista JSON de objetos, con los importes como texto exacto\n"
    "  --csv                CSV con «;», importes con coma decimal\n";

enum class Form { Text, Json, Csv };

const QStringList Heading = {
    QStringLiteral("Serie-número"), QStringLiteral("Fecha"), QStringLiteral("Cliente"),
    QStringLiteral("NIF"),          QStringLiteral("Base"),  QStringLiteral("IVA"),
    QStringLiteral("Retención"),    QStringLiteral("Total"), QStringLiteral("Estado")};

QString plain(qint64 cents) {
    return Decimal::fromScaled(cents, 2).plainText(2, 2);
}

// Every listed invoice in order, a page at a time.
void eachEntry(const BookList& list, const std::function<void(const BookEntry&)>& take) {
    constexpr int Page = 1000;
    for (qint64 offset = 0;; offset += Page) {
        const QList<BookEntry> page = list.rows(offset, Page);
        for (const BookEntry& e : page)
            take(e);
        if (page.size() < Page)
            return;
    }
}

QStringList fieldsOf(const BookEntry& e) {
    const InvoiceSummary& s = e.summary;
    return {e.seriesNumber,
            ValueForms::dateText(s.issueDate),
            s.customerName,
            s.customerTaxId,
            BookText::amount(s.baseCents),
            BookText::amount(s.vatCents),
            BookText::amount(s.withholdingCents),
            BookText::amount(s.totalCents),
            e.state};
}

// Columns of fixed width, the amounts to the right; a long name is cut.
void writeText(const BookList& list, QTextStream& out) {
    const int widths[] = {16, 10, 30, 12, 12, 10, 10, 12, 0};
    auto line = [&](const QStringList& fields) {
        QStringList cells;
        for (int i = 0; i < fields.size(); ++i) {
            const bool amount = i >= 4 && i <= 7;
            QString cell = fields[i];
            if (i == 2 && cell.size() > widths[i])
                cell = cell.left(widths[i] - 1) + QChar(0x2026);
            cells << (amount ? cell.rightJustified(widths[i]) : cell.leftJustified(widths[i]));
        }
        out << cells.join(QLatin1Char(' ')).trimmed() << '\n';
    };
    line(Heading);
    eachEntry(list, [&](const BookEntry& e) { line(fieldsOf(e)); });
    const BookTotals t = list.totals();
    out << (t.count == 1 ? QStringLiteral("1 factura") : QStringLiteral("%1 facturas").arg(t.count))
        << QStringLiteral(": base %1, IVA %2, retención %3, total %4\n")
               .arg(BookText::amount(t.baseCents), BookText::amount(t.vatCents),
                    BookText::amount(t.withholdingCents), BookText::amount(t.totalCents));
}

void writeCsv(const BookList& list, QTextStream& out) {
    auto line = [&](const QStringList& fields) {
        QStringList cells;
        for (const QString& f : fields)
            cells << BookExport::field(f);
        out << cells.join(QLatin1Char(';')) << "\r\n";
    };
    line(Heading);
    eachEntry(list, [&](const BookEntry& e) { line(fieldsOf(e)); });
}

void writeJson(const BookList& list, QTextStream& out) {
    QJsonArray all;
    eachEntry(list, [&](const BookEntry& e) {
        const InvoiceSummary& s = e.summary;
        all.append(QJsonObject{
            {QStringLiteral("seriesNumber"), e.seriesNumber},
            {QStringLiteral("series"), s.series},
            {QStringLiteral("number"), s.number},
            {QStringLiteral("issuerTaxId"), s.issuerTaxId},
            {QStringLiteral("issueDate"), s.issueDate.toString(Qt::ISODate)},
            {QStringLiteral("dueDate"),
             s.dueDate.isValid() ? QJsonValue(s.dueDate.toString(Qt::ISODate)) : QJsonValue()},
            {QStringLiteral("customerTaxId"), s.customerTaxId},
            {QStringLiteral("customerName"), s.customerName},
            {QStringLiteral("base"), plain(s.baseCents)},
            {QStringLiteral("vat"), plain(s.vatCents)},
            {QStringLiteral("withholding"), plain(s.withholdingCents)},
            {QStringLiteral("total"), plain(s.totalCents)},
            {QStringLiteral("state"), e.state},
            {QStringLiteral("version"), e.version},
        });
    });
    out << QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented));
}

} // namespace

int runBookList(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err) {
    BookCommandKit::Options options;
    options.home = toolDir;
    Form form = Form::Text;
    const int status = BookCommandKit::readArguments(
        arguments, Usage, BookCommandKit::Filters::Taken, out, err, options,
        [&](const QString& option, CommandArguments&) -> std::optional<QString> {
            if (option != u"--json" && option != u"--csv")
                return std::nullopt;
            const Form wanted = option == u"--json" ? Form::Json : Form::Csv;
            if (form != Form::Text && form != wanted)
                return QStringLiteral("--json y --csv no van juntas");
            form = wanted;
            return QString();
        });
    if (status >= 0)
        return status;
    if (!options.files.isEmpty())
        return usageError(err, Usage, QStringLiteral("Sobra: %1").arg(options.files.join(u' ')));
    try {
        const auto db = BookCommandKit::openBook(options.home, false);
        const BookList list(*db, options.filter);
        switch (form) {
        case Form::Text:
            writeText(list, out);
            break;
        case Form::Json:
            writeJson(list, out);
            break;
        case Form::Csv:
            writeCsv(list, out);
            break;
        }
        out.flush();
        return 0;
    } catch (const AppError& error) {
        out.flush();
        return BookCommandKit::failed(err, error);
    }
}
