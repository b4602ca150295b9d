// Times the billing records kept in the book: issuing one invoice with its
// record (each a durable commit), then the check of a stored chain of COUNT
// records read from the book one at a time.
//
//   orvane-bench-ledger [COUNT] [RUNS]   (defaults 100000 and 5)

#include "BenchKit.h"
#include "book/BookDatabase.h"
#include "ledger/LedgerCheck.h"
#include "ledger/RecordLedger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>
#include <vector>

namespace {

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

const QDateTime Start(QDate(2027, 3, 5), QTime(9, 0), Qt::UTC);

RecordLedger::Options options(QDateTime& now) {
    RecordLedger::Options o;
    o.clock = [&now] { return now; };
    o.producer = ProducerData::fromJson(
        R"({"producer": {"name": "Productora, S.L.", "taxId": "B12345674"},
            "system": {"name": "Orvane", "id": "OV"}})",
        QStringLiteral("1.0.1.0"));
    return o;
}

// An invoice of three VAT details and its alta, as the memory benchmark makes.
InvoiceRow invoice(int number) {
    InvoiceRow row;
    InvoiceSummary& s = row.summary;
    s.issuerTaxId = QStringLiteral("89890001K");
    s.series = QStringLiteral("A");
    s.number = QString::number(number);
    s.issueDate = QDate(2027, 3, 5);
    s.customerTaxId = QStringLiteral("89890002E");
    s.customerName = QStringLiteral("Construcciones Lérez, S.A.");
    s.baseCents = 10000 + number + 5025 + 1200;
    s.vatCents = 2100 + 503;
    s.totalCents = s.baseCents + s.vatCents;
    row.vatGroups = {{QStringLiteral("21.00"), 10000 + number, 2100},
                     {QStringLiteral("10.00"), 5025, 503},
                     {QStringLiteral("0.00"), 1200, 0}};
    row.document = QByteArray(8000, ' ') + s.number.toLatin1();
    row.fileName = s.number + QStringLiteral(".XML");
    return row;
}

BillingRecord alta(const InvoiceRow& row, int number) {
    BillingRecord r;
    r.invoice = {row.summary.issuerTaxId, row.summary.seriesNumber(), row.summary.issueDate};
    r.issuerName = QStringLiteral("Ferretería Ñandú, S.L.");
    r.description = QStringLiteral("Tornillos, tuercas y arandelas");
    r.recipients = {{row.summary.customerName, row.summary.customerTaxId, {}, {}, {}}};
    r.details = {{VatTreatment::S1, Decimal::fromInteger(21),
                  Decimal::fromScaled(10000 + number, 2), Decimal::fromScaled(2100, 2)},
                 {VatTreatment::S1, Decimal::fromInteger(10), Decimal::fromScaled(5025, 2),
                  Decimal::fromScaled(503, 2)},
                 {VatTreatment::E1, Decimal(), Decimal::fromScaled(1200, 2), Decimal()}};
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() >= 2 ? qMax(1, args[1].toInt()) : 100000;
    const int runs = args.size() >= 3 ? qMax(1, args[2].toInt()) : 5;
    QTextStream out(stdout);

    // Issuing: each invoice with its record in one transaction, synced to disk.
    {
        constexpr int Issues = 200;
        QTemporaryDir dir(QDir::current().filePath(QStringLiteral("ledger-bench-XXXXXX")));
        auto db = BookDatabase::open(dir.path());
        QDateTime now = Start;
        RecordLedger ledger(*db, options(now));
        std::vector<double> wall;
        for (int i = 1; i <= Issues; ++i) {
            now = now.addSecs(1);
            const InvoiceRow row = invoice(i);
            QElapsedTimer timer;
            timer.start();
            ledger.issue(row, alta(row, i));
            wall.push_back(timer.nsecsElapsed() / 1e6);
        }
        out << "Issuing an invoice with its record (durable commit), " << Issues
            << " issues into a book in " << QDir::currentPath() << ":\n  median "
            << BenchKit::median(wall) << " ms, slowest "
            << *std::max_element(wall.begin(), wall.end()) << " ms\n";
        out.flush();
    }

    // The check of a stored chain.
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("ledger-bench-XXXXXX")));
    {
        auto db = BookDatabase::open(dir.path());
        QDateTime now = Start;
        RecordLedger ledger(*db, options(now));
        BookDatabase::Transaction all(*db);
        for (int i = 1; i <= count; ++i) {
            now = now.addSecs(1);
            ledger.append(alta(invoice(i), i));
        }
        all.commit();
    }
    const auto db = BookDatabase::open(dir.path());
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMs();
        const LedgerCheckReport report = LedgerCheck::run(*db);
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMs() - cpuStart);
        if (!report.ok() || report.chains.first().count != count)
            qFatal("the chain does not check: %s", qPrintable(report.chains.first().summary));
    }
    const qint64 size = QFileInfo(db->path()).size();
    out << "records verify over " << count << " stored records (book of " << size / 1000000
        << " MB), median of " << runs << " runs:\n  wall " << BenchKit::median(wall)
        << " ms, processor " << BenchKit::median(cpu) << " ms\n";
    return 0;
}
