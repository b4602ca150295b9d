#include "../ledger/LedgerFixture.h"
#include "../records/RecordTestKit.h"
#include "../signing/TestPki.h"
#include "CliRunner.h"

#include "ledger/EventLog.h"
#include "session/RecordSignatures.h"
#include "signing/SigningCertificate.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace LedgerFixture;

// orvane-cli records in the mode that does not send each record: the orders
// that write sign what they write, and refuse to start without the password
// or a certificate that opens with it.
class tst_CliRecordsSigned : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void refusedBeforeWriting_data();
    void refusedBeforeWriting();

private:
    CliRunner::Run records(const QStringList& arguments) const {
        return CliRunner::cli(QStringList{QStringLiteral("records")} + arguments +
                              QStringList{QStringLiteral("--home"), m_home->path()});
    }
    QStringList eventTypes() const {
        auto db = BookDatabase::open(m_home->path());
        SqlStatement rows(*db, "SELECT type FROM events ORDER BY sequence");
        QStringList types;
        while (rows.next())
            types << rows.text(0);
        return types;
    }

    TestPki m_pki;
    QString m_passwordFile;
    QTemporaryDir m_made;
    std::unique_ptr<QTemporaryDir> m_home;
};

void tst_CliRecordsSigned::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    m_passwordFile = m_pki.passwordFile();
    QVERIFY(!m_passwordFile.isEmpty());

    // The mode's start and three invoices with their signed records, made by
    // the program's ledger a second apart; the certificates are valid from
    // now on.
    QByteArray secret(TestPki::Password);
    const auto certificate =
        std::make_shared<const SigningCertificate>(SigningCertificate::open(m_pki.signer, secret));
    auto db = BookDatabase::open(m_made.path());
    FakeClock clock;
    clock.now = QDateTime::currentDateTimeUtc();
    EventLog log(*db, {IssuerName, Issuer, Territory::Peninsula},
                 RecordSignatures::with(certificate), {clock.clock(), producer()});
    EventRecord start;
    start.type = EventType::ModeStart;
    log.append(start);
    RecordLedger::Options o = options(clock);
    o.signer = RecordSignatures::with(certificate);
    RecordLedger ledger(*db, o);
    for (int n = 1; n <= 3; ++n) {
        clock.now = clock.now.addSecs(1);
        const InvoiceRow row =
            invoice(QString::number(n), {{VatTreatment::S1, "21", "100.00"}},
                    clock.now.toTimeZone(GenerationTime::zone(Territory::Peninsula)).date());
        ledger.issue(row, alta(row));
    }
    CliRunner::writeFile(m_made, QStringLiteral("Registro.Ini"),
                         "[MISDATOS]\nPERSONA=J\nNOMBRE=Ferretería Ñandú, S.L.\nNIF=89890001K\n"
                         "[VERIFACTU]\nMODO=NOVERIFACTU\n[FIRMA]\nMETODO=AUTOFIRMA\nCERTIFICADO=" +
                             m_pki.signer.toUtf8() + '\n');
}

void tst_CliRecordsSigned::init() {
    m_home = std::make_unique<QTemporaryDir>();
    for (const QString& name : QDir(m_made.path()).entryList(QDir::Files))
        QVERIFY(QFile::copy(QDir(m_made.path()).filePath(name), m_home->filePath(name)));
}

void tst_CliRecordsSigned::refusedBeforeWriting_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("verify without a password")
        << QStringList{"verify"} << 2 << "--password-file o --password-fd";
    QTest::newRow("export without a password")
        << QStringList{"export", "--from", "01/01/2020", "--to", "31/12/2099", "-o", "out.xml"} << 2
        << "--password-file o --password-fd";
    QTest::newRow("cancel without a password")
        << QStringList{"cancel", "A-1"} << 2 << "--password-file o --password-fd";
    QTest::newRow("both ways of giving it")
        << QStringList{"verify", "--password-file", "x", "--password-fd", "0"} << 2 << "no los dos";
    QTest::newRow("resolve without a password")
        << QStringList{"resolve", "--note", "revisado"} << 2 << "--password-file o --password-fd";
    QTest::newRow("resolve without a note")
        << QStringList{"resolve", "--note", " ", "--password-file", "GOOD"} << 2 << "--note";
    QTest::newRow("resolve with no alarm on")
        << QStringList{"resolve", "--note", "revisado", "--password-file", "GOOD"} << 1
        << "No hay ninguna alarma de integridad activa";
    QTest::newRow("a wrong password")
        << QStringList{"verify", "--password-file", "WRONG"} << 1 << "contraseña";
    QTest::newRow("a certificate that is not there")
        << QStringList{"verify", "--cert", "no-existe.p12", "--password-file", "GOOD"} << 1
        << "no-existe.p12";
}

void tst_CliRecordsSigned::refusedBeforeWriting() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    const QString wrong = CliRunner::writeFile(*m_home, "wrong.txt", "no es esta\n");
    arguments.replaceInStrings(QRegularExpression("^WRONG$"), wrong);
    arguments.replaceInStrings(QRegularExpression("^GOOD$"), m_passwordFile);
    const CliRunner::Run run = records(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(says, Qt::CaseInsensitive), qPrintable(run.err));
    // Nothing was checked, logged or cancelled.
    QCOMPARE(eventTypes(), QStringList{"01"});
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(tst_CliRecordsSigned)
#include "tst_CliRecordsSigned.moc"
