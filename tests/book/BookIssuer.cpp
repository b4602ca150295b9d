// Issues invoices into a book the way the program will: each one with the
// book's next number of the series, in its own transaction. Prints each
// number once it is committed, so a test knows what was reported done.
//
//   orvane-book-issuer --book DIR --series S --count N
//                      [--busy-ms MS] [--size BYTES] [--hold-ms MS]
//
// --hold-ms takes the book's write lock, prints "held" and keeps it that long.

#include "BookFixture.h"

#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption book(QStringLiteral("book"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption series(QStringLiteral("series"), QString(), QStringLiteral("S"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"), "1");
    const QCommandLineOption busy(QStringLiteral("busy-ms"), QString(), QStringLiteral("MS"),
                                  "5000");
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("BYTES"), "0");
    const QCommandLineOption hold(QStringLiteral("hold-ms"), QString(), QStringLiteral("MS"), "0");
    parser.addOptions({book, series, count, busy, size, hold});
    parser.process(app);

    try {
        BookDatabase::Options options;
        options.busyTimeoutMs = parser.value(busy).toInt();
        auto db = BookDatabase::open(parser.value(book), options);
        if (const int ms = parser.value(hold).toInt(); ms > 0) {
            BookDatabase::Transaction held(*db);
            std::fputs("held\n", stdout);
            std::fflush(stdout);
            QThread::msleep(ms);
            return 0;
        }
        const QString s = parser.value(series);
        const qsizetype padding = parser.value(size).toLongLong();
        InvoiceBook invoices(*db);
        for (int i = 0, n = parser.value(count).toInt(); i < n; ++i) {
            const auto result =
                invoices.issueNext(BookFixture::Issuer, s, QString(), [&](const QString& number) {
                    InvoiceRow row = BookFixture::invoice(s, number);
                    if (row.document.size() < padding)
                        row.document.append(QByteArray(padding - row.document.size(), ' '));
                    return row;
                });
            std::fputs(qPrintable(result.entry.summary.number + QLatin1Char('\n')), stdout);
            std::fflush(stdout);
        }
    } catch (const AppError& error) {
        std::fputs(qPrintable(error.message() + QLatin1Char('\n')), stderr);
        return 1;
    }
    return 0;
}
