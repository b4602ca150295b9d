#include "FakePrompts.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "../ledger/LedgerFixture.h"
#include "../signing/TestPki.h"
#include "TrialProducer.h"

#include "app/RecordChainWindow.h"
#include "app/RecordRun.h"
#include "app/RecordSettingsDialog.h"
#include "app/RecordStatus.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"
#include "common/AppError.h"
#include "records/GenerationTime.h"
#include "session/RecordSignatures.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

// The billing records' mode in the window. Working without sending each
// record: the certificate's password asked once at start and kept for the
// run, issuing signing with it, nothing issued without it, the certificate
// forgotten at quit; the mode and the integrity alarm in the status bar, the
// check at start, summaries every 6 hours and at quit.
class tst_RecordRun : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void passwordAskedAtStart_data();
    void passwordAskedAtStart();
    void issuingSignsWithTheRunsCertificate();
    void withoutThePasswordNothingIsIssued();
    void certificateForgottenAtQuit();
    void checkAtStartRaisesTheAlarmUntilResolved();
    void summariesWhileRunningAndAtQuit();
    void modeStartAndEndFromTheSettingsPage();

private:
    void writeSettings(const QString& mode, const QString& certificate) const;
    RecordStatus* recordStatus() const {
        return m_window->statusBar()->findChild<RecordStatus*>(QStringLiteral("RecordStatus"));
    }
    QStringList eventTypes() const {
        const auto db = BookDatabase::openExisting(path());
        SqlStatement select(*db, "SELECT type FROM events ORDER BY sequence");
        QStringList types;
        while (select.next())
            types << select.text(0);
        return types;
    }
    // Generates the sample invoice, issued today, as the window's session does.
    InvoiceSession::Generated generateToday();

    TestPki m_pki;
};

namespace {

enum class Answer { Right, Wrong, Cancel };

} // namespace

void tst_RecordRun::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY(useTrialProducer(m_pki.path(QString())));
}

void tst_RecordRun::writeSettings(const QString& mode, const QString& certificate) const {
    WindowTestKit::writeFile(file(QStringLiteral("Registro.Ini")),
                             QStringLiteral("[MISDATOS]\nPERSONA=J\nNOMBRE=Talleres\n"
                                            "NIF=B15123458\n[VERIFACTU]\nMODO=%1\n[FIRMA]\n"
                                            "METODO=AUTOFIRMA\nCERTIFICADO=%2\n")
                                 .arg(mode, certificate)
                                 .toUtf8());
}

InvoiceSession::Generated tst_RecordRun::generateToday() {
    const QString today = QDateTime::currentDateTimeUtc()
                              .toTimeZone(GenerationTime::zone(Territory::Peninsula))
                              .date()
                              .toString(QStringLiteral("dd/MM/yyyy"));
    QByteArray text = readAll(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    text.replace("FECHA=15/03/2024", "FECHA=" + today.toUtf8())
        .replace("VENCIMIENTO=15/04/2024", "VENCIMIENTO=" + today.toUtf8());
    const QString import = file(QStringLiteral("f.ini"));
    WindowTestKit::writeFile(import, text);
    InvoiceSession& session = m_window->session();
    session.importChosenFile(import);
    return session.generateTo(QString());
}

void tst_RecordRun::passwordAskedAtStart_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("shownMode"); // at the right of the status bar
    const QString closed = QStringLiteral("NO VERI*FACTU (sin certificado: no se emite)");
    QTest::newRow("right password") << "NOVERIFACTU" << QList<Answer>{Answer::Right} << 1 << true
                                    << "Registros de facturación y eventos comprobados: correctos"
                                    << "NO VERI*FACTU";
    QTest::newRow("mistyped once") << "NOVERIFACTU" << QList<Answer>{Answer::Wrong, Answer::Right}
                                   << 2 << true << "comprobados: correctos"
                                   << "NO VERI*FACTU";
    QTest::newRow("cancelled") << "NOVERIFACTU" << QList<Answer>{Answer::Cancel} << 1 << false
                               << "no se puede emitir ninguna factura en esta sesión" << closed;
    QTest::newRow("wrong three times")
        << "NOVERIFACTU" << QList<Answer>{Answer::Wrong, Answer::Wrong, Answer::Wrong} << 3 << false
        << "no se puede emitir ninguna factura" << closed;
    QTest::newRow("sending mode: nothing asked")
        << "VERIFACTU" << QList<Answer>{} << 0 << false << QString() << "VERI*FACTU";
    QTest::newRow("no mode: nothing shown")
        << "" << QList<Answer>{} << 0 << false << QString() << QString();
}

