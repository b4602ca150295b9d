#include "../signing/TestPki.h"
#include "CliRunner.h"
#include "TrialProducer.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"
#include "records/GenerationTime.h"
#include "session/RecordSignatures.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// orvane-cli generate in the mode that does not send each record: every
// record it stores is signed with the certificate opened for the run, and
// without a certificate that opens nothing is issued.
class tst_CliGenerateSigned : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void refusedBeforeIssuing_data();
    void refusedBeforeIssuing();
    void eachRecordIsSignedAndVerifies();

private:
    CliRunner::Run generate(const QStringList& arguments, const QByteArray& input = {}) const {
        return CliRunner::run(
            QStringLiteral(ORVANE_CLI_PATH),
            QStringList{QStringLiteral("generate"), QStringLiteral("--home"), m_home->path()} +
                arguments,
            input);
    }
    QString import(const QString& name, const QString& number) const;
    void writeSettings(const QByteArray& firma) const;
    qint64 count(const char* sql) const {
        const auto db = BookDatabase::openExisting(m_home->path());
        SqlStatement select(*db, sql);
        return select.next() ? select.integer(0) : -1;
    }

    TestPki m_pki;
    QString m_passwordFile;
    std::unique_ptr<QTemporaryDir> m_home;
};

void tst_CliGenerateSigned::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    m_passwordFile = m_pki.passwordFile();
    QVERIFY(!m_passwordFile.isEmpty());
    QVERIFY(useTrialProducer(m_pki.path(QString())));
}

void tst_CliGenerateSigned::init() {
    m_home = std::make_unique<QTemporaryDir>();
    writeSettings("[FIRMA]\nMETODO=AUTOFIRMA\nCERTIFICADO=" + m_pki.signer.toUtf8() + '\n');
}

void tst_CliGenerateSigned::writeSettings(const QByteArray& firma) const {
    CliRunner::writeFile(*m_home, QStringLiteral("Registro.Ini"),
                         "[MISDATOS]\nPERSONA=J\nNOMBRE=Talleres\nNIF=B15123458\n"
                         "[VERIFACTU]\nMODO=NOVERIFACTU\n" +
                             firma);
}

// The sample invoice, numbered, issued today: the test certificates are
// valid from now on.
QString tst_CliGenerateSigned::import(const QString& name, const QString& number) const {
    const QString today = QDateTime::currentDateTimeUtc()
                              .toTimeZone(GenerationTime::zone(Territory::Peninsula))
                              .date()
                              .toString(QStringLiteral("dd/MM/yyyy"));
    QString text = QString::fromUtf8(CliRunner::readAll(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    text.replace(QStringLiteral("FACTURA=2024-001"), QStringLiteral("FACTURA=") + number)
        .replace(QStringLiteral("FECHA=15/03/2024"), QStringLiteral("FECHA=") + today)
        .replace(QStringLiteral("VENCIMIENTO=15/04/2024"), QStringLiteral("VENCIMIENTO=") + today);
    return CliRunner::writeFile(*m_home, name, text.toUtf8());
}

void tst_CliGenerateSigned::refusedBeforeIssuing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("firma"); // [FIRMA] of Registro.Ini; empty: the usual one
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("no password option")
        << QStringList{} << QByteArray() << 2 << "--password-file o --password-fd";
    QTest::newRow("both ways of giving it")
        << QStringList{"--password-file", "GOOD", "--password-fd", "0"} << QByteArray() << 2
        << "no los dos";
    QTest::newRow("a wrong password")
        << QStringList{"--password-file", "WRONG"} << QByteArray() << 1 << "contraseña";
    QTest::newRow("a certificate that is not there")
        << QStringList{"--cert", "no-existe.p12", "--password-file", "GOOD"} << QByteArray() << 1
        << "no-existe.p12";
    QTest::newRow("no certificate named")
        << QStringList{"--password-file", "GOOD"} << QByteArray("[FIRMA]\nMETODO=AUTOFIRMA\n") << 1
        << "[FIRMA] CERTIFICADO";
    QTest::newRow("an expired certificate")
        << QStringList{"--cert", "EXPIRED", "--password-file", "GOOD"} << QByteArray() << 1
        << "El certificado caducó";
}

void tst_CliGenerateSigned::refusedBeforeIssuing() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, firma);
    QFETCH(int, status);
    QFETCH(QString, says);
    if (!firma.isEmpty())
        writeSettings(firma);
    const QString wrong = CliRunner::writeFile(*m_home, "wrong.txt", "no es esta\n");
    arguments.replaceInStrings(QRegularExpression("^WRONG$"), wrong);
    arguments.replaceInStrings(QRegularExpression("^GOOD$"), m_passwordFile);
    arguments.replaceInStrings(QRegularExpression("^EXPIRED$"), m_pki.expired);
    const QString input = import(QStringLiteral("a.ini"), QStringLiteral("7"));

    const CliRunner::Run run = generate(arguments << input);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(says, Qt::CaseInsensitive), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    // Nothing issued: no document, no invoice, no record, no event.
    QVERIFY(!QFileInfo::exists(m_home->filePath(QStringLiteral("a.XML"))));
    if (QFileInfo::exists(m_home->filePath(QStringLiteral("Libro.db")))) {
        QCOMPARE(count("SELECT count(*) FROM invoices"), 0);
        QCOMPARE(count("SELECT count(*) FROM billing_records"), 0);
        QCOMPARE(count("SELECT count(*) FROM events"), 0);
    }
}

void tst_CliGenerateSigned::eachRecordIsSignedAndVerifies() {
    const QStringList withPassword{QStringLiteral("--password-file"), m_passwordFile};
    CliRunner::Run run = generate(withPassword + QStringList{import("a.ini", "7")});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(run.out.trimmed(), QDir::toNativeSeparators(m_home->filePath("a.XML")));
    // The second invoice of the run reads its password from a descriptor.
    run = generate({QStringLiteral("--password-fd"), QStringLiteral("0"), import("b.ini", "8")},
                   QByteArray(TestPki::Password) + '\n');
    QVERIFY2(run.status == 0, qPrintable(run.err));

    {
        const auto db = BookDatabase::openExisting(m_home->path());
        SqlStatement select(*db, "SELECT bytes FROM billing_records ORDER BY sequence");
        int records = 0;
        while (select.next()) {
            ++records;
            const QString problem =
                RecordSignatures::check()(select.blob(0), RecordSigner::Kind::Record);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(records, 2);
        // The log's first summary came with the first command; the second
        // ran within 6 hours of it and wrote none.
        QCOMPARE(count("SELECT count(*) FROM events WHERE type = '10'"), 1);
    }

    // The tool's own check of records, signatures and events.
    run = CliRunner::run(QStringLiteral(ORVANE_CLI_PATH),
                         QStringList{"records", "verify", "--home", m_home->path()} + withPassword);
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
}

QTEST_GUILESS_MAIN(tst_CliGenerateSigned)
#include "tst_CliGenerateSigned.moc"
