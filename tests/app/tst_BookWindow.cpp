#include "CliRunner.h"
#include "FakePrompts.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "../book/BookFixture.h"

#include "app/BookTableModel.h"
#include "app/BookWindow.h"
#include "app/CorrectiveDialog.h"
#include "app/InvoicePreview.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"
#include "session/InvoiceSession.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace BookFixture;

// "Libro de facturas": the book's invoices in a window that opens from the
// menu, lists a page at a time, filters, sorts and totals what it lists, and
// hands on the chosen invoice's copy and stored document.
class tst_BookWindow : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { endMainWindowTest(); }

    void opensFromTheMenuWithCtrlB();
    void filters_data();
    void filters();
    void order_data();
    void order();
    void fetchesPagesAsTheListScrolls();
    void viewShowsTheStoredCopy_data();
    void viewShowsTheStoredCopy();
    void saveDocument_data();
    void saveDocument();
    void bookItCannotShow_data();
    void bookItCannotShow();
    void keyboard();
    void openAsNewIsASeam();
    void rectifyWithCtrlR();

private:
    QByteArray m_document; // a real Facturae document, written by orvane-cli generate
    QByteArray m_signed;   // the same with a signature element
};

namespace {

QStringList shownNumbers(const BookTableModel& model) {
    QStringList numbers;
    for (int row = 0; row < model.rowCount(); ++row)
        numbers << model.entry(row).seriesNumber;
    return numbers;
}

// Waits until the window's first question is answered.
void loaded(BookWindow& window) {
    QTRY_VERIFY_WITH_TIMEOUT(!window.model().busy(), 10000);
}

// Waits for the answer to what was just asked (typing pauses first).
bool answered(BookWindow& window) {
    QSignalSpy spy(&window.model(), &BookTableModel::answered);
    return spy.wait(10000);
}

QString totalsShown(BookWindow& window) {
    return WindowTestKit::child<QLabel>(window, "BookTotals")->text();
}

} // namespace

void tst_BookWindow::initTestCase() {
    QTemporaryDir dir;
    QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-002.ini"),
                dir.filePath(QStringLiteral("F.ini")));
    const CliRunner::Run run = CliRunner::cli({"generate", "--home", dir.path(), "-o",
                                               dir.filePath(QStringLiteral("F.XML")),
                                               dir.filePath(QStringLiteral("F.ini"))});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    m_document = CliRunner::readAll(dir.filePath(QStringLiteral("F.XML")));
    m_signed = m_document;
    m_signed.insert(m_signed.lastIndexOf("</"),
                    "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">"
                    "<ds:SignatureValue>AA==</ds:SignatureValue></ds:Signature>");
}

// A-1 (a real document) and A-2 (signed, withholding), B-1 and the
// series-less 77, whose documents are not Facturae.
void tst_BookWindow::init() {
    startMainWindowTest();
    auto db = BookDatabase::open(path());
    InvoiceBook book(*db);
    InvoiceRow a1 = invoice("A", "1", QDate(2026, 1, 31), "Obras Norte S.L.", 5000);
    a1.document = m_document;
    book.issue(a1);
    InvoiceRow a2 = invoice("A", "2", QDate(2026, 2, 3), "Ana López", 123450);
    a2.document = m_document + "<!-- A-2 -->";
    a2.summary.withholdingCents = 18518;
    a2.summary.totalCents -= 18518;
    book.issue(a2);
    InvoiceRow b1 = invoice("B", "1", QDate(2026, 2, 20), "José Pérez", 40000);
    b1.summary.customerTaxId = QStringLiteral("12345678Z");
    book.issue(b1);
    book.issue(invoice("", "77", QDate(2026, 3, 1), "Lugo Motor S.L.", 5000));
    book.storeSigned(book.find(Issuer, "A-2")->id, m_signed, "A-2.XSIG");
}

