#include "cli/RecordsCommand.h"

#include "cli/CommandArguments.h"
#include "cli/RecordSendCommand.h"
#include "cli/RecordSigning.h"

#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "common/FileIdentity.h"
#include "common/ValueForms.h"
#include "ledger/AlarmStore.h"
#include "ledger/EventLog.h"
#include "ledger/ExportLog.h"
#include "ledger/IntegrityCheck.h"
#include "ledger/InvoiceCancellation.h"
#include "ledger/LedgerCheck.h"
#include "ledger/LedgerExport.h"
#include "ledger/RecordStore.h"
#include "records/RecordText.h"
#include "session/RecordSignatures.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

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
    "  records verify [FIRMA]\n"
    "        comprueba la cadena: cada huella, cada enlace y la secuencia; nombra el primer "
    "fallo\n"
    "  records export --from FECHA --to FECHA -o FICHERO [--events EVENTOS.xml] [FIRMA]\n"
    "        escribe los registros del periodo para la Agencia Tributaria, hasta 1.000 por\n"
    "        fichero: FICHERO, FICHERO.2, FICHERO.3...; con --events, también los eventos\n"
    "  records cancel SERIE-NUMERO [FIRMA]\n"
    "        anula una factura emitida: añade a la cadena su registro de anulación\n"
    "  records resolve --note TEXTO FIRMA\n"
    "        da por resuelta la alarma de integridad, con una nota de lo revisado\n"
    "  records send [--cert CERTIFICADO.p12] --password-file FICHERO | --password-fd N\n"
    "        en el modo VERI*FACTU, envía a la Agencia Tributaria los registros pendientes,\n"
    "        cuando lo permite la espera que pidió; sale con 0 si no queda ninguno\n"
    "  --home CARPETA   carpeta con Registro.Ini y Libro.db (por omisión, la del programa)\n"
    "FIRMA, en el modo NO VERI*FACTU, donde cada registro y cada evento se firma:\n"
    "  [--cert CERTIFICADO.p12] (por omisión, [FIRMA] CERTIFICADO de Registro.Ini) y\n"
    "  --password-file FICHERO o --password-fd N con la contraseña del certificado.\n"
    "  En ese modo verify también comprueba las firmas y los eventos, y verify, export y\n"
    "  cancel anotan lo hecho en el registro de eventos.\n"
    "Las fechas se escriben dd/mm/aaaa o aaaa-mm-dd; un periodo cuenta por la fecha en que se\n"
    "generaron los registros. La factura se nombra como la lista el libro (A-2027-001).\n";

enum class Order { List, Show, Verify, Export, Cancel, Resolve, Send };

struct Options {
    Order order = Order::List;
    QString home;
    RecordPeriod period;
    bool json = false;
    QString output;
    QString invoice; // show, cancel
    QString eventsOutput;
    QString note; // resolve
    // Signing in the mode that does not send.
    QString certificate;
    QString passwordFile;
    int passwordFd = -1;
    bool passwordGiven() const { return !passwordFile.isEmpty() || passwordFd >= 0; }
};

// What each order accepts besides --home.
bool accepts(Order order, const QString& option) {
    const bool period = option == u"--from" || option == u"--to";
    const bool signing =
        option == u"--cert" || option == u"--password-file" || option == u"--password-fd";
    switch (order) {
    case Order::List:
        return period || option == u"--json";
    case Order::Export:
        return period || option == u"-o" || option == u"--events" || signing;
    case Order::Verify:
    case Order::Cancel:
    case Order::Send:
        return signing;
    case Order::Resolve:
        return signing || option == u"--note";
    default:
        return false;
    }
}

