#include "signing/AutoFirmaLaunch.h"

#include "common/SystemReason.h"

#include <QDir>
#include <QProcess>

namespace AutoFirmaLaunch {

QString signedFileName(const QString& input) {
    const qsizetype separator = qMax(input.lastIndexOf(u'/'), input.lastIndexOf(u'\\'));
    const qsizetype dot = input.lastIndexOf(u'.');
    if (dot > separator)
        return input.left(dot + 1) + QStringLiteral("XSIG");
    return input + QStringLiteral(".XSIG");
}

QStringList arguments(const QString& command, const QString& input, const QString& output,
                      const QString& format) {
    QStringList args = command.split(u' ', Qt::SkipEmptyParts);
    args << QStringLiteral("-i") << input << QStringLiteral("-o") << output;
    args << format.split(u' ', Qt::SkipEmptyParts);
    return args;
}

QString run(const QString& folder, const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProgram(QDir(folder).filePath(program));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(-1))
        return startFailure(folder, program, process.errorString());
    process.waitForFinished(-1);
    return {};
}

QString startFailure(const QString& folder, const QString& program, const QString& systemText) {
    return QStringLiteral("No se puede iniciar AutoFirma (%1): %2")
        .arg(QDir::toNativeSeparators(QDir(folder).filePath(program)),
             SystemReason::spanish(systemText));
}

} // namespace AutoFirmaLaunch
