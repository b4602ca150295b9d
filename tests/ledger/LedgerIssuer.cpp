// Issues invoices with their billing records into a book the way the program
// will: each with the book's next number of series A and its record, in one
// transaction. Prints each number once it is committed, so a test knows what
// was reported done.
//
//   orvane-ledger-issuer --book DIR --count N --clock-start MSECS [--busy-ms MS]
//
// The records' clock reads 5 March 2027 09:00 UTC at the moment MSECS (since
// the epoch) and runs on from there, so that programs started one after the
// other, or at once, share one clock that never goes back.

#include "LedgerFixture.h"

#include "book/InvoiceBook.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption book(QStringLiteral("book"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"), "1");
    const QCommandLineOption start(QStringLiteral("clock-start"), QString(),
                                   QStringLiteral("MSECS"));
    const QCommandLineOption busy(QStringLiteral("busy-ms"), QString(), QStringLiteral("MS"),
                                  "5000");
    parser.addOptions({book, count, start, busy});
    parser.process(app);

    const qint64 origin = parser.value(start).toLongLong();
    RecordLedger::Options options;
    options.producer = LedgerFixture::producer();
    options.clock = [origin] {
        return LedgerFixture::utc(2027, 3, 5, 9, 0)
            .addMSecs(QDateTime::currentMSecsSinceEpoch() - origin);
    };
    try {
        BookDatabase::Options bookOptions;
        bookOptions.busyTimeoutMs = parser.value(busy).toInt();
        auto db = BookDatabase::open(parser.value(book), bookOptions);
        RecordLedger ledger(*db, options);
        InvoiceBook invoices(*db);
        for (int i = 0, n = parser.value(count).toInt(); i < n; ++i) {
            InvoiceRow row;
            const auto result = invoices.issueNext(
                LedgerFixture::Issuer, QStringLiteral("A"), QString(),
                [&](const QString& number) { return row = LedgerFixture::invoice(number); },
                [&](qint64 invoiceId) { ledger.append(LedgerFixture::alta(row), invoiceId); });
            std::fputs(qPrintable(result.entry.summary.number + QLatin1Char('\n')), stdout);
            std::fflush(stdout);
        }
    } catch (const AppError& error) {
        std::fputs(qPrintable(error.message() + QLatin1Char('\n')), stderr);
        return 1;
    }
    return 0;
}