void tst_BookWindow::opensFromTheMenuWithCtrlB() {
    open();
    QAction* action = m_window->findChild<QAction*>("actionLibroFacturas");
    QVERIFY(action);
    QVERIFY(m_window->menu(TForm2::Menu::Factura)->actions().contains(action));
    QCOMPARE(action->text(), QStringLiteral("&Libro de facturas"));

    QStringList listed;
    QString title, totals;
    m_window->setModalRunner([&](QDialog& dialog) {
        auto* window = qobject_cast<BookWindow*>(&dialog);
        QVERIFY(window);
        title = window->windowTitle();
        QTRY_COMPARE(window->model().rowCount(), 4);
        listed = shownNumbers(window->model());
        totals = totalsShown(*window);
    });
    QTest::keyClick(m_window.get(), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(title, QStringLiteral("Libro de facturas"));
    // The latest first.
    QCOMPARE(listed, (QStringList{"77", "B-1", "A-2", "A-1"}));
    QCOMPARE(totals, QStringLiteral("4 facturas   ·   Base 1.734,50 €   ·   IVA 364,24 €   ·   "
                                    "Retención 185,18 €   ·   Total 1.913,56 €"));
    QVERIFY(m_prompts->shown.isEmpty());
}

void tst_BookWindow::filters_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("totals");
    QTest::newRow("customer's name, accents ignored")
        << "BookSearch"
        << "jose" << QStringList{"B-1"}
        << "1 factura   ·   Base 400,00 €   ·   IVA 84,00 €   ·   Retención 0,00 €   ·   Total "
           "484,00 €";
    QTest::newRow("tax id") << "BookSearch"
                            << "5678Z" << QStringList{"B-1"}
                            << "1 factura   ·   Base 400,00 €   ·   IVA 84,00 €   ·   Retención "
                               "0,00 €   ·   Total 484,00 €";
    QTest::newRow("number") << "BookSearch"
                            << "a-" << QStringList{"A-2", "A-1"}
                            << "2 facturas   ·   Base 1.284,50 €   ·   IVA 269,74 €   ·   "
                               "Retención 185,18 €   ·   Total 1.369,06 €";
    QTest::newRow("from a date") << "BookFrom"
                                 << "20/2/2026" << QStringList{"77", "B-1"}
                                 << "2 facturas   ·   Base 450,00 €   ·   IVA 94,50 €   ·   "
                                    "Retención 0,00 €   ·   Total 544,50 €";
    QTest::newRow("up to a date, ISO") << "BookTo"
                                       << "2026-02-03" << QStringList{"A-2", "A-1"}
                                       << "2 facturas   ·   Base 1.284,50 €   ·   IVA 269,74 € "
                                          "  ·   Retención 185,18 €   ·   Total 1.369,06 €";
    QTest::newRow("nothing matches") << "BookSearch"
                                     << "nadie" << QStringList{}
                                     << "0 facturas   ·   Base 0,00 €   ·   IVA 0,00 €   ·   "
                                        "Retención 0,00 €   ·   Total 0,00 €";
}

void tst_BookWindow::filters() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QStringList, numbers);
    QFETCH(QString, totals);
    InvoiceSession session(path());
    BookWindow window(session);
    loaded(window);
    QTest::keyClicks(WindowTestKit::child<QLineEdit>(window, qPrintable(box)), typed);
    QVERIFY(answered(window));
    QCOMPARE(shownNumbers(window.model()), numbers);
    QCOMPARE(totalsShown(window), totals);
    QCOMPARE(WindowTestKit::child<QLabel>(window, "BookMessage")->text(),
             numbers.isEmpty() ? QStringLiteral("Ninguna factura del libro cumple el filtro.")
                               : QString());
}

void tst_BookWindow::order_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("numbers");
    QTest::newRow("number") << int(BookTableModel::SeriesNumber) << Qt::AscendingOrder
                            << QStringList{"77", "A-1", "A-2", "B-1"};
    QTest::newRow("date, oldest first") << int(BookTableModel::IssueDate) << Qt::AscendingOrder
                                        << QStringList{"A-1", "A-2", "B-1", "77"};
    QTest::newRow("customer") << int(BookTableModel::Customer) << Qt::AscendingOrder
                              << QStringList{"A-2", "B-1", "77", "A-1"};
    QTest::newRow("total, highest first") << int(BookTableModel::Total) << Qt::DescendingOrder
                                          << QStringList{"A-2", "B-1", "77", "A-1"};
    QTest::newRow("state") << int(BookTableModel::State) << Qt::AscendingOrder
                           << QStringList{"A-1", "B-1", "77", "A-2"};
}

