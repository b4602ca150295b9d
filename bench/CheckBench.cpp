#include "CheckBench.h"
#include "BenchKit.h"

#include "facturae/DocumentCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>
#include <sys/resource.h>
#include <vector>

namespace {

using BenchKit::median;

struct Times {
    double wall = -1; // ms from start to exit
    double cpu = -1;  // ms of user and system time: on a busy machine the steadier figure
};

double childCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

Times timed(const QString& program, const QStringList& arguments) {
    QProcess child;
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    const double cpuBefore = childCpu();
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    Times t;
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit)
        return t;
    t.wall = timer.nsecsElapsed() / 1e6;
    t.cpu = childCpu() - cpuBefore;
    return t;
}

} // namespace

int checkOnce(const QString& document) {
    QFile file(document);
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    // Read in place, as orvane-cli check reads a file.
    uchar* mapped = file.map(0, file.size());
    const CheckFindings findings = DocumentCheck::run(
        mapped ? QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size())
               : file.readAll());
    return hasErrors(findings) ? 1 : 0;
}

int checkBench(const QString& importFile, int runs, QTextStream& out) {
    const QString document = importFile + QStringLiteral(".check.xml");
    {
        QFile file(document);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(document));
        file.write(BenchKit::documentOf(importFile));
    }
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    const QString schema = QStringLiteral(ORVANE_SCHEMA_FILE);
    std::vector<double> oursWall, oursCpu, theirsWall, theirsCpu;
    for (int i = 0; i < runs; ++i) {
        const Times ours = timed(QCoreApplication::applicationFilePath(),
                                 {QStringLiteral("--check-once"), document});
        oursWall.push_back(ours.wall);
        oursCpu.push_back(ours.cpu);
        if (xmllint.isEmpty())
            continue;
        const Times theirs = timed(
            xmllint, {QStringLiteral("--noout"), QStringLiteral("--schema"), schema, document});
        theirsWall.push_back(theirs.wall);
        theirsCpu.push_back(theirs.cpu);
    }
    out << "\nCheck of the " << QFile(document).size() / 1048576.0
        << " MB document written for the 10,000-line import, median of " << runs
        << " runs, each a fresh process:\n";
    auto row = [&](const char* name, const std::vector<double>& wall,
                   const std::vector<double>& cpu) {
        out << "  " << QString::fromLatin1(name).leftJustified(52) << " wall "
            << QString::number(median(wall), 'f', 1) << " ms, cpu "
            << QString::number(median(cpu), 'f', 1) << " ms\n";
    };
    row("orvane check (schema + sums + parties + payment):", oursWall, oursCpu);
    if (theirsWall.empty()) {
        out << "  xmllint --noout --schema: not installed\n";
        return 0;
    }
    row("xmllint --noout --schema (schema only):", theirsWall, theirsCpu);
    out << "  ratio: wall " << QString::number(median(oursWall) / median(theirsWall), 'f', 2)
        << ", cpu " << QString::number(median(oursCpu) / median(theirsCpu), 'f', 2) << '\n';
    return 0;
}
