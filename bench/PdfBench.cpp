// Times the readable copy: a Facturae document (already in memory) read and
// painted into a PDF file, for documents of 1, 100 and 10,000 lines, in
// process, and reports each size's peak memory. Each size runs in a child
// process so its peak is its own. The documents come from the same import
// files as orvane-bench. The PDF goes to a file without the final disk sync.
//
//   orvane-pdf-bench [RUNS]              all sizes, RUNS timed runs each (default 5)
//   orvane-pdf-bench --measure FILE RUNS one size (used by the parent)

#include "BenchKit.h"
#include "InvoiceBuilder.h"
#include "pdf/FacturaeReader.h"
#include "pdf/InvoicePdf.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

using BenchKit::median;

int measure(const QString& importPath, int runs) {
    const QByteArray bytes = BenchKit::documentOf(importPath);

    const QString output = importPath + QStringLiteral(".pdf");
    std::vector<double> times, cpu;
    double first = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMs();
        const FacturaeDocument::Document doc = FacturaeReader::read(bytes);
        QFile file(output);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(output));
        InvoicePdf::write(doc, file, nullptr);
        file.close();
        const double ms = timer.nsecsElapsed() / 1e6;
        cpu.push_back(cpuMs() - cpuStart);
        if (i == 0)
            first = ms;
        times.push_back(ms);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    QTextStream(stdout) << median(times) << ' ' << first << ' ' << usage.ru_maxrss << ' '
                        << QFileInfo(output).size() << ' ' << median(cpu) << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == u"--measure")
        return measure(args[2], args[3].toInt());

    const int runs = args.size() >= 2 ? qMax(1, args[1].toInt()) : 5;
    QTemporaryDir dir;
    QTextStream out(stdout);
    out << "Facturae document read and painted into a PDF file, median of " << runs
        << " runs (first run apart: it loads the fonts); cpu: the process's own time, which\n"
        << "a busy machine does not inflate\n";
    out << qSetFieldWidth(11) << "lines"
        << "median ms"
        << "cpu ms"
        << "first ms"
        << "peak MB"
        << "pdf MB" << qSetFieldWidth(0) << '\n';
    for (const int lines : {1, 100, 10000}) {
        const QString path = dir.filePath(QStringLiteral("bench%1.ini").arg(lines));
        InvoiceBuilder::writeImportFile(path, lines);
        const QStringList f = BenchKit::measureInChild(path, runs, 5);
        if (f.isEmpty()) {
            out << "measurement failed for " << lines << " lines\n";
            return 1;
        }
        out << qSetFieldWidth(11) << lines << QString::number(f[0].toDouble(), 'f', 1)
            << QString::number(f[4].toDouble(), 'f', 1) << QString::number(f[1].toDouble(), 'f', 1)
            << QString::number(f[2].toDouble() / 1024.0, 'f', 1)
            << QString::number(f[3].toDouble() / 1048576.0, 'f', 2) << qSetFieldWidth(0) << '\n';
    }
    return 0;
}
