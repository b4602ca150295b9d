#include "cli/RecordsCommand.h"

#include "cli/CommandArguments.h"

#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "common/FileIdentity.h"
#include "common/ValueForms.h"
#include "ledger/LedgerCheck.h"
#include "ledger/LedgerExport.h"
#include "ledger/RecordLedger.h"
#include "ledger/RecordSettings.h"
#include "ledger/RecordStore.h"
#include "records/RecordText.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "settings/RegistroIni.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli records ORDEN [--home CARPETA] ...\n"
    "  records list [--from FECHA] [--to FECHA] [--json]\n"
    "        lista los registros de facturación del libro, en el orden de la cadena\n"
    "  records show SERIE-NUMERO\n"
    "        escribe el XML de los registros de esa factura tal como se guardaron\n"
    "  records verify\n"
    "        comprueba la cadena: cada huella, cada enlace y la secuencia; nombra el primer "
    "fallo\n"
    "  records export --from FECHA --to FECHA -o FICHERO\n"
    "        escribe los registros del periodo para la Agencia Tributaria, hasta 1.000 por\n"
    "        fichero: FICHERO, FICHERO.2, FICHERO.3...\n"
    "  records cancel SERIE-NUMERO\n"
    "        anula una factura emitida: añade a la cadena su registro de anulación\n"
    "  --home CARPETA   carpeta con Registro.Ini y Libro.db (por omisión, la del programa)\n"
    "Las fechas se escriben dd/mm/aaaa o aaaa-mm-dd; un periodo cuenta por la fecha en que se\n"
    "generaron los registros. La factura se nombra como la lista el libro (A-2027-001).\n";

enum class Order { List, Show, Verify, Export, Cancel };

struct Options {
    Order order = Order::List;
    QString home;
    RecordPeriod period;
    bool json = false;
    QString output;
    QString invoice; // show, cancel
};

// What each order accepts besides --home.
bool accepts(Order order, const QString& option) {
    const bool period = option == u"--from" || option == u"--to";
    switch (order) {
    case Order::List:
        return period || option == u"--json";
    case Order::Export:
        return period || option == u"-o";
    default:
        return false;
    }
}

// Reads the order and its options; -1 to go on, or the exit status.
int readArguments(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  Options& options) {
    auto usage = [&](const QString& problem) { return usageError(err, Usage, problem); };
    static const QStringList Orders = {QStringLiteral("list"), QStringLiteral("show"),
                                       QStringLiteral("verify"), QStringLiteral("export"),
                                       QStringLiteral("cancel")};
    const QString name = arguments.value(1);
    if (name == u"--help" || name == u"-h")
        return showHelp(out, Usage);
    if (!Orders.contains(name))
        return usage(name.isEmpty() ? QStringLiteral("Falta la orden: list, show, verify, "
                                                     "export o cancel")
                                    : QStringLiteral("Orden desconocida: records %1").arg(name));
    options.order = Order(Orders.indexOf(name));

    CommandArguments args(arguments.mid(1));
    QString a;
    while (args.nextOption(a)) {
        if (args.isHelp(a))
            return showHelp(out, Usage);
        if (a != u"--home" && !accepts(options.order, a))
            return usage(QStringLiteral("«records %1» no admite %2").arg(name, a));
        if (a == u"--json") {
            options.json = true;
            continue;
        }
        QString value;
        if (!args.takeValue(value))
            return usage(QStringLiteral("Falta el valor tras %1").arg(a));
        if (a == u"--home") {
            options.home = value;
        } else if (a == u"-o") {
            options.output = value;
        } else {
            const std::optional<QDate> date = ValueForms::parseDate(value);
            if (!date)
                return usage(QStringLiteral("La fecha de %1, «%2», %3: escríbala dd/mm/aaaa o "
                                            "aaaa-mm-dd")
                                 .arg(a, value, ValueForms::dateProblem(value)));
            (a == u"--from" ? options.period.from : options.period.to) = *date;
        }
    }

    const QStringList& files = args.files();
    const bool namesInvoice = options.order == Order::Show || options.order == Order::Cancel;
    if (namesInvoice && files.size() != 1)
        return usage(files.isEmpty()
                         ? QStringLiteral("Falta la factura: su serie y número, como A-2027-001")
                         : QStringLiteral("«records %1» trata una sola factura").arg(name));
    if (!namesInvoice && !files.isEmpty())
        return usage(QStringLiteral("Sobra «%1»").arg(files.first()));
    if (namesInvoice)
        options.invoice = files.first();
    if (options.order == Order::Export &&
        (!options.period.from.isValid() || !options.period.to.isValid() ||
         options.output.isEmpty()))
        return usage(QStringLiteral("«records export» necesita --from, --to y -o"));
    if (options.period.from.isValid() && options.period.to.isValid() &&
        options.period.from > options.period.to)
        return usage(QStringLiteral("El periodo empieza después de terminar: --from %1 y --to %2")
                         .arg(ValueForms::dateText(options.period.from),
                              ValueForms::dateText(options.period.to)));
    return -1;
}

