// Times the import of an invoice file plus the writing of its document, for
// files of 1, 100, 10,000 and 100,000 lines, and reports each size's peak
// memory. Each size runs in a child process so its peak is its own.
// The document goes to a file as the program writes it, without the disk
// sync that ends a real save.
//
//   orvane-bench [RUNS]         all sizes, RUNS timed runs each (default 7), then the
//                               document check of the 10,000-line document against xmllint
//   orvane-bench --measure FILE RUNS   one size (used by the parent)
//   orvane-bench --sign [RUNS]  signing and checking a 10,000-line invoice
//   orvane-bench --hostile [RUNS]  orvane-cli check, verify and sign on hostile documents
//   orvane-bench --write-file FILE LINES   only writes an import file of that
//                               size (for profiling a single --measure run)

#include "BenchKit.h"
#include "CheckBench.h"
#include "HostileBench.h"
#include "InvoiceBuilder.h"
#include "SignBench.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "storage/InvoiceImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <sys/resource.h>
#include <vector>

namespace {

using BenchKit::median;

int measure(const QString& path, int runs) {
    const QString output = path + QStringLiteral(".XML");
    std::vector<double> times;
    qsizetype bytes = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        InvoiceRecord record;
        record.lines().open();
        InvoiceImport::importFile(record, path, true);
        // Written as the program writes it, less the final disk sync of the
        // atomic save, which measures the disk rather than the program.
        QFile file(output);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(output));
        FacturaeWriter::write(record, file);
        file.close();
        times.push_back(timer.nsecsElapsed() / 1e6);
        bytes = QFileInfo(output).size();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    QTextStream(stdout) << median(times) << ' ' << *std::min_element(times.begin(), times.end())
                        << ' ' << usage.ru_maxrss << ' ' << bytes << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == u"--measure")
        return measure(args[2], args[3].toInt());
    if (args.size() >= 3 && args[1] == u"--check-once")
        return checkOnce(args[2]);
    if (args.size() >= 4 && args[1] == u"--write-file") {
        InvoiceBuilder::writeImportFile(args[2], args[3].toInt());
        return 0;
    }
    if (args.size() >= 2 && args[1] == u"--sign")
        return runSignBench(args.size() >= 3 ? qMax(1, args[2].toInt()) : 7);
    if (args.size() >= 2 && args[1] == u"--hostile")
        return runHostileBench(args.size() >= 3 ? qMax(1, args[2].toInt()) : 7);
    if (args.size() >= 2 && args[1] == u"--hostile-once")
        return hostileOnce(args.mid(2));

    const int runs = args.size() >= 2 ? qMax(1, args[1].toInt()) : 7;
    QTemporaryDir dir;
    QTextStream out(stdout);
    out << "Import + document written to a file, median of " << runs << " runs\n";
    out << qSetFieldWidth(10) << "lines"
        << "median ms"
        << "min ms"
        << "peak MB"
        << "doc MB"
        << "ms/1k ln" << qSetFieldWidth(0) << '\n';
    for (const int lines : {1, 100, 10000, 100000}) {
        const QString path = dir.filePath(QStringLiteral("bench%1.ini").arg(lines));
        InvoiceBuilder::writeImportFile(path, lines);
        const QStringList f = BenchKit::measureInChild(path, runs, 4);
        if (f.isEmpty()) {
            out << "measurement failed for " << lines << " lines\n";
            return 1;
        }
        const double ms = f[0].toDouble();
        out << qSetFieldWidth(10) << lines << QString::number(ms, 'f', 2)
            << QString::number(f[1].toDouble(), 'f', 2)
            << QString::number(f[2].toDouble() / 1024.0, 'f', 1)
            << QString::number(f[3].toDouble() / 1048576.0, 'f', 1)
            << QString::number(ms * 1000.0 / lines, 'f', 2) << qSetFieldWidth(0) << '\n';
    }
    return checkBench(dir.filePath(QStringLiteral("bench10000.ini")), runs, out);
}