// A click on a column's title sorts the whole book, not the rows fetched.
void tst_BookWindow::order() {
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, numbers);
    InvoiceSession session(path());
    BookWindow window(session);
    loaded(window);
    WindowTestKit::child<QTableView>(window, "BookTable")->sortByColumn(column, order);
    loaded(window);
    QCOMPARE(shownNumbers(window.model()), numbers);
}

// Thousands of invoices: the first page at once with the totals of all,
// the rest as the list is scrolled down.
void tst_BookWindow::fetchesPagesAsTheListScrolls() {
    {
        auto db = BookDatabase::open(path());
        InvoiceBook book(*db);
        BookDatabase::Transaction batch(*db);
        for (int i = 1; i <= 3000; ++i)
            book.issue(invoice("C", QString::number(i), QDate(2025, 1, 1).addDays(i / 10)));
        batch.commit();
    }
    InvoiceSession session(path());
    BookWindow window(session);
    window.show();
    loaded(window);
    BookTableModel& model = window.model();
    QCOMPARE(model.rowCount(), BookTableModel::PageSize);
    QCOMPARE(model.totals().count, 3004);
    QVERIFY(totalsShown(window).startsWith(QStringLiteral("3.004 facturas")));
    QCOMPARE(model.entry(0).seriesNumber, QStringLiteral("77"));

    auto* table = WindowTestKit::child<QTableView>(window, "BookTable");
    int fetched = model.rowCount();
    while (model.rowCount() < 3004) {
        table->scrollToBottom();
        QTRY_VERIFY(model.rowCount() > fetched);
        QVERIFY(model.rowCount() - fetched <= BookTableModel::PageSize);
        fetched = model.rowCount();
    }
    QVERIFY(!model.canFetchMore({}));
    // Every invoice once, in order.
    QStringList numbers = shownNumbers(model);
    QCOMPARE(numbers.size(), 3004);
    numbers.removeDuplicates();
    QCOMPARE(numbers.size(), 3004);
    QCOMPARE(numbers.last(), QStringLiteral("C-1"));
}

void tst_BookWindow::viewShowsTheStoredCopy_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("shows"); // document, signed, or the error's start
    QTest::newRow("document") << "A-1"
                              << "document";
    QTest::newRow("signed copy, which names the signer") << "A-2"
                                                         << "signed";
    QTest::newRow("not a Facturae document")
        << "B-1"
        << "El documento guardado de la factura B-1: no es una factura Facturae";
}

// Enter on the chosen invoice opens its copy, read from the book.
void tst_BookWindow::viewShowsTheStoredCopy() {
    QFETCH(QString, number);
    QFETCH(QString, shows);
    InvoiceSession session(path());
    BookWindow window(session);
    QByteArray previewed;
    window.setModalRunner([&](QDialog& dialog) {
        auto* preview = qobject_cast<InvoicePreview*>(&dialog);
        QVERIFY(preview);
        previewed = preview->document();
    });
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    loaded(window);
    auto* table = WindowTestKit::child<QTableView>(window, "BookTable");
    const int row = int(shownNumbers(window.model()).indexOf(number));
    table->setCurrentIndex(window.model().index(row, 0));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return);
    if (shows == u"document") {
        QCOMPARE(previewed, m_document);
    } else if (shows == u"signed") {
        QCOMPARE(previewed, m_signed);
    } else {
        QVERIFY(previewed.isNull());
        QCOMPARE(m_prompts->kinds(), QStringList{"error"});
        QVERIFY2(m_prompts->errors().first().startsWith(shows),
                 qPrintable(m_prompts->errors().first()));
    }
    QVERIFY(window.isVisible());
}