// The book of home; refused when there is none rather than making an empty one.
std::unique_ptr<BookDatabase> openBook(const QString& home) {
    if (!QFileInfo::exists(QDir(home).filePath(QString::fromLatin1(BookDatabase::FileName))))
        throw AppError(QStringLiteral("No hay libro de facturas en %1: no se ha emitido ninguna "
                                      "factura en esa carpeta. Indique la carpeta del programa "
                                      "con --home")
                           .arg(QDir::toNativeSeparators(QDir(home).absolutePath())));
    return BookDatabase::open(home);
}

QString issuerName(const IssuerSettings& issuer) {
    if (issuer.personLetter() != u"F")
        return issuer.name;
    QStringList parts;
    for (const QString& part : {issuer.name, issuer.surname1, issuer.surname2}) {
        if (!part.trimmed().isEmpty())
            parts << part.trimmed();
    }
    return parts.join(u' ');
}

int list(const Options& options, QTextStream& out) {
    const auto db = openBook(options.home);
    // Written as they are read: a book may hold many thousands.
    bool first = true;
    if (options.json)
        out << '[';
    RecordStore(*db).list(options.period, [&](const StoredRecord& r) {
        if (!options.json) {
            out << QString::number(r.sequence).rightJustified(7) << "  "
                << r.kindText().leftJustified(9) << "  " << r.seriesNumber.leftJustified(20) << "  "
                << RecordText::date(r.issueDate) << "  " << r.generatedAt << "  "
                << r.state.leftJustified(20) << "  " << r.huella << '\n';
            return;
        }
        const QJsonObject o{
            {"secuencia", r.sequence},   {"tipo", r.kindText()},
            {"nif", r.chain.issuerNif},  {"instalacion", r.chain.installation},
            {"factura", r.seriesNumber}, {"fechaExpedicion", RecordText::date(r.issueDate)},
            {"generado", r.generatedAt}, {"estado", r.state},
            {"huella", r.huella},        {"huellaAnterior", r.previousHuella}};
        out << (first ? "\n  " : ",\n  ")
            << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
        first = false;
    });
    if (options.json)
        out << (first ? "]\n" : "\n]\n");
    return 0;
}

int show(const Options& options, QTextStream& out) {
    const auto db = openBook(options.home);
    const QList<StoredRecord> records = RecordStore(*db).ofInvoice(options.invoice);
    if (records.isEmpty())
        throw AppError(QStringLiteral("El libro no guarda ningún registro de facturación de la "
                                      "factura «%1»; nómbrela como la lista el libro "
                                      "(A-2027-001)")
                           .arg(options.invoice));
    for (const StoredRecord& r : records)
        out << QString::fromUtf8(r.bytes) << '\n';
    return 0;
}

