// Figures of the invoice book at the size of a business's whole archive:
// makes a book of 100,000 invoices (each with a real document and value),
// then times opening it with the first page of the list, a text filter,
// issuing one more invoice with its durable commit (beside the disk's own
// sync time), the CSV register of all, and the whole check; and compares
// the file's size with the stored documents' sizes.
//
//   orvane-book-bench [INVOICES] [FOLDER]   (default 100000, a temporary folder)

#include "BenchKit.h"
#include "book/BookCheck.h"
#include "book/BookDatabase.h"
#include "book/BookExport.h"
#include "book/BookList.h"
#include "book/InvoiceBook.h"
#include "book/SqlStatement.h"
#include "session/InvoiceSession.h"
#ifdef ORVANE_BENCH_BOOK_WINDOW
#include "app/BookTableModel.h"

#include <QEventLoop>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

using BenchKit::median;

QTextStream out(stdout);

// The processor time of this process: on a machine shared with other work
// the wall time says more about the others than about the book.
double cpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double lastCpu = 0; // processor time of the last measured work

double milliseconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    const double cpu = cpuMilliseconds();
    timer.start();
    work();
    lastCpu = cpuMilliseconds() - cpu;
    return timer.nsecsElapsed() / 1e6;
}

double medianOf(int runs, const std::function<void()>& work) {
    std::vector<double> times, cpu;
    for (int i = 0; i < runs; ++i) {
        times.push_back(milliseconds(work));
        cpu.push_back(lastCpu);
    }
    lastCpu = median(cpu);
    return median(times);
}

// "12.3 ms (cpu 4.5 ms)"
QString figure(double wall) {
    return QStringLiteral("%1 ms (cpu %2 ms)").arg(wall, 0, 'f', 1).arg(lastCpu, 0, 'f', 1);
}

#ifdef ORVANE_BENCH_BOOK_WINDOW
// Asks the window's model and waits, in an event loop as the window does,
// until the first page and the totals are there.
void waitForAnswer(BookTableModel& model, const std::function<void()>& ask) {
    QEventLoop loop;
    const auto done = QObject::connect(&model, &BookTableModel::answered, &loop, &QEventLoop::quit);
    const auto failed = QObject::connect(&model, &BookTableModel::failed, &loop,
                                         [&] { qFatal("the book window's model failed"); });
    ask();
    loop.exec();
    QObject::disconnect(done);
    QObject::disconnect(failed);
}

// The book window's own costs beyond the book's: its model made over the
// book (its thread started, its connection opened) with the first page of
// the latest invoices; then a text typed in its search box.
void windowFigures(const QString& folder) {
    // Until the first page is there; closing it afterwards is not waited for.
    std::vector<double> times, cpu;
    for (int run = 0; run < 5; ++run) {
        std::unique_ptr<BookTableModel> model;
        times.push_back(milliseconds([&] {
            model = std::make_unique<BookTableModel>(folder);
            waitForAnswer(*model,
                          [&] { model->sort(BookTableModel::IssueDate, Qt::DescendingOrder); });
        }));
        cpu.push_back(lastCpu);
    }
    lastCpu = median(cpu);
    const double opened = median(times);
    out << "book window: model opened + first page of " << BookTableModel::PageSize
        << " + totals: " << figure(opened) << ", target 100\n";
    BookTableModel model(folder);
    waitForAnswer(model, [&] { model.sort(BookTableModel::IssueDate, Qt::DescendingOrder); });
    for (const QString& text : {QStringLiteral("munoz"), QStringLiteral("munoz s.l. 12")}) {
        BookFilter filter;
        filter.text = text;
        const double filtered =
            medianOf(5, [&] { waitForAnswer(model, [&] { model.setFilter(filter); }); });
        out << "book window: text \"" << text << "\" (" << model.totals().count
            << " match) + totals + first page: " << figure(filtered) << ", target 50\n";
    }
}
#endif

