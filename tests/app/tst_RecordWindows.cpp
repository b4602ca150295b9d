#include "FakePrompts.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "../ledger/LedgerFixture.h"

#include "app/BookTableModel.h"
#include "app/BookWindow.h"
#include "app/RecordChainWindow.h"
#include "app/RecordSettingsDialog.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace WindowTestKit;

// The billing records in the windows: the settings of Configuración >
// Registro de facturación, the notice that the law asks for a mode, the
// chain's state under Ayuda, and each invoice's record with Anular in the
// book window.
class tst_RecordWindows : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void settingsKeepTheRestOfTheFile();
    void modeWithoutSendingNeedsACertificate();
    void unknownValueIsShownAndReplaced();
    void notice_data();
    void notice();
    void chainState();
    void chainStateWithoutBook();
    void bookShowsRecordsAndCancels();
};

namespace {

const QByteArray OtherSettings = "; Orvane\r\n[MISDATOS]\r\nPERSONA=J\r\nNIF = 89890001K \r\n"
                                 "[VERIFACTU]\r\nENTORNO=pruebas\r\nURL=https://127.0.0.1:9/\r\n"
                                 "[AUTOFIRMA]\r\nPROGRAMA=AutoFirma\r\n";

template <typename T> T* in(QDialog& dialog, const char* name) {
    return child<T>(dialog, name);
}

} // namespace