int verify(const Options& options, QTextStream& out) {
    const auto db = openBook(options.home);
    const LedgerCheckReport report = LedgerCheck::run(*db);
    if (report.chains.isEmpty())
        out << "El libro no guarda ningún registro de facturación.\n";
    for (const ChainReport& chain : report.chains) {
        if (report.chains.size() > 1)
            out << QStringLiteral("NIF %1, instalación %2: ")
                       .arg(chain.chain.issuerNif, chain.chain.installation);
        out << withFullStop(chain.summary) << '\n';
        if (!chain.fault)
            out << "Última huella: " << chain.lastHuella << '\n';
    }
    return report.ok() ? 0 : 1;
}

int exportPeriod(const Options& options, QTextStream& out) {
    const QString settingsPath = AppFiles::registroIni(options.home);
    const QString book = QDir(options.home).filePath(QString::fromLatin1(BookDatabase::FileName));
    QString same = FileIdentity::sameAsAny(
        options.output, {book, book + QStringLiteral("-wal"), book + QStringLiteral("-shm")});
    // Registro.Ini by any spelling the program would read it by.
    if (same.isEmpty() && !AppFiles::settingsFileAt(options.home, options.output).isEmpty())
        same = settingsPath;
    if (!same.isEmpty())
        throw AppError(
            QStringLiteral("No se puede exportar a %1: es %2, que se perdería")
                .arg(QDir::toNativeSeparators(options.output), QDir::toNativeSeparators(same)));
    const IssuerSettings issuer = IssuerSettings::read(IniFile(settingsPath));
    const auto db = openBook(options.home);
    RecordBatch::Header header;
    header.issuerNif = issuer.taxId.trimmed();
    header.issuerName = issuerName(issuer);
    for (const QString& path : LedgerExport::write(*db, header, options.period, options.output))
        out << path << '\n';
    return 0;
}

int cancel(const Options& options, QTextStream& out) {
    const IniFile ini(AppFiles::registroIni(options.home));
    const RecordSettings settings = RecordSettings::read(ini);
    if (!settings.makesRecords())
        throw AppError(QStringLiteral("No se hacen registros de facturación: falta elegir el modo "
                                      "([VERIFACTU] MODO en %1, que se elige en Configuración > "
                                      "Registro de facturación). No se ha anulado nada")
                           .arg(QDir::toNativeSeparators(ini.path())));
    const QString nif = IssuerSettings::read(ini).taxId.trimmed();
    if (nif.isEmpty())
        throw AppError(QStringLiteral("Falta el NIF del emisor en Mis datos ([MISDATOS] NIF en "
                                      "%1). No se ha anulado nada")
                           .arg(QDir::toNativeSeparators(ini.path())));
    const auto db = openBook(options.home);
    const StoredRecord r = RecordLedger(*db).cancel(nif, options.invoice, settings.territory);
    out << QStringLiteral("Factura %1 anulada: registro de anulación n.º %2, huella %3")
               .arg(r.seriesNumber)
               .arg(r.sequence)
               .arg(r.huella)
        << '\n';
    return 0;
}

} // namespace

int runRecords(const QStringList& arguments, const QString& toolDir, QTextStream& out,
               QTextStream& err) {
    Options options;
    options.home = toolDir;
    if (const int status = readArguments(arguments, out, err, options); status >= 0)
        return status;
    int status = 1;
    try {
        switch (options.order) {
        case Order::List:
            status = list(options, out);
            break;
        case Order::Show:
            status = show(options, out);
            break;
        case Order::Verify:
            status = verify(options, out);
            break;
        case Order::Export:
            status = exportPeriod(options, out);
            break;
        case Order::Cancel:
            status = cancel(options, out);
            break;
        }
    } catch (const AppError& error) {
        err << withFullStop(error.message()) << '\n';
        status = 1;
    } catch (const std::exception& error) {
        err << withFullStop(unexpectedError(error)) << '\n';
        status = 1;
    }
    out.flush();
    err.flush();
    return status;
}