// The disk's own cost of a durable write: 4 KiB written and synced.
double syncTime(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/sync-probe"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray block(4096, 'x');
    const double time = medianOf(20, [&] {
        if (::write(fd, block.constData(), block.size()) != block.size() || ::fdatasync(fd) != 0)
            qFatal("cannot sync %s", path.constData());
    });
    ::close(fd);
    ::unlink(path.constData());
    return time;
}

const QStringList Names = {
    QStringLiteral("Ferretería Muñoz S.L."), QStringLiteral("Construcciones Pérez"),
    QStringLiteral("Ayuntamiento de Lugo"),  QStringLiteral("Talleres Ortiz"),
    QStringLiteral("Academia Núñez"),        QStringLiteral("Panadería Iglesias"),
    QStringLiteral("Clínica Dental Souto"),  QStringLiteral("Transportes Álvarez"),
};

struct Template {
    QByteArray document;
    QString value;
};

// Invoice i of the book; its series and number unless others are given.
InvoiceRow invoiceNumber(const Template& t, int i, const QString& series = {},
                         const QString& number = {}) {
    InvoiceRow row;
    InvoiceSummary& s = row.summary;
    s.issuerTaxId = QStringLiteral("B12345678");
    s.series = series.isEmpty() ? QStringLiteral("F%1").arg(2024 + i / 40000) : series;
    s.number = number.isEmpty() ? QString::number(i % 40000 + 1).rightJustified(5, u'0') : number;
    s.issueDate = QDate(2024, 1, 1).addDays(i / 100);
    s.dueDate = s.issueDate.addDays(30);
    s.customerName = Names[i % Names.size()] + QStringLiteral(" %1").arg(i % 977);
    s.customerTaxId = QStringLiteral("A%1").arg(10000000 + i % 977, 8, 10, QLatin1Char('0'));
    s.baseCents = 10000 + (i * 7919) % 500000;
    s.vatCents = s.baseCents * 21 / 100;
    s.withholdingCents = i % 3 == 0 ? s.baseCents * 15 / 100 : 0;
    s.totalCents = s.baseCents + s.vatCents - s.withholdingCents;
    row.vatGroups = {{QStringLiteral("21.00"), s.baseCents, s.vatCents}};
    row.value = t.value + QStringLiteral("FACTURA=%1\n").arg(s.number);
    // The real document with this invoice's number, so no two are alike.
    row.document = t.document;
    row.document.replace("<InvoiceNumber>", "<InvoiceNumber>" + s.seriesNumber().toUtf8() + '.');
    row.fileName = s.seriesNumber() + QStringLiteral(".XML");
    return row;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args[1].toInt() : 100000;
    QTemporaryDir temporary;
    const QString folder = args.size() > 2 ? args[2] : temporary.path();

    Template t;
    t.document = BenchKit::documentOf(QStringLiteral(ORVANE_SAMPLE_DIR "/F2024-001.ini"));
    QFile sample(QStringLiteral(ORVANE_SAMPLE_DIR "/F2024-001.ini"));
    sample.open(QIODevice::ReadOnly);
    t.value = QString::fromUtf8(sample.readAll());

    // An existing book in FOLDER is measured as it is.
    if (!QFileInfo::exists(folder + QStringLiteral("/Libro.db"))) {
        const double made = milliseconds([&] {
            auto db = BookDatabase::open(folder);
            InvoiceBook book(*db);
            for (int i = 0; i < count;) {
                BookDatabase::Transaction batch(*db);
                for (const int end = std::min(count, i + 1000); i < end; ++i)
                    book.issue(invoiceNumber(t, i));
                batch.commit();
            }
        });
        out << "Book of " << count << " invoices (documents of " << t.document.size()
            << " bytes) made in " << made / 1000 << " s\n";
    }

    double firstPage = 0;
    {
        std::unique_ptr<BookDatabase> db;
        firstPage = milliseconds([&] {
            db = BookDatabase::open(folder);
            const BookList list(*db, {}, BookColumn::IssueDate, true);
            list.totals();
            list.rows(0, 50);
        });
    }
    auto db = BookDatabase::open(folder);
    out << "open + first page of 50 + totals: " << figure(firstPage) << ", target 100\n";

    const double firstPageAgain = medianOf(5, [&] {
        const BookList list(*db, {}, BookColumn::SeriesNumber);
        list.totals();
        list.rows(0, 50);
    });
    out << "first page by number + totals, book open: " << figure(firstPageAgain) << "\n";

    for (const QString& text : {QStringLiteral("munoz"), QStringLiteral("munoz s.l. 12")}) {
        BookFilter filter;
        filter.text = text;
        qint64 matched = 0;
        const double filtered = medianOf(5, [&] {
            const BookList list(*db, filter, BookColumn::IssueDate, true);
            matched = list.totals().count;
            list.rows(0, 50);
        });
        out << "text filter \"" << text << "\" (" << matched
            << " match) + totals + first page: " << figure(filtered) << ", target 50\n";
    }

#ifdef ORVANE_BENCH_BOOK_WINDOW
    windowFigures(folder);
#endif

    InvoiceBook book(*db);
    int next = count;
    const double issue = medianOf(20, [&] {
        book.issueNext(QStringLiteral("B12345678"), QStringLiteral("F2099"), QString(),
                       [&](const QString& number) {
                           return invoiceNumber(t, next++, QStringLiteral("F2099"), number);
                       });
    });
    out << "issue one more invoice (durable commit): " << figure(issue)
        << "; the disk's sync alone: " << syncTime(folder) << " ms; target 10 + sync\n";

    // The same through the session, as Generar Factura issues: the book
    // opened, the row made from the invoice, the commit; then the whole
    // generate (the document written and checked, issued, saved to a file).
    {
        QTemporaryDir work;
        int number = 0;
        auto session = [&] {
            const QString import = work.filePath(QStringLiteral("F.ini"));
            QFile file(import);
            file.open(QIODevice::WriteOnly);
            file.write(t.value.toUtf8().replace("FACTURA=2024-001",
                                                "FACTURA=S" + QByteArray::number(++number)));
            file.close();
            auto s = std::make_unique<InvoiceSession>(folder);
            s->start(QDate(2024, 3, 15));
            s->importChosenFile(import);
            return s;
        };
        std::vector<std::unique_ptr<InvoiceSession>> ready;
        for (int i = 0; i < 20; ++i)
            ready.push_back(session());
        std::vector<QByteArray> documents;
        for (auto& s : ready)
            documents.push_back(s->currentDocument());
        std::size_t i = 0;
        const double issued = medianOf(20, [&] {
            InvoiceIssuing issuing(ready[i]->record(), folder, ready[i]->issuing());
            issuing.issue(documents[i], QStringLiteral("F.XML"), std::nullopt);
            ++i;
        });
        out << "issue one more invoice through the session (book opened, row, durable commit): "
            << figure(issued) << "; target 10 + sync\n";
        const double generated =
            medianOf(10, [&] { session()->generateTo(work.filePath(QStringLiteral("F.XML"))); });
        out << "  the whole generate (document, check, issue, file saved): " << figure(generated)
            << "\n";
    }

    const QString csv = folder + QStringLiteral("/registro.csv");
    const double exported = milliseconds([&] { BookExport::saveCsv(*db, {}, csv); });
    out << "CSV register of all: " << figure(exported) << ", " << QFileInfo(csv).size() / 1024
        << " KiB, target 2000\n";
    QFile::remove(csv);

    BookCheckReport report;
    const double checked = milliseconds([&] { report = BookCheck::run(*db); });
    out << "check: " << figure(checked) << ", " << report.documents << " documents, "
        << (report.sound() ? "sound" : "NOT SOUND") << ", target 5000\n";

    SqlStatement documents(*db, "SELECT sum(length(bytes)) FROM documents");
    documents.next();
    const qint64 documentBytes = documents.integer(0);
    db.reset(); // folds the write-ahead log into the file
    const qint64 size = QFileInfo(folder + QStringLiteral("/Libro.db")).size();
    out << "file " << size / (1024 * 1024) << " MiB for " << documentBytes / (1024 * 1024)
        << " MiB of documents: " << double(size) / double(documentBytes) << "x (target 2)\n";
    return 0;
}