void tst_BookWindow::saveDocument_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("answer"); // the file chosen, in the test's folder; "" cancels
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("saved"); // document, signed, or what is said before asking again
    QTest::newRow("document") << "A-1"
                              << "salida/A-1.xml"
                              << "xml"
                              << "A-1.xml"
                              << "document";
    QTest::newRow("signed copy proposed") << "A-2"
                                          << "salida/A-2.xsig"
                                          << "xsig"
                                          << "A-2.xsig"
                                          << "signed";
    QTest::newRow("signed invoice saved as XML") << "A-2"
                                                 << "salida/A-2.XML"
                                                 << "xsig"
                                                 << "A-2.xsig"
                                                 << "document";
    QTest::newRow("no series") << "77"
                               << "salida/77.xml"
                               << "xml"
                               << "77.xml"
                               << "document";
    QTest::newRow("cancelled") << "A-1"
                               << ""
                               << "xml"
                               << "A-1.xml"
                               << "";
    QTest::newRow("an existing file, kept")
        << "A-1"
        << "salida/existe.xml"
        << "xml"
        << "A-1.xml"
        << "Ya existe el fichero {DIR}/salida/existe.xml.\n\n¿Desea sustituirlo?";
    QTest::newRow("over Registro.Ini")
        << "A-1"
        << "registro.ini"
        << "xml"
        << "A-1.xml"
        << "No se puede guardar en {DIR}/registro.ini: es Registro.Ini, la configuración del "
           "programa. Elija otro nombre.";
    QTest::newRow("over the book") << "A-1"
                                   << "Libro.db"
                                   << "xml"
                                   << "A-1.xml"
                                   << "No se puede guardar en {DIR}/Libro.db: es el propio libro "
                                      "de facturas. Elija otro nombre.";
}

// "Guardar documento…" writes the kept bytes where the person says, under
// the invoice's own name; it never writes over the book or the settings, and
// asks before replacing a file.
void tst_BookWindow::saveDocument() {
    QFETCH(QString, number);
    QFETCH(QString, answer);
    QFETCH(QString, suffix);
    QFETCH(QString, proposed);
    QFETCH(QString, saved);
    WindowTestKit::writeFile(path(), QStringLiteral("Registro.Ini"),
                             QStringLiteral("[MISDATOS]\nNIF=B12345678\n"));
    QDir().mkpath(file(QStringLiteral("salida")));
    WindowTestKit::writeFile(file(QStringLiteral("salida/existe.xml")), "antes");
    const QByteArray book = readAll(file(QStringLiteral("Libro.db")));
    InvoiceSession session(path());
    BookWindow window(session);
    loaded(window);
    auto* table = WindowTestKit::child<QTableView>(window, "BookTable");
    table->setCurrentIndex(
        window.model().index(int(shownNumbers(window.model()).indexOf(number)), 0));
    const QString target = answer.isEmpty() ? QString() : file(answer);
    m_prompts->fileAnswers << target;
    WindowTestKit::child<QPushButton>(window, "GuardarDocumento")->click();

    QCOMPARE(m_prompts->shown.first().kind, QStringLiteral("save"));
    QCOMPARE(m_prompts->shown.first().caption, suffix);
    // The name alone, in the folder documents were saved to last.
    QCOMPARE(m_prompts->startPaths.first(), QDir(QDir::homePath()).filePath(proposed));
    auto* message = WindowTestKit::child<QLabel>(window, "BookMessage");
    if (saved == u"document" || saved == u"signed") {
        const QByteArray expected =
            saved == u"signed" ? m_signed
            : number == u"A-1" ? m_document
            : number == u"A-2"
                ? m_document + "<!-- A-2 -->"
                : invoice("", "77", QDate(2026, 3, 1), "Lugo Motor S.L.", 5000).document;
        QCOMPARE(readAll(target), expected);
        QCOMPARE(m_prompts->kinds(), QStringList{"save"});
        QCOMPARE(message->text(),
                 QStringLiteral("%1 de la factura %2 guardado en %3")
                     .arg(saved == u"signed" ? "Copia firmada" : "Documento", number, target));
        // The next proposal starts in the folder used.
        m_prompts->reset();
        WindowTestKit::child<QPushButton>(window, "GuardarDocumento")->click();
        QCOMPARE(m_prompts->startPaths.last(),
                 QDir(file(QStringLiteral("salida"))).filePath(proposed));
    } else if (saved.isEmpty()) {
        QCOMPARE(m_prompts->kinds(), QStringList{"save"});
        QCOMPARE(message->text(), QString());
    } else {
        // Said, and the dialog again (cancelled here).
        QCOMPARE(m_prompts->kinds().mid(1),
                 (QStringList{saved.startsWith(u"Ya existe") ? "confirm" : "warn", "save"}));
        QCOMPARE(m_prompts->shown[1].text, QString(saved).replace("{DIR}", path()));
        QCOMPARE(readAll(file(QStringLiteral("salida/existe.xml"))), QByteArray("antes"));
        QVERIFY(readAll(file(QStringLiteral("Registro.Ini"))).startsWith("[MISDATOS]"));
    }
    QCOMPARE(QDir(file(QStringLiteral("salida"))).entryList(QDir::Files).size(),
             saved == u"document" || saved == u"signed" ? 2 : 1);
    QCOMPARE(readAll(file(QStringLiteral("Libro.db"))), book);
}

