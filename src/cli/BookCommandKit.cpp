#include "cli/BookCommandKit.h"

#include "book/BookDatabase.h"
#include "cli/CommandArguments.h"
#include "common/AppError.h"
#include "common/ValueForms.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

#include <QTextStream>

namespace BookCommandKit {

namespace {

// Reads a date option into date; the problem, if any.
QString readDate(const QString& option, CommandArguments& args, QDate& date) {
    QString text;
    if (!args.takeValue(text))
        return QStringLiteral("Falta la fecha tras %1").arg(option);
    const std::optional<QDate> read = ValueForms::parseDate(text.trimmed());
    if (!read)
        return QStringLiteral("%1: la fecha «%2» %3; escriba dd/mm/aaaa o aaaa-mm-dd")
            .arg(option, text, ValueForms::dateProblem(text.trimmed()));
    date = *read;
    return {};
}

} // namespace

int readArguments(const QStringList& arguments, const char* usage, Filters filters,
                  QTextStream& out, QTextStream& err, Options& options,
                  const OwnOption& ownOption) {
    CommandArguments args(arguments);
    QString a;
    while (args.nextOption(a)) {
        QString problem;
        BookFilter& f = options.filter;
        if (a == u"--home") {
            if (!args.takeValue(options.home))
                problem = QStringLiteral("Falta la carpeta tras --home");
        } else if (args.isHelp(a)) {
            return showHelp(out, usage);
        } else if (filters == Filters::Taken && a == u"--from") {
            problem = readDate(a, args, f.from);
        } else if (filters == Filters::Taken && a == u"--to") {
            problem = readDate(a, args, f.to);
        } else if (filters == Filters::Taken && a == u"--series") {
            f.seriesSet = args.takeValue(f.series);
            if (!f.seriesSet)
                problem = QStringLiteral("Falta la serie tras --series");
        } else if (filters == Filters::Taken && a == u"--customer") {
            if (!args.takeValue(f.customer))
                problem = QStringLiteral("Falta el texto tras --customer");
        } else if (const auto own = ownOption ? ownOption(a, args) : std::optional<QString>()) {
            problem = *own;
        } else {
            problem = unknownOption(a);
        }
        if (!problem.isEmpty())
            return usageError(err, usage, problem);
    }
    if (options.filter.from.isValid() && options.filter.to.isValid() &&
        options.filter.from > options.filter.to)
        return usageError(err, usage,
                          QStringLiteral("La fecha de --from (%1) es posterior a la de --to (%2)")
                              .arg(ValueForms::dateText(options.filter.from),
                                   ValueForms::dateText(options.filter.to)));
    options.files = args.files();
    return -1;
}

std::unique_ptr<BookDatabase> openBook(const QString& home, bool create) {
    return create ? BookDatabase::open(home) : BookDatabase::openExisting(home);
}

QString ownTaxId(const QString& home) {
    return IssuerSettings::read(IniFile(AppFiles::registroIni(home))).taxId.trimmed();
}

int failed(QTextStream& err, const AppError& error) {
    err << withFullStop(error.message()) << '\n';
    err.flush();
    return 1;
}

} // namespace BookCommandKit