// Chosen with the keyboard, saved: the mode and territory written in their
// section, every other byte of the file as it was; the notice goes.
void tst_RecordWindows::settingsKeepTheRestOfTheFile() {
    writeFile(file(QStringLiteral("Registro.Ini")), OtherSettings);
    open();
    m_window->setToday([] { return QDate(2027, 2, 1); });
    QVERIFY(!m_window->recordNotice().isEmpty());

    QAction* action = m_window->findChild<QAction*>("actionRegistroFacturacion");
    QVERIFY(action);
    QVERIFY(m_window->menu(TForm2::Menu::Configuracion)->actions().contains(action));
    QCOMPARE(action->text(), QStringLiteral("&Registro de facturación"));
    QString seen;
    int environment = -1;
    m_window->setModalRunner([&](QDialog& dialog) {
        seen = QLatin1String(dialog.metaObject()->className());
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        environment = in<QComboBox>(dialog, "Entorno")->currentIndex();
        auto* mode = in<QComboBox>(dialog, "Modo");
        QCOMPARE(QApplication::focusWidget(), mode);
        QTest::keyClick(mode, Qt::Key_Down);
        QCOMPARE(mode->currentIndex(), 1);
        QTest::keyClick(&dialog, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(in<QComboBox>(dialog, "Territorio")->currentIndex(), 1);
        QVERIFY(in<QLabel>(dialog, "ModeProblem")->text().isEmpty());
        QTest::keyClick(&dialog, Qt::Key_G, Qt::AltModifier);
        // The button shows itself pressed for a moment first.
        QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
    });
    action->trigger();
    QCOMPARE(seen, QStringLiteral("RecordSettingsDialog"));
    QCOMPARE(environment, 1);
    QCOMPARE(readAll(file(QStringLiteral("Registro.Ini"))),
             QByteArray("; Orvane\r\n[MISDATOS]\r\nPERSONA=J\r\nNIF = 89890001K \r\n"
                        "[VERIFACTU]\r\nENTORNO=pruebas\r\nURL=https://127.0.0.1:9/\r\n"
                        "MODO=VERIFACTU\r\nTERRITORIO=CANARIAS\r\n"
                        "[AUTOFIRMA]\r\nPROGRAMA=AutoFirma\r\n"));
    QVERIFY2(m_window->recordNotice().isEmpty(), qPrintable(m_window->recordNotice()));
    QVERIFY(m_prompts->shown.isEmpty());
}

// Without a certificate file in Configuración > Firma the mode without
// sending is refused with the reason, on the page and when saving, and
// nothing is written.
void tst_RecordWindows::modeWithoutSendingNeedsACertificate() {
    writeFile(file(QStringLiteral("Registro.Ini")), OtherSettings);
    RecordSettingsDialog dialog(path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    in<QComboBox>(dialog, "Modo")->setCurrentIndex(2);
    const QString reason = in<QLabel>(dialog, "ModeProblem")->text();
    QVERIFY2(reason.contains(QStringLiteral("no hay ninguno elegido")), qPrintable(reason));
    QVERIFY(reason.contains(QStringLiteral("Configuración > Firma")));
    dialog.GuardarClick();
    QCOMPARE(m_prompts->shown.size(), 1);
    QCOMPARE(m_prompts->shown[0].kind, QStringLiteral("warn"));
    QCOMPARE(m_prompts->shown[0].text, reason);
    QVERIFY(dialog.isVisible());
    QCOMPARE(readAll(file(QStringLiteral("Registro.Ini"))), OtherSettings);
}

// A value the program does not know opens the page all the same, said on
// it; saving replaces it with the choice shown.
void tst_RecordWindows::unknownValueIsShownAndReplaced() {
    writeFile(file(QStringLiteral("Registro.Ini")), "[VERIFACTU]\nMODO=SI\nLEYENDA=SEDE\n");
    RecordSettingsDialog dialog(path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY2(in<QLabel>(dialog, "ModeProblem")->text().startsWith(u"[VERIFACTU] MODO=SI en "),
             qPrintable(in<QLabel>(dialog, "ModeProblem")->text()));
    QCOMPARE(in<QComboBox>(dialog, "Modo")->currentIndex(), 0);
    in<QComboBox>(dialog, "Modo")->setCurrentIndex(1);
    dialog.GuardarClick();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(readAll(file(QStringLiteral("Registro.Ini"))),
             QByteArray("[VERIFACTU]\nMODO=VERIFACTU\nLEYENDA=SEDE\n"));
    QVERIFY(m_prompts->shown.isEmpty());
}

void tst_RecordWindows::notice_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("notice"); // part of it, or empty for none
    QTest::newRow("company, before its date")
        << QByteArray("[MISDATOS]\nPERSONA=J\n") << QDate(2026, 12, 31) << "";
    QTest::newRow("company, from its date")
        << QByteArray("[MISDATOS]\nPERSONA=J\n") << QDate(2027, 1, 1) << "Desde el 01/01/2027";
    QTest::newRow("person, a company's date")
        << QByteArray("[MISDATOS]\nPERSONA=F\n") << QDate(2027, 6, 30) << "";
    QTest::newRow("person, from its date")
        << QByteArray("[MISDATOS]\nPERSONA=F\n") << QDate(2027, 7, 1) << "Desde el 01/07/2027";
    QTest::newRow("a mode chosen") << QByteArray("[MISDATOS]\nPERSONA=J\n[VERIFACTU]\n"
                                                 "MODO=NOVERIFACTU\n")
                                   << QDate(2028, 1, 1) << "";
}

void tst_RecordWindows::notice() {
    QFETCH(QByteArray, settings);
    QFETCH(QDate, today);
    QFETCH(QString, notice);
    writeFile(file(QStringLiteral("Registro.Ini")), settings);
    open();
    m_window->setToday([today] { return today; });
    const QString shown = m_window->recordNotice();
    if (notice.isEmpty()) {
        QVERIFY2(shown.isEmpty(), qPrintable(shown));
        return;
    }
    QVERIFY2(shown.contains(notice), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("Configuración > Registro de facturación")));
    // A standing notice: what the actions report does not replace it.
    m_window->newInvoice();
    QCOMPARE(m_window->recordNotice(), shown);
    QVERIFY(m_window->findChild<QLabel*>("RecordNotice")->isVisible());
}

// Ayuda > Registro de facturación (Ctrl+Shift+R): the number of records, the
// last fingerprint and the chain's state; checked again on request, it
// names the first record that no longer matches.
void tst_RecordWindows::chainState() {
    QString lastHuella;
    {
        const auto db = BookDatabase::open(path());
        LedgerFixture::FakeClock clock;
        RecordLedger ledger(*db, LedgerFixture::options(clock));
        for (const char* number : {"1", "2", "3"}) {
            clock.now = clock.now.addSecs(60);
            lastHuella = LedgerFixture::issue(ledger, QLatin1String(number)).record->huella;
        }
    }
    open();
    QAction* action = m_window->findChild<QAction*>("actionEstadoRegistros");
    QVERIFY(action);
    QVERIFY(m_window->menu(TForm2::Menu::Ayuda)->actions().contains(action));
    QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+R")));

    QStringList states, counts, lasts;
    m_window->setModalRunner([&](QDialog& dialog) {
        auto& window = dynamic_cast<RecordChainWindow&>(dialog);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto read = [&] {
            states << in<QLabel>(dialog, "ChainState")->text();
            counts << in<QLabel>(dialog, "ChainCount")->text();
            lasts << in<QLabel>(dialog, "ChainLastHuella")->text();
        };
        read();
        const QString out = LedgerFixture::sqlite(
            file(QStringLiteral("Libro.db")),
            "DROP TRIGGER billing_records_fixed; UPDATE billing_records SET bytes = "
            "replace(bytes, '>121.00<', '>12.10<') WHERE sequence = 2;");
        QVERIFY2(out.isEmpty(), qPrintable(out));
        QTest::mouseClick(in<QPushButton>(dialog, "Comprobar"), Qt::LeftButton);
        read();
    });
    QTest::keyClick(m_window.get(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(states.size(), 2);
    QCOMPARE(states[0], QStringLiteral("Cadena correcta: 3 registros"));
    QCOMPARE(counts[0], QStringLiteral("3"));
    QCOMPARE(lasts[0], lastHuella);
    QVERIFY2(states[1].startsWith(
                 QStringLiteral("Fallo en el registro n.º 2 (factura A-2 de 05-03-2027): la "
                                "huella guardada")),
             qPrintable(states[1]));
    QCOMPARE(counts[1], QStringLiteral("1"));
}

// No book yet: nothing issued, no record; looking makes no book.
void tst_RecordWindows::chainStateWithoutBook() {
    open();
    RecordChainWindow window(m_window->session());
    window.ComprobarClick();
    QCOMPARE(in<QLabel>(window, "ChainState")->text(),
             QStringLiteral("El libro no guarda ningún registro de facturación."));
    QCOMPARE(in<QLabel>(window, "ChainCount")->text(), QStringLiteral("0"));
    QVERIFY(!QFile::exists(file(QStringLiteral("Libro.db"))));
    QVERIFY(m_prompts->shown.isEmpty());
}

// Each invoice's record in its own column; Anular only with a mode chosen,
// after a question, and never twice.
void tst_RecordWindows::bookShowsRecordsAndCancels() {
    // Dated before now, so that the window's own clock comes after them.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate issued = now.date().addDays(-2);
    {
        const auto db = BookDatabase::open(path());
        LedgerFixture::FakeClock clock;
        clock.now = now.addSecs(-3600);
        RecordLedger ledger(*db, LedgerFixture::options(clock));
        const QList<LedgerFixture::Part> parts{{VatTreatment::S1, "21", "100.00"}};
        const InvoiceRow first = LedgerFixture::invoice(QStringLiteral("1"), parts, issued);
        ledger.issue(first, LedgerFixture::alta(first));
        // Issued before records were made.
        InvoiceBook(*db).issue(LedgerFixture::invoice(QStringLiteral("2"), parts, issued));
    }
    const QString settings = file(QStringLiteral("Registro.Ini"));
    writeFile(settings, "[MISDATOS]\nNIF=89890001K\n");
    open();
    const auto column = [](BookWindow& window) {
        QMap<QString, QString> byNumber;
        BookTableModel& model = window.model();
        for (int row = 0; row < model.rowCount(); ++row)
            byNumber[model.entry(row).seriesNumber] =
                model.data(model.index(row, BookTableModel::Record)).toString();
        return byNumber;
    };
    const auto choose = [](BookWindow& window, const QString& number) {
        BookTableModel& model = window.model();
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.entry(row).seriesNumber == number)
                child<QTableView>(window, "BookTable")->setCurrentIndex(model.index(row, 0));
        }
    };
    {
        BookWindow window(m_window->session());
        QTRY_VERIFY_WITH_TIMEOUT(window.model().rowCount() == 2, 10000);
        QCOMPARE(window.model().headerData(BookTableModel::Record, Qt::Horizontal).toString(),
                 QStringLiteral("Registro"));
        QCOMPARE(column(window),
                 (QMap<QString, QString>{{"A-1", "Pendiente"}, {"A-2", "Sin registro"}}));
        QVERIFY(child<QPushButton>(window, "Anular")->isHidden());
    }

    writeFile(settings, "[MISDATOS]\nNIF=89890001K\n[VERIFACTU]\nMODO=VERIFACTU\n");
    BookWindow window(m_window->session());
    // The program's own producer data stays to be filled by its makers.
    window.setLedgerOptions({{}, LedgerFixture::producer()});
    QTRY_VERIFY_WITH_TIMEOUT(window.model().rowCount() == 2, 10000);
    auto* cancel = child<QPushButton>(window, "Anular");
    QVERIFY(!cancel->isHidden());
    choose(window, QStringLiteral("A-1"));
    QVERIFY(cancel->isEnabled());

    // Declined: nothing written.
    window.AnularClick();
    QCOMPARE(m_prompts->shown.size(), 1);
    QVERIFY(m_prompts->shown[0].text.startsWith(QStringLiteral("¿Anular la factura A-1 del")));
    {
        const auto db = BookDatabase::openExisting(path());
        QCOMPARE(LedgerFixture::count(*db, "SELECT count(*) FROM billing_records"), 1);
    }

    m_prompts->confirmAnswers.enqueue(true);
    QSignalSpy answered(&window.model(), &BookTableModel::answered);
    window.AnularClick();
    QVERIFY2(m_prompts->shown.size() == 2, qPrintable(m_prompts->shown.last().text));
    QVERIFY(answered.wait(10000));
    QCOMPARE(column(window),
             (QMap<QString, QString>{{"A-1", "Anulación pendiente"}, {"A-2", "Sin registro"}}));
    QCOMPARE(child<QLabel>(window, "BookMessage")->text(),
             QStringLiteral("Factura A-1 anulada: registro de anulación n.º 2"));
    choose(window, QStringLiteral("A-1"));
    QVERIFY(!cancel->isEnabled());
    // An invoice issued before records were made is cancelled all the same.
    choose(window, QStringLiteral("A-2"));
    QVERIFY(cancel->isEnabled());
    {
        const auto db = BookDatabase::openExisting(path());
        QCOMPARE(LedgerFixture::count(*db, "SELECT count(*) FROM billing_records"), 2);
        QCOMPARE(LedgerFixture::count(*db, "SELECT count(*) FROM billing_records WHERE kind = "
                                           "'anulación' AND invoice_id IS NOT NULL"),
                 1);
    }
}

QTEST_MAIN(tst_RecordWindows)
#include "tst_RecordWindows.moc"
