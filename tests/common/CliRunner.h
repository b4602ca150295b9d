#pragma once

// Runs orvane-cli (or another command) as a user would and keeps what it
// said: the exit status, stdout, stderr and how long it took.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace CliRunner {

struct Run {
    int status = -1; // -1: it did not start, did not end in time, or ended by a signal
    QString out, err;
    qint64 ms = 0;
};

// Runs program with input on its stdin (closed after it). The limit is generous
// for sanitizer builds; a plain build needs a few seconds at most.
inline Run run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
               int limitMs = 120000) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(10000))
        return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished();
        qWarning("%s did not finish in time", qPrintable(program));
        return result;
    }
    result.ms = clock.elapsed();
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Writes a file for the command to read; its path.
inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

// What the command wrote; nothing when there is no such file.
inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether text holds nothing but the document check's findings about file,
// one per line, as orvane-cli check writes them (none at all is fine).
inline bool onlyFindings(const QString& text, const QString& file) {
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QString rest = line.mid(file.size() + 2);
        if (!line.startsWith(file + QStringLiteral(": ")) ||
            !(rest.startsWith(QStringLiteral("ERROR ")) ||
              rest.startsWith(QStringLiteral("WARNING ")) ||
              rest.startsWith(QStringLiteral("INFO "))))
            return false;
    }
    return text.isEmpty() || text.endsWith(u'\n');
}

inline Run cli(const QStringList& arguments, const QByteArray& input = {}) {
    return run(QStringLiteral(ORVANE_CLI_PATH), arguments, input);
}

} // namespace CliRunner