void tst_RecordRun::passwordAskedAtStart() {
    QFETCH(QString, mode);
    QFETCH(QList<Answer>, answers);
    QFETCH(int, asked);
    QFETCH(bool, open);
    QFETCH(QString, status);
    QFETCH(QString, shownMode);
    writeSettings(mode, m_pki.signer);
    for (Answer answer : answers)
        m_prompts->passwordAnswers.enqueue(answer == Answer::Cancel ? std::nullopt
                                           : answer == Answer::Right
                                               ? std::optional<QByteArray>(TestPki::Password)
                                               : std::optional<QByteArray>("no es esta"));
    this->open();
    QCOMPARE(m_prompts->textsOf(QStringLiteral("password")).size(), asked);
    if (asked > 0)
        QVERIFY(m_prompts->textsOf(QStringLiteral("password"))
                    .first()
                    .contains(QStringLiteral("NO VERI*FACTU")));
    QCOMPARE(m_window->session().credentials().isOpen(), open);
    // Three wrong answers are told, not only the status.
    QCOMPARE(m_prompts->kinds().contains(QStringLiteral("warn")), asked == 3);
    QCOMPARE(recordStatus()->mode(), shownMode);
    // With the certificate open, the book is checked at start.
    QTRY_VERIFY(!m_window->recordRun()->checking());
    if (!status.isEmpty())
        QVERIFY2(m_window->statusText().contains(status), qPrintable(m_window->statusText()));
}

void tst_RecordRun::issuingSignsWithTheRunsCertificate() {
    writeSettings(QStringLiteral("NOVERIFACTU"), m_pki.signer);
    m_prompts->passwordAnswers.enqueue(QByteArray(TestPki::Password));
    open();
    const InvoiceSession::Generated generated = generateToday();
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::Written);
    const auto db = BookDatabase::openExisting(path());
    SqlStatement select(*db, "SELECT bytes FROM billing_records");
    QVERIFY(select.next());
    const QString problem = RecordSignatures::check()(select.blob(0), RecordSigner::Kind::Record);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_RecordRun::withoutThePasswordNothingIsIssued() {
    writeSettings(QStringLiteral("NOVERIFACTU"), m_pki.signer);
    open(); // no answer: the password box is cancelled
    try {
        generateToday();
        QFAIL("issued without the certificate");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("al empezar no se dio su contraseña")),
                 qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("F.XML"))));
    const auto db = BookDatabase::openExisting(path());
    SqlStatement select(*db, "SELECT count(*) FROM invoices");
    QVERIFY(select.next());
    QCOMPARE(select.integer(0), 0);
}

void tst_RecordRun::certificateForgottenAtQuit() {
    writeSettings(QStringLiteral("NOVERIFACTU"), m_pki.signer);
    m_prompts->passwordAnswers.enqueue(QByteArray(TestPki::Password));
    open();
    QVERIFY(m_window->session().credentials().isOpen());
    QVERIFY(m_window->close());
    QVERIFY(!m_window->session().credentials().isOpen());
}

// The check at start, beside the window, finds an event changed since the
// last run: the alarm shows in the status bar, and again after a restart,
// until it is resolved with a note from Ayuda > Registro de facturación.
void tst_RecordRun::checkAtStartRaisesTheAlarmUntilResolved() {
    writeSettings(QStringLiteral("NOVERIFACTU"), m_pki.signer);
    m_prompts->passwordAnswers.enqueue(QByteArray(TestPki::Password));
    open();
    QTRY_VERIFY(!m_window->recordRun()->checking());
    QVERIFY2(m_window->statusText().contains(QStringLiteral("correctos")),
             qPrintable(m_window->statusText()));
    QVERIFY(recordStatus()->alarm().isEmpty());
    QVERIFY(m_window->close());
    m_window.reset();
    QVERIFY(eventTypes().contains(QStringLiteral("05"))); // the events' check was logged

    const QString out = LedgerFixture::sqlite(
        file(QStringLiteral("Libro.db")),
        "DROP TRIGGER events_fixed; UPDATE events SET bytes = CAST(replace(CAST(bytes AS TEXT), "
        "'Talleres', 'Tallerez') AS BLOB) WHERE sequence = 1; SELECT changes();");
    QVERIFY2(out.trimmed() == "1", qPrintable(out));

    for (int run = 0; run < 2; ++run) {
        m_prompts->passwordAnswers.enqueue(QByteArray(TestPki::Password));
        open();
        QTRY_VERIFY(!m_window->recordRun()->checking());
        QVERIFY2(recordStatus()->alarm().contains(QStringLiteral("evento n.º 1")),
                 qPrintable(recordStatus()->alarm()));
        QVERIFY(recordStatus()->findChild<QWidget*>(QStringLiteral("IntegrityAlarm"))->isVisible());
        if (run == 0) {
            QVERIFY(m_window->close());
            m_window.reset();
        }
    }

    m_prompts->textAnswers.enqueue(QStringLiteral("Revisado: la copia se restauró a mano"));
    m_window->setModalRunner([&](QDialog& dialog) {
        auto* window = qobject_cast<RecordChainWindow*>(&dialog);
        QVERIFY(window);
        window->ComprobarClick();
        // Each event listed with its link and order; the name changed is
        // signed but not fingerprinted, so the chain itself still holds.
        auto* rows = window->findChild<QTableWidget*>(QStringLiteral("EventRows"));
        QVERIFY(rows->rowCount() >= 3);
        QCOMPARE(rows->item(0, 3)->text(), QStringLiteral("enlace correcto"));
        QCOMPARE(rows->item(0, 4)->text(), QStringLiteral("orden temporal correcto"));
        auto* resolve = window->findChild<QPushButton*>(QStringLiteral("ResolverAlarma"));
        QVERIFY(!resolve->isHidden());
        resolve->click();
        QVERIFY(resolve->isHidden());
    });
    m_window->RegistroFacturacionClick();
    QVERIFY2(m_prompts->errors().isEmpty(), qPrintable(m_prompts->errors().join(u'\n')));
    QVERIFY(recordStatus()->alarm().isEmpty());
    QCOMPARE(eventTypes().last(), QStringLiteral("90"));
}

