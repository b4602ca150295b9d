#include "SignBench.h"
#include "BenchKit.h"

#include "InvoiceBuilder.h"
#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "signing/DocumentSigning.h"
#include "signing/SignatureVerifier.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesSigner.h"
#include "storage/InvoiceImport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Timing {
    double wall = 0; // median, ms
    double cpu = 0;  // median processor time of this process, ms
};

// The machine may be shared: the processor time shows the work itself, the
// wall time what a person waits.
Timing median(int runs, const std::function<void()>& work) {
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const double cpuBefore = cpuMs();
        timer.start();
        work();
        walls.push_back(timer.nsecsElapsed() / 1e6);
        cpus.push_back(cpuMs() - cpuBefore);
    }
    return {BenchKit::median(walls), BenchKit::median(cpus)};
}

QString figures(const Timing& timing) {
    return QStringLiteral("%1 ms wall, %2 ms processor")
        .arg(QString::number(timing.wall, 'f', 0).rightJustified(5),
             QString::number(timing.cpu, 'f', 0).rightJustified(5));
}

} // namespace

int runSignBench(int runs) {
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString import = dir.filePath(QStringLiteral("bench.ini"));
    const QString document = dir.filePath(QStringLiteral("bench.xml"));
    InvoiceBuilder::writeImportFile(import, 10000);
    {
        InvoiceRecord record;
        record.lines().open();
        InvoiceImport::importFile(record, import, true);
        FacturaeWriter::save(record, document);
    }
    if (!BenchKit::openssl(dir, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                 "k.pem", "-out", "c.pem", "-days", "30", "-subj",
                                 "/CN=Prueba/serialNumber=IDCES-99999999R"}) ||
        !BenchKit::openssl(dir, {"pkcs12", "-export", "-inkey", "k.pem", "-in", "c.pem", "-out",
                                 "c.p12", "-passout", "pass:bench"})) {
        out << "the openssl command could not make the certificate\n";
        return 1;
    }
    try {
        QByteArray password("bench");
        const SigningCertificate certificate =
            SigningCertificate::open(dir.filePath(QStringLiteral("c.p12")), password);
        const QByteArray bytes = BoundedFile::readDocument(document);
        QByteArray signedBytes;
        const Timing sign = median(runs, [&] {
            signedBytes = XadesSigner::sign(bytes, certificate, QDateTime::currentDateTime());
        });
        const Timing verify = median(runs, [&] {
            if (!SignatureVerifier::verify(signedBytes).valid())
                qFatal("the signed document does not pass its check");
        });
        const Timing both = median(runs, [&] {
            const QByteArray again =
                XadesSigner::sign(bytes, certificate, QDateTime::currentDateTime());
            if (!SignatureVerifier::verify(again).valid())
                qFatal("the signed document does not pass its check");
        });
        const QString output = dir.filePath(QStringLiteral("bench.XSIG"));
        const Timing file =
            median(runs, [&] { DocumentSigning::signFile(document, certificate, output); });
        out << "10,000-line invoice (" << QString::number(bytes.size() / 1048576.0, 'f', 1)
            << " MB), median of " << runs << " runs\n"
            << "  sign                      " << figures(sign) << '\n'
            << "  check                     " << figures(verify) << '\n'
            << "  sign + check              " << figures(both) << '\n'
            << "  sign a file as the program does (read, sign, check, save)\n"
            << "                            " << figures(file) << '\n';
    } catch (const AppError& error) {
        out << error.message() << '\n';
        return 1;
    }
    return 0;
}