void tst_BookWindow::bookItCannotShow_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("says");
    QTest::newRow("no book yet") << "absent"
                                 << "No hay libro de facturas en «{BOOK}»";
    QTest::newRow("damaged") << "random"
                             << "El libro de facturas «{BOOK}» está dañado";
    QTest::newRow("another program's") << "foreign"
                                       << "«{BOOK}» no es un libro de facturas de Orvane";
    QTest::newRow("newer") << "newer"
                           << "El libro de facturas «{BOOK}» es de una versión más reciente";
}

// Said in place of the list, never an empty list without a word; the file
// stays as it was and no book is made.
void tst_BookWindow::bookItCannotShow() {
    QFETCH(QString, damage);
    QFETCH(QString, says);
    const QString path = file(QStringLiteral("Libro.db"));
    if (damage == u"absent") {
        QFile::remove(path);
    } else if (damage == u"random") {
        QByteArray noise(8192, '\0');
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        WindowTestKit::writeFile(path, noise);
    } else {
        BookDatabase::open(this->path())
            ->execute(damage == u"foreign" ? "PRAGMA application_id = 0"
                                           : "PRAGMA user_version = 999");
    }
    const QByteArray before = readAll(path);
    InvoiceSession session(this->path());
    BookWindow window(session);
    window.show();
    QSignalSpy failed(&window.model(), &BookTableModel::failed);
    QVERIFY(failed.wait(10000));
    auto* problem = WindowTestKit::child<QLabel>(window, "BookProblem");
    QVERIFY(problem->isVisible());
    QVERIFY2(problem->text().startsWith(QString(says).replace("{BOOK}", path)),
             qPrintable(problem->text()));
    QVERIFY(!WindowTestKit::child<QTableView>(window, "BookTable")->isVisible());
    for (const char* name : {"VerImprimir", "GuardarDocumento", "AbrirComoNueva"})
        QVERIFY(!WindowTestKit::child<QPushButton>(window, name)->isEnabled());
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(this->path()).entryList(QDir::Files),
             damage == u"absent" ? QStringList() : QStringList{"Libro.db"});
}