// With a clock the test moves, 13 hours of running: summaries at 6 and 12
// hours, and one more as the window closes.
void tst_RecordRun::summariesWhileRunningAndAtQuit() {
    writeSettings(QStringLiteral("NOVERIFACTU"), m_pki.signer);
    m_prompts->passwordAnswers.enqueue(QByteArray(TestPki::Password));
    // The test certificates are valid from now on.
    LedgerFixture::FakeClock clock;
    clock.now = QDateTime::currentDateTimeUtc();
    m_window = std::make_unique<TForm2>(path());
    m_window->setModalRunner([](QDialog&) {});
    m_window->recordRun()->setClock(clock.clock());
    m_window->show();
    QTRY_VERIFY(!m_window->recordRun()->checking());
    const qsizetype before = eventTypes().count(QStringLiteral("10"));

    for (int minute = 1; minute <= 13 * 60; ++minute) {
        clock.now = clock.now.addSecs(60);
        m_window->recordRun()->summaryIfDue();
    }
    QCOMPARE(eventTypes().count(QStringLiteral("10")) - before, 2);
    QVERIFY(m_window->close());
    QCOMPARE(eventTypes().count(QStringLiteral("10")) - before, 3);
}

// Entering the mode without sending on the settings page logs its start,
// signed with the certificate whose password is asked then (cancelled:
// nothing saved, nothing logged); leaving it logs its end with the same
// certificate, not asked again.
void tst_RecordRun::modeStartAndEndFromTheSettingsPage() {
    writeSettings(QStringLiteral("VERIFACTU"), m_pki.signer);
    open();
    QVERIFY(m_prompts->textsOf(QStringLiteral("password")).isEmpty());
    bool accepted = false;
    int chosen = 2;
    m_window->setModalRunner([&](QDialog& dialog) {
        dialog.show();
        dialog.findChild<QComboBox*>(QStringLiteral("Modo"))->setCurrentIndex(chosen);
        qobject_cast<RecordSettingsDialog*>(&dialog)->GuardarClick();
        accepted = dialog.result() == QDialog::Accepted;
    });
    const QString ini = file(QStringLiteral("Registro.Ini"));

    m_window->editRecordSettings(); // the password box cancelled
    QVERIFY(!accepted);
    QVERIFY(readAll(ini).contains("MODO=VERIFACTU"));
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("Libro.db"))) || eventTypes().isEmpty());

    m_prompts->passwordAnswers.enqueue(QByteArray(TestPki::Password));
    m_window->editRecordSettings();
    QVERIFY(accepted);
    QVERIFY(readAll(ini).contains("MODO=NOVERIFACTU"));
    QCOMPARE(eventTypes(), QStringList{"01"});
    QCOMPARE(recordStatus()->mode(), QStringLiteral("NO VERI*FACTU"));

    chosen = 0;
    m_window->editRecordSettings();
    QVERIFY(accepted);
    QCOMPARE(eventTypes(), (QStringList{"01", "02"}));
    QCOMPARE(m_prompts->textsOf(QStringLiteral("password")).size(), 2);
    QVERIFY(recordStatus()->mode().isEmpty());
}

QTEST_MAIN(tst_RecordRun)
#include "tst_RecordRun.moc"