// Reads the order and its options; -1 to go on, or the exit status.
int readArguments(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  Options& options) {
    auto usage = [&](const QString& problem) { return usageError(err, Usage, problem); };
    static const QStringList Orders = {QStringLiteral("list"),   QStringLiteral("show"),
                                       QStringLiteral("verify"), QStringLiteral("export"),
                                       QStringLiteral("cancel"), QStringLiteral("resolve"),
                                       QStringLiteral("send")};
    const QString name = arguments.value(1);
    if (name == u"--help" || name == u"-h")
        return showHelp(out, Usage);
    if (!Orders.contains(name))
        return usage(name.isEmpty() ? QStringLiteral("Falta la orden: list, show, verify, "
                                                     "export, cancel, resolve o send")
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
        } else if (a == u"--note") {
            options.note = value;
        } else if (a == u"--events") {
            options.eventsOutput = value;
        } else if (a == u"--cert") {
            options.certificate = value;
        } else if (a == u"--password-file") {
            options.passwordFile = value;
        } else if (a == u"--password-fd") {
            bool ok = false;
            options.passwordFd = value.toInt(&ok);
            if (!ok || options.passwordFd < 0)
                return usage(QStringLiteral("Descriptor no válido: %1").arg(value));
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
    if (options.order == Order::Resolve && options.note.trimmed().isEmpty())
        return usage(QStringLiteral("«records resolve» necesita --note con lo que se ha revisado "
                                    "y por qué se da la alarma por resuelta"));
    if (!options.passwordFile.isEmpty() && options.passwordFd >= 0)
        return usage(QStringLiteral("Use --password-file o --password-fd, no los dos"));
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

int verify(const Options& options, const std::optional<RecordSigning>& signing, QTextStream& out) {
    const auto db = openBook(options.home);
    if (signing) {
        EventLog log = signing->log(*db);
        const IntegrityReport report = IntegrityCheck::run(*db, log, RecordSignatures::check());
        for (const QString& line : report.lines())
            out << line << '\n';
        // An alarm of an earlier check stays on until it is resolved.
        if (report.raised.isEmpty())
            if (const std::optional<IntegrityAlarm> on = AlarmStore::active(*db))
                out << withFullStop(on->text()) << '\n';
        return report.ok() ? 0 : 1;
    }
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

int exportPeriod(const Options& options, const std::optional<RecordSigning>& signing,
                 QTextStream& out) {
    const QString settingsPath = AppFiles::registroIni(options.home);
    const QString book = QDir(options.home).filePath(QString::fromLatin1(BookDatabase::FileName));
    for (const QString& target : {options.output, options.eventsOutput}) {
        if (target.isEmpty())
            continue;
        QString same = FileIdentity::sameAsAny(
            target, {book, book + QStringLiteral("-wal"), book + QStringLiteral("-shm")});
        // Registro.Ini by any spelling the program would read it by.
        if (same.isEmpty() && !AppFiles::settingsFileAt(options.home, target).isEmpty())
            same = settingsPath;
        if (!same.isEmpty())
            throw AppError(
                QStringLiteral("No se puede exportar a %1: es %2, que se perdería")
                    .arg(QDir::toNativeSeparators(target), QDir::toNativeSeparators(same)));
    }
    if (!options.eventsOutput.isEmpty() &&
        (!signing || FileIdentity::sameFile(options.eventsOutput, options.output)))
        throw AppError(signing ? QStringLiteral("Los eventos no pueden ir al mismo fichero que los "
                                                "registros")
                               : QStringLiteral("Solo en el modo NO VERI*FACTU se lleva un "
                                                "registro de eventos que exportar"));
    const IssuerSettings issuer = IssuerSettings::read(IniFile(settingsPath));
    const auto db = openBook(options.home);
    RecordBatch::Header header;
    header.issuerNif = issuer.taxId.trimmed();
    header.issuerName = RecordSigning::issuerName(issuer);
    if (!signing) {
        for (const QString& path : LedgerExport::write(*db, header, options.period, options.output))
            out << path << '\n';
        return 0;
    }
    EventLog log = signing->log(*db);
    for (const QString& path : ExportLog::records(*db, log, header, options.period, options.output))
        out << path << '\n';
    if (!options.eventsOutput.isEmpty())
        out << ExportLog::events(*db, log, options.period, options.eventsOutput) << '\n';
    log.appendSummaryIfDue();
    return 0;
}

int cancel(const Options& options, const std::optional<RecordSigning>& signing, QTextStream& out) {
    const InvoiceCancellation::Settings settings = InvoiceCancellation::required(options.home);
    const auto db = openBook(options.home);
    RecordLedger::Options ledgerOptions;
    if (signing)
        ledgerOptions.signer = signing->signer();
    const StoredRecord r =
        InvoiceCancellation::cancel(*db, settings, options.invoice, std::move(ledgerOptions));
    out << QStringLiteral("Factura %1 anulada: registro de anulación n.º %2, huella %3")
               .arg(r.seriesNumber)
               .arg(r.sequence)
               .arg(r.huella)
        << '\n';
    return 0;
}

int resolve(const Options& options, const std::optional<RecordSigning>& signing, QTextStream& out) {
    if (!signing)
        throw AppError(QStringLiteral("Las alarmas de integridad solo se llevan en el modo NO "
                                      "VERI*FACTU ([VERIFACTU] MODO=NOVERIFACTU)"));
    const auto db = openBook(options.home);
    EventLog log = signing->log(*db);
    const IntegrityAlarm resolved = AlarmStore::resolve(*db, log, options.note);
    out << withFullStop(resolved.text()) << '\n';
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
        // The orders that write, in the mode that does not send, sign what
        // they write: the password first, or nothing is done.
        if (options.order == Order::Send) {
            status = sendRecords(options.home, options.certificate, options.passwordFile,
                                 options.passwordFd, out, err);
            out.flush();
            err.flush();
            return status;
        }
        std::optional<RecordSigning> signing;
        if (options.order == Order::Verify || options.order == Order::Export ||
            options.order == Order::Cancel || options.order == Order::Resolve) {
            if (RecordSigning::modeSigns(options.home) && !options.passwordGiven())
                return usageError(err, Usage,
                                  QStringLiteral("En el modo NO VERI*FACTU «records %1» firma "
                                                 "lo que anota: indique la contraseña del "
                                                 "certificado con --password-file o "
                                                 "--password-fd")
                                      .arg(arguments.value(1)));
            signing = RecordSigning::open(options.home, options.certificate, options.passwordFile,
                                          options.passwordFd, err);
        }
        switch (options.order) {
        case Order::List:
            status = list(options, out);
            break;
        case Order::Show:
            status = show(options, out);
            break;
        case Order::Verify:
            status = verify(options, signing, out);
            break;
        case Order::Export:
            status = exportPeriod(options, signing, out);
            break;
        case Order::Cancel:
            status = cancel(options, signing, out);
            break;
        case Order::Resolve:
            status = resolve(options, signing, out);
            break;
        case Order::Send: // handled above
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
