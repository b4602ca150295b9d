#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class CommandArguments;
class QTextStream;

// What a command that writes one file per input (generate, pdf) is given:
// --home, -o (only with a single input) and the inputs.
struct EachFileOptions {
    QString home;
    QString output;
    QStringList inputs;
};

// The texts of such a command: its usage, and the problems with its inputs.
struct EachFileUsage {
    const char* usage;
    QString noInput;      // no file given
    QString oneInputOnly; // -o with several files
};

// A command's own option: std::nullopt when the option is not its own, an
// empty text when it took it, or else the problem to show with the usage.
using OwnOption =
    std::function<std::optional<QString>(const QString& option, CommandArguments& arguments)>;

// Reads the arguments after the command's name into options (home keeps the
// value it comes with unless --home is given). Returns -1 when the command
// goes on, or the exit status to end with: 0 after --help, 2 after a usage
// problem (written with the usage on stderr).
int readEachFileArguments(const QStringList& arguments, const EachFileUsage& usage,
                          QTextStream& out, QTextStream& err, EachFileOptions& options,
                          const OwnOption& ownOption = {});

// Runs a command's work on each file in turn: the path written on stdout, or
// "<file>: <message>" on stderr when that file fails; the others go on.
// Returns 0 when every file succeeded, 1 otherwise.
int writeEachFile(const QStringList& inputs, QTextStream& out, QTextStream& err,
                  const std::function<QString(const QString& input)>& writeOne);
