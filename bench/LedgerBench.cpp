// Times the billing records kept in the book: issuing one invoice with its
// record (each a durable commit), the same with the record signed (working
// without sending), then the check of a stored chain of COUNT records read
// from the book one at a time.
//
//   orvane-bench-ledger [COUNT] [RUNS]   (defaults 100000 and 5)

#include "BenchKit.h"
#include "book/BookDatabase.h"
#include "ledger/EventLog.h"
#include "ledger/IntegrityCheck.h"
#include "ledger/LedgerCheck.h"
#include "ledger/RecordLedger.h"
#include "session/RecordSignatures.h"
#include "signing/SigningCertificate.h"

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

    // Issuing with the record signed: a certificate made now, the invoices
    // dated today so that it is valid when they are signed.
    {
        constexpr int Issues = 200;
        QTemporaryDir dir(QDir::current().filePath(QStringLiteral("ledger-bench-XXXXXX")));
        if (!BenchKit::openssl(dir, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                     "k.pem", "-out", "c.pem", "-days", "30", "-subj",
                                     "/CN=Prueba/serialNumber=IDCES-99999999R"}) ||
            !BenchKit::openssl(dir, {"pkcs12", "-export", "-inkey", "k.pem", "-in", "c.pem", "-out",
                                     "c.p12", "-passout", "pass:bench"})) {
            out << "the openssl command could not make the certificate\n";
            return 1;
        }
        QByteArray password("bench");
        const auto certificate = std::make_shared<const SigningCertificate>(
            SigningCertificate::open(dir.filePath(QStringLiteral("c.p12")), password));
        auto db = BookDatabase::open(dir.path());
        QDateTime now = QDateTime::currentDateTimeUtc().addSecs(60);
        RecordLedger::Options o = options(now);
        o.signer = RecordSignatures::with(certificate);
        RecordLedger ledger(*db, o);
        std::vector<double> wall;
        for (int i = 1; i <= Issues; ++i) {
            now = now.addSecs(1);
            InvoiceRow row = invoice(i);
            row.summary.issueDate = now.date();
            BillingRecord record = alta(row, i);
            record.invoice.issueDate = now.date();
            QElapsedTimer timer;
            timer.start();
            ledger.issue(row, record);
            wall.push_back(timer.nsecsElapsed() / 1e6);
        }
        out << "Issuing an invoice with its signed record (durable commit), " << Issues
            << " issues:\n  median " << BenchKit::median(wall) << " ms, slowest "
            << *std::max_element(wall.begin(), wall.end()) << " ms\n";
        // The whole check of this mode: records, their signatures and the
        // events, logged.
        EventLog log(*db,
                     {QStringLiteral("Ferretería Ñandú, S.L."), QStringLiteral("89890001K"),
                      Territory::Peninsula},
                     RecordSignatures::with(certificate), {o.clock, o.producer});
        QElapsedTimer timer;
        timer.start();
        const IntegrityReport report = IntegrityCheck::run(*db, log, RecordSignatures::check());
        if (!report.ok() || report.signedRecords != Issues)
            qFatal("the signed records do not check: %s", qPrintable(report.lines().join(u' ')));
        out << "The integrity check of " << Issues
            << " signed records: " << timer.nsecsElapsed() / 1e6 / Issues << " ms a record\n";
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