// The boxes by their underlined letters; Enter in the search goes to the
// list; a date that does not exist is said and leaves the list alone.
void tst_BookWindow::keyboard() {
    InvoiceSession session(path());
    BookWindow window(session);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    loaded(window);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("BookSearch"));
    const struct {
        char letter;
        const char* box;
    } boxes[] = {{'d', "BookFrom"}, {'h', "BookTo"}, {'s', "BookSeries"}, {'b', "BookSearch"}};
    for (const auto& b : boxes) {
        QTest::keyClick(&window, b.letter, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(b.box));
    }
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("lugo"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("BookTable"));
    QVERIFY(answered(window));
    QCOMPARE(shownNumbers(window.model()), QStringList{"77"});

    // The series from the list of those in the book.
    QTest::keyClick(&window, 's', Qt::AltModifier);
    auto* series = WindowTestKit::child<QComboBox>(window, "BookSeries");
    QStringList offered;
    for (int i = 0; i < series->count(); ++i)
        offered << series->itemText(i);
    QCOMPARE(offered, (QStringList{"Todas", "(sin serie)", "A", "B"}));
    WindowTestKit::child<QLineEdit>(window, "BookSearch")->clear();
    QTest::keyClick(series, Qt::Key_Down); // (sin serie)
    QTest::keyClick(series, Qt::Key_Down); // A
    QTRY_COMPARE(shownNumbers(window.model()), (QStringList{"A-2", "A-1"}));

    QTest::keyClicks(WindowTestKit::child<QLineEdit>(window, "BookTo"), "31/02/2026");
    QTRY_COMPARE(WindowTestKit::child<QLabel>(window, "BookMessage")->text(),
                 QStringLiteral("Hasta: la fecha «31/02/2026» no existe: febrero de 2026 tiene "
                                "28 días; escriba dd/mm/aaaa."));
    QVERIFY(!window.model().busy());
    QCOMPARE(shownNumbers(window.model()), (QStringList{"A-2", "A-1"}));
}

// "Abrir como nueva" stays off until the main window gives it a handler;
// then the chosen invoice's value goes to it and the window closes. A
// document added from outside has no value to open.
void tst_BookWindow::openAsNewIsASeam() {
    {
        InvoiceRow imported = invoice("D", "1", QDate(2027, 1, 1));
        imported.value.reset();
        InvoiceBook(*BookDatabase::open(path())).issue(imported);
    }
    InvoiceSession session(path());
    BookWindow window(session);
    loaded(window);
    auto* button = WindowTestKit::child<QPushButton>(window, "AbrirComoNueva");
    QVERIFY(!button->isEnabled());

    QStringList opened;
    window.setOpenAsNew([&](const BookEntry& entry, const QString& value) {
        opened << entry.seriesNumber << value;
    });
    QVERIFY(button->isEnabled());
    button->click(); // D-1, the latest
    QCOMPARE(opened, QStringList());
    QCOMPARE(m_prompts->kinds(), QStringList{"inform"});
    QVERIFY(m_prompts->shown[0].text.startsWith(
        QStringLiteral("La factura D-1 se añadió al libro desde su documento")));

    auto* table = WindowTestKit::child<QTableView>(window, "BookTable");
    table->setCurrentIndex(window.model().index(1, 0)); // 77
    button->click();
    QCOMPARE(opened, (QStringList{"77", invoice("", "77").value.value()}));
    QCOMPARE(window.result(), int(QDialog::Accepted));
}

// "Rectificar…" stays off until the main window gives it a handler; Ctrl+R
// then asks why and how, and hands the chosen invoice with the corrective's
// description over; cancelled, nothing goes.
void tst_BookWindow::rectifyWithCtrlR() {
    InvoiceSession session(path());
    BookWindow window(session);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    loaded(window);
    QVERIFY(!WindowTestKit::child<QPushButton>(window, "Rectificar")->isEnabled());

    QStringList handed;
    window.setRectify([&](const BookEntry& entry, const QString&, const Correction& c) {
        handed << entry.seriesNumber << c.reasonCode << c.method << c.kind
               << c.periodStart.toString(Qt::ISODate) << c.periodEnd.toString(Qt::ISODate);
    });
    bool accept = false;
    window.setModalRunner([&](QDialog& dialog) {
        auto* ask = qobject_cast<CorrectiveDialog*>(&dialog);
        QVERIFY(ask);
        if (!accept)
            return dialog.reject();
        ask->methodBox()->setCurrentIndex(ask->methodBox()->findData(QStringLiteral("02")));
        ask->AceptarClick();
    });
    QVERIFY(WindowTestKit::child<QPushButton>(window, "Rectificar")->isEnabled());
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(handed, QStringList());
    QVERIFY(window.isVisible());

    accept = true;
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(handed, (QStringList{"77", "01", "02", "R4", "2026-03-01", "2026-03-31"}));
    QCOMPARE(window.result(), int(QDialog::Accepted));
}

QTEST_MAIN(tst_BookWindow)
#include "tst_BookWindow.moc"
