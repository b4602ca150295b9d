#include "cli/EachFile.h"

#include "cli/CommandArguments.h"

#include "common/AppError.h"

#include <QTextStream>

int readEachFileArguments(const QStringList& arguments, const EachFileUsage& usage,
                          QTextStream& out, QTextStream& err, EachFileOptions& options,
                          const OwnOption& ownOption) {
    CommandArguments args(arguments);
    QString a;
    while (args.nextOption(a)) {
        if (a == u"--home") {
            if (!args.takeValue(options.home))
                return usageError(err, usage.usage, QStringLiteral("Falta la carpeta tras --home"));
        } else if (a == u"-o") {
            if (!args.takeValue(options.output))
                return usageError(err, usage.usage, QStringLiteral("Falta el fichero tras -o"));
        } else if (args.isHelp(a)) {
            return showHelp(out, usage.usage);
        } else if (const auto own = ownOption ? ownOption(a, args) : std::optional<QString>()) {
            if (!own->isEmpty())
                return usageError(err, usage.usage, *own);
        } else {
            return usageError(err, usage.usage, unknownOption(a));
        }
    }
    options.inputs = args.files();
    if (options.inputs.isEmpty())
        return usageError(err, usage.usage, usage.noInput);
    if (!options.output.isEmpty() && options.inputs.size() > 1)
        return usageError(err, usage.usage, usage.oneInputOnly);
    return -1;
}

int writeEachFile(const QStringList& inputs, QTextStream& out, QTextStream& err,
                  const std::function<QString(const QString& input)>& writeOne) {
    int status = 0;
    for (const QString& input : inputs) {
        try {
            out << writeOne(input) << '\n';
        } catch (const AppError& error) {
            err << input << ": " << withFullStop(error.message()) << '\n';
            status = 1;
        } catch (const std::exception& error) {
            err << input << ": " << withFullStop(unexpectedError(error)) << '\n';
            status = 1;
        }
        out.flush();
        err.flush();
    }
    return status;
}
