// Times making billing records and checking their chain: 100,000 records
// built one after another (each naming the one before), then the chain check
// over all of them, as the book will feed it row by row. Everything is in
// memory: the figures are the program's, not the disk's.
//
//   orvane-bench-records [COUNT] [RUNS]   (defaults 100000 and 5)

#include "BenchKit.h"
#include "common/Decimal.h"
#include "records/ChainVerifier.h"
#include "records/RecordBuilder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimeZone>

#include <ctime>
#include <vector>

namespace {

// The processor time this thread used, in milliseconds: on a busy machine it
// says more about the program than the time on the clock.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

BillingRecord record(int number, const QDateTime& at) {
    BillingRecord r;
    r.invoice = {QStringLiteral("89890001K"), QStringLiteral("A-2027-%1").arg(number),
                 QDate(2027, 3, 5)};
    r.issuerName = QStringLiteral("Ferretería Ñandú, S.L.");
    r.description = QStringLiteral("Tornillos, tuercas y arandelas");
    r.recipients = {
        {QStringLiteral("Construcciones Lérez, S.A."), QStringLiteral("89890002E"), {}, {}, {}}};
    r.details = {{VatTreatment::S1, Decimal::fromInteger(21),
                  Decimal::fromScaled(10000 + number, 2), Decimal::fromScaled(2100, 2)},
                 {VatTreatment::S1, Decimal::fromInteger(10), Decimal::fromScaled(5025, 2),
                  Decimal::fromScaled(503, 2)},
                 {VatTreatment::E1, Decimal(), Decimal::fromScaled(1200, 2), Decimal()}};
    r.system = {QStringLiteral("Productora, S.L."), QStringLiteral("B12345674"),
                QStringLiteral("Orvane"),           QStringLiteral("OV"),
                QStringLiteral("1.0.1.0"),          QStringLiteral("7f3c2a90-0001")};
    r.generatedAt = at;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() >= 2 ? qMax(1, args[1].toInt()) : 100000;
    const int runs = args.size() >= 3 ? qMax(1, args[2].toInt()) : 5;

    std::vector<QByteArray> stored;
    std::vector<double> buildTimes;
    std::vector<double> verifyTimes;
    std::vector<double> buildCpu;
    std::vector<double> verifyCpu;
    qsizetype bytes = 0;
    for (int run = 0; run < runs; ++run) {
        stored.clear();
        stored.reserve(std::size_t(count));
        const QDateTime start(QDate(2027, 3, 5), QTime(9, 0), Qt::UTC);
        QElapsedTimer timer;
        timer.start();
        double cpu = cpuMs();
        ChainLink link = ChainLink::start();
        for (int i = 0; i < count; ++i) {
            BillingRecord r = record(i + 1, start.addSecs(i));
            r.chain = link;
            BuiltRecord built = RecordBuilder::build(r);
            link = ChainLink::after(r.invoice, built.huella);
            stored.push_back(std::move(built.xml));
        }
        buildTimes.push_back(timer.nsecsElapsed() / 1e6);
        buildCpu.push_back(cpuMs() - cpu);

        timer.restart();
        cpu = cpuMs();
        ChainVerifier verifier;
        for (int i = 0; i < count; ++i)
            verifier.add(i + 1, stored[std::size_t(i)]);
        verifyTimes.push_back(timer.nsecsElapsed() / 1e6);
        verifyCpu.push_back(cpuMs() - cpu);
        if (!verifier.ok())
            qFatal("the chain does not check: %s", qPrintable(verifier.summary()));
        bytes = 0;
        for (const QByteArray& b : stored)
            bytes += b.size();
    }
    QTextStream(stdout) << count << " records (" << bytes / count << " bytes each), median of "
                        << runs << " runs:\n"
                        << "  building: " << BenchKit::median(buildTimes) << " ms ("
                        << BenchKit::median(buildCpu) << " ms of processor, "
                        << BenchKit::median(buildCpu) * 1000 / count << " µs per record)\n"
                        << "  chain check: " << BenchKit::median(verifyTimes) << " ms ("
                        << BenchKit::median(verifyCpu) << " ms of processor)\n";
    return 0;
}
