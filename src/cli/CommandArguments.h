#pragma once

#include <QStringList>

class QTextStream;

// Walks a command's arguments after its name, the same way for every command:
// a word not starting with '-' (or a lone "-") is a file, "--" makes every later
// argument a file, and anything else is an option for the command to handle.
class CommandArguments {
public:
    explicit CommandArguments(const QStringList& arguments);

    // Moves to the next option, collecting the files met on the way; false when
    // no option is left.
    bool nextOption(QString& option);
    // The argument after the current option, taken as its value; false when
    // there is none.
    bool takeValue(QString& into);
    bool isHelp(const QString& option) const;
    const QStringList& files() const { return m_files; }

private:
    QStringList m_arguments;
    qsizetype m_next = 1;
    bool m_onlyFiles = false;
    QStringList m_files;
};

// The command's usage on stderr after the problem, if any; returns exit status 2.
int usageError(QTextStream& err, const char* usage, const QString& problem);
// The command's usage on stdout for --help; returns exit status 0.
int showHelp(QTextStream& out, const char* usage);
QString unknownOption(const QString& option);
