#include "cli/CommandArguments.h"

#include <QTextStream>

CommandArguments::CommandArguments(const QStringList& arguments) : m_arguments(arguments) {}

bool CommandArguments::nextOption(QString& option) {
    while (m_next < m_arguments.size()) {
        const QString& a = m_arguments[m_next++];
        if (m_onlyFiles || !a.startsWith(u'-') || a == u"-") {
            m_files << a;
        } else if (a == u"--") {
            m_onlyFiles = true;
        } else {
            option = a;
            return true;
        }
    }
    return false;
}

bool CommandArguments::takeValue(QString& into) {
    if (m_next >= m_arguments.size())
        return false;
    into = m_arguments[m_next++];
    return true;
}

bool CommandArguments::isHelp(const QString& option) const {
    return option == u"-h" || option == u"--help";
}

int usageError(QTextStream& err, const char* usage, const QString& problem) {
    if (!problem.isEmpty())
        err << problem << '\n';
    err << QString::fromUtf8(usage);
    err.flush();
    return 2;
}

int showHelp(QTextStream& out, const char* usage) {
    out << QString::fromUtf8(usage);
    out.flush();
    return 0;
}

QString unknownOption(const QString& option) {
    return QStringLiteral("Opción desconocida: %1").arg(option);
}
