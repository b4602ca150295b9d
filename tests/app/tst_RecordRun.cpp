#include "FakePrompts.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "../signing/TestPki.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"
#include "common/AppError.h"
#include "records/GenerationTime.h"
#include "records/ProducerData.h"
#include "session/RecordSignatures.h"

#include <QFileInfo>
#include <QTest>

// Working without sending each record, in the window: the certificate's
// password asked once at start and kept for the run, issuing signing with
// it, nothing issued without it, the certificate forgotten at quit.
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

private:
    void writeSettings(const QString& mode, const QString& certificate) const;
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
    // The built-in producer data are not filled in yet.
    const QString producer = m_pki.path("producer.json");
    QFile json(producer);
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(R"({"producer": {"name": "Productora de Ensayo, S.L.", "taxId": "B12345674"},
                  "system": {"name": "Orvane", "id": "OV"}})");
    qputenv(ProducerData::FileVariable, producer.toUtf8());
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
    QTest::newRow("right password") << "NOVERIFACTU" << QList<Answer>{Answer::Right} << 1 << true
                                    << "certificado abierto para esta sesión";
    QTest::newRow("mistyped once") << "NOVERIFACTU" << QList<Answer>{Answer::Wrong, Answer::Right}
                                   << 2 << true << "certificado abierto";
    QTest::newRow("cancelled") << "NOVERIFACTU" << QList<Answer>{Answer::Cancel} << 1 << false
                               << "no se puede emitir ninguna factura en esta sesión";
    QTest::newRow("wrong three times")
        << "NOVERIFACTU" << QList<Answer>{Answer::Wrong, Answer::Wrong, Answer::Wrong} << 3 << false
        << "no se puede emitir ninguna factura";
    QTest::newRow("sending mode: nothing asked")
        << "VERIFACTU" << QList<Answer>{} << 0 << false << QString();
}

void tst_RecordRun::passwordAskedAtStart() {
    QFETCH(QString, mode);
    QFETCH(QList<Answer>, answers);
    QFETCH(int, asked);
    QFETCH(bool, open);
    QFETCH(QString, status);
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
    if (!status.isEmpty())
        QVERIFY2(m_window->statusText().contains(status), qPrintable(m_window->statusText()));
    // Three wrong answers are told, not only the status.
    QCOMPARE(m_prompts->kinds().contains(QStringLiteral("warn")), asked == 3);
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

QTEST_MAIN(tst_RecordRun)
#include "tst_RecordRun.moc"
