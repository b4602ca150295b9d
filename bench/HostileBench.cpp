#include "HostileBench.h"
#include "BenchKit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>
#include <vector>

namespace {

bool cli(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(ORVANE_CLI_PATH), arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray deep(QByteArray document) {
    return document.insert(document.lastIndexOf("</fe:Facturae>"),
                           QByteArray("<a>").repeated(100000) +
                               QByteArray("</a>").repeated(100000));
}

QByteArray entity(QByteArray document) {
    const qsizetype start = document.indexOf("<InvoiceNumber>") + 15;
    document.replace(start, document.indexOf("</InvoiceNumber>") - start,
                     QByteArray("&e;").repeated(20000));
    return document.insert(document.indexOf("<fe:Facturae"),
                           "<!DOCTYPE fe:Facturae [<!ENTITY e \"" + QByteArray(100000, 'x') +
                               "\">]>\n");
}

struct Run {
    double ms = -1;
    double peakMb = -1;
    int status = -1; // -1: ended by a signal
};

// Each run from a fresh child of this program, whose only child is the tool:
// its children's peak is then the tool's own.
Run measure(const QStringList& cliArguments) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--hostile-once")} + cliArguments);
    child.waitForFinished(-1);
    const QStringList f = QString::fromLatin1(child.readAllStandardOutput()).split(u' ');
    if (f.size() < 3)
        return {};
    return {f[0].toDouble(), f[1].toDouble() / 1024.0, f[2].toInt()};
}

} // namespace

int hostileOnce(const QStringList& cliArguments) {
    QProcess tool;
    QElapsedTimer timer;
    timer.start();
    tool.start(QStringLiteral(ORVANE_CLI_PATH), cliArguments);
    tool.waitForFinished(-1);
    const double ms = timer.nsecsElapsed() / 1e6;
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const int status = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    QTextStream(stdout) << ms << ' ' << usage.ru_maxrss << ' ' << status << '\n';
    return 0;
}

int runHostileBench(int runs) {
    QTextStream out(stdout);
    QTemporaryDir dir;
    // A sample the check finds clean, so that sign gets as far as it can.
    const QString import = QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini");
    const QString document = dir.filePath(QStringLiteral("bench.xml"));
    const QString signedDocument = dir.filePath(QStringLiteral("bench.xsig"));
    const QString password = dir.filePath(QStringLiteral("clave.txt"));
    const QString certificate = dir.filePath(QStringLiteral("c.p12"));
    write(password, "bench\n");
    if (!BenchKit::openssl(dir, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                 "k.pem", "-out", "c.pem", "-days", "30", "-subj",
                                 "/CN=Prueba/serialNumber=IDCES-99999999R"}) ||
        !BenchKit::openssl(dir, {"pkcs12", "-export", "-inkey", "k.pem", "-in", "c.pem", "-out",
                                 "c.p12", "-passout", "pass:bench"}) ||
        !cli({"generate", "--home", dir.path(), "-o", document, import}) ||
        !cli({"sign", "--cert", certificate, "--password-file", password, "-o", signedDocument,
              document})) {
        out << "the certificate or the documents could not be made\n";
        return 1;
    }
    struct Hostile {
        const char* name;
        QByteArray (*make)(QByteArray);
    };
    const Hostile files[] = {{"100,000 nested elements", &deep},
                             {"entity of 100 KB used 20,000 times", &entity}};
    out << "orvane-cli on hostile documents: median wall time of " << runs
        << " runs, peak memory, exit status\n";
    for (const Hostile& file : files) {
        const QString unsignedPath = dir.filePath(QStringLiteral("hostile.xml"));
        const QString signedPath = dir.filePath(QStringLiteral("hostile.xsig"));
        write(unsignedPath, file.make(readAll(document)));
        write(signedPath, file.make(readAll(signedDocument)));
        out << "  " << file.name << " (" << QString::number(readAll(unsignedPath).size() / 1024)
            << " KB)\n";
        const struct {
            const char* command;
            QStringList arguments;
        } commands[] = {
            {"check", {"check", unsignedPath}},
            {"verify", {"verify", signedPath}},
            {"sign",
             {"sign", "--cert", certificate, "--password-file", password, "-o",
              dir.filePath(QStringLiteral("out.xsig")), unsignedPath}},
        };
        for (const auto& command : commands) {
            std::vector<double> times;
            double peak = 0;
            int status = 0;
            for (int i = 0; i < runs; ++i) {
                const Run run = measure(command.arguments);
                times.push_back(run.ms);
                peak = qMax(peak, run.peakMb);
                status = run.status;
            }
            out << "    " << QString::fromLatin1(command.command).leftJustified(8)
                << QString::number(BenchKit::median(times), 'f', 0).rightJustified(6) << " ms "
                << QString::number(peak, 'f', 1).rightJustified(7) << " MB   exit " << status
                << '\n';
        }
    }
    out << "Target: each refused (exit 1) in under 1 s and 50 MB.\n";
    return 0;
}
