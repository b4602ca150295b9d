#include "../ledger/LedgerFixture.h"
#include "../records/RecordTestKit.h"
#include "../sending/StandIn.h"
#include "CliRunner.h"
#include "TestPki.h"
#include "ledger/RecordStore.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace LedgerFixture;

// orvane-cli records send against the local stand-in of the tax agency's
// service: what each answer does to the records in the book and to the exit
// status, a reply lost after the records arrived, and the wait the service
// asks for kept between runs.
class tst_CliRecordSend : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void answers_data();
    void answers();
    void lostReplyResentAsDuplicate();
    void duplicateOfARecordNeverSent();
    void waitKeptBetweenRuns();
    void bookFromBeforeSendingSendsAtOnce();
    void nothingSent_data();
    void nothingSent();
    void secondSenderRefused();
    void killedDuringSend();

private:
    // The settings name the stand-in's address, which changes at each start.
    CliRunner::Run send(const QByteArray& mode = "VERIFACTU", bool certificate = true) const {
        return CliRunner::cli(sendArguments(mode, certificate));
    }
    QStringList sendArguments(const QByteArray& mode = "VERIFACTU", bool certificate = true) const {
        writeSettings(mode);
        QStringList arguments = {QStringLiteral("records"),         QStringLiteral("send"),
                                 QStringLiteral("--home"),          m_home->path(),
                                 QStringLiteral("--password-file"), m_passwordFile};
        if (certificate)
            arguments << QStringLiteral("--cert") << m_pki.signer;
        return arguments;
    }
    // A records send left running, once its message has reached the stand-in.
    bool startSendAndWaitForMessage(QProcess& process) const {
        process.start(QStringLiteral(ORVANE_CLI_PATH), sendArguments());
        if (!process.waitForStarted(10000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (m_standIn.requests().isEmpty()) {
            if (waited.hasExpired(60000) || process.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(20);
        }
        return true;
    }
    CliRunner::Run verify() const {
        return CliRunner::cli({QStringLiteral("records"), QStringLiteral("verify"),
                               QStringLiteral("--home"), m_home->path()});
    }
    void writeSettings(const QByteArray& mode) const {
        CliRunner::writeFile(*m_home, QStringLiteral("Registro.Ini"),
                             "[MISDATOS]\nPERSONA=J\nNOMBRE=Ferretería Ñandú, S.L.\n"
                             "NIF=89890001K\n[VERIFACTU]\nMODO=" +
                                 mode + "\nURL=" + m_standIn.address().toString().toUtf8() +
                                 "\nCA=" + m_standIn.serverAuthority().toUtf8() + "\n");
    }
    // One letter per record in chain order: P pendiente, S enviado,
    // A aceptado, E aceptado con errores, R rechazado.
    QString states() const {
        QString letters;
        auto db = BookDatabase::open(m_home->path());
        const RecordStore store(*db);
        store.each(store.chains().first(), [&](const StoredRecord& r) {
            static const QStringList Names = {"pendiente", "enviado", "aceptado",
                                              "aceptado con errores", "rechazado"};
            letters += QLatin1Char("PSAER"[Names.indexOf(r.state)]);
            return true;
        });
        return letters;
    }
    QString column(const char* sql) const {
        return sqlite(QDir(m_home->path()).filePath(QStringLiteral("Libro.db")),
                      QString::fromLatin1(sql))
            .trimmed();
    }

    TestPki m_pki;
    StandIn m_standIn;
    QTemporaryDir m_made; // the book every test starts from: pending
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_passwordFile;
};

namespace {

QJsonObject line(const QString& state, int code = 0, const QString& description = {}) {
    QJsonObject answer{{"estado", state}};
    if (code) {
        answer.insert("codigo", code);
        answer.insert("descripcion", description);
    }
    return answer;
}

QJsonObject answer(const QJsonArray& lines = {}) {
    return QJsonObject{{"action", "answer"}, {"lines", lines}};
}

} // namespace

void tst_CliRecordSend::initTestCase() {
    const QString missing = StandIn::missingTool();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing + QStringLiteral(" is needed for the stand-in of the service")));
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY2(m_standIn.prepare(m_pki, QStringLiteral(ORVANE_STANDIN_SCRIPT)),
             qPrintable(m_standIn.problem));
    auto db = BookDatabase::open(m_made.path());
    FakeClock clock;
    RecordLedger ledger(*db, options(clock));
    for (int n = 1; n <= 3; ++n)
        issue(ledger, QString::number(n));
}

void tst_CliRecordSend::init() {
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::copy(m_made.filePath(QStringLiteral("Libro.db")),
                        m_home->filePath(QStringLiteral("Libro.db"))));
    m_passwordFile = CliRunner::writeFile(*m_home, QStringLiteral("clave.txt"),
                                          TestPki::Password + QByteArray("\n"));
}

void tst_CliRecordSend::answers_data() {
    QTest::addColumn<QJsonObject>("step");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errHas");

    QTest::newRow("correct") << answer() << "AAA" << 0 << "";
    QTest::newRow("partly correct")
        << answer({line("Correcto"),
                   line("AceptadoConErrores", 2004, "FechaHoraHusoGenRegistro fuera de margen"),
                   line("Incorrecto", 1100, "Valor o tipo incorrecto del campo")})
        << "AER" << 1 << "rechazado";
    QTest::newRow("incorrect") << answer({line("Incorrecto", 1100, "Valor incorrecto"),
                                          line("Incorrecto", 1100, "Valor incorrecto"),
                                          line("Incorrecto", 1100, "Valor incorrecto")})
                               << "RRR" << 1 << "Código 1100";
    QTest::newRow("answered out of order")
        << QJsonObject{{"action", "answer"},
                       {"reverse", true},
                       {"lines", QJsonArray{line("Incorrecto", 1100, "Valor incorrecto")}}}
        << "RAA" << 1 << "A-1";
    QTest::newRow("client fault")
        << QJsonObject{{"action", "fault"},
                       {"code", "env:Client"},
                       {"string", "Codigo[4104].Error en la cabecera: el valor del campo NIF del "
                                  "bloque ObligadoEmision no está identificado."}}
        << "PPP" << 1 << "4104";
    QTest::newRow("server fault") << QJsonObject{{"action", "fault"},
                                                 {"code", "env:Server"},
                                                 {"string",
                                                  "Codigo[20009].Error interno en el servidor"}}
                                  << "SSS" << 1 << "Quedan 3 registros pendientes";
    QTest::newRow("HTTP 500") << QJsonObject{{"action", "status"}, {"status", 500}} << "SSS" << 1
                              << "HTTP 500";
}

void tst_CliRecordSend::answers() {
    QFETCH(QJsonObject, step);
    QFETCH(QString, expected);
    QFETCH(int, status);
    QFETCH(QString, errHas);

    QVERIFY2(m_standIn.start({step}), qPrintable(m_standIn.problem));
    const CliRunner::Run run = send();
    QVERIFY2(run.err.contains(errHas), qPrintable(run.err));
    QCOMPARE(run.status, status);
    QCOMPARE(states(), expected);

    // One message, valid, with the issuer in its header; each record tried once.
    const QList<QJsonObject> seen = m_standIn.requests();
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.first().value("valid").toBool(),
             qPrintable(seen.first().value("problem").toString()));
    QCOMPARE(column("SELECT group_concat(attempts) FROM billing_records"), QStringLiteral("1,1,1"));
    // Accepted records keep the receipt.
    if (expected.contains(u'A'))
        QVERIFY(
            !column("SELECT csv FROM billing_records WHERE state = 'aceptado' LIMIT 1").isEmpty());
}

void tst_CliRecordSend::lostReplyResentAsDuplicate() {
    QVERIFY2(m_standIn.start({QJsonObject{{"action", "drop"}}, answer()}),
             qPrintable(m_standIn.problem));
    CliRunner::Run run = send();
    QCOMPARE(run.status, 1);
    QCOMPARE(states(), QStringLiteral("SSS"));

    // The retry's time comes.
    column("UPDATE sending_schedule SET next_allowed = ''");
    run = send();
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(states(), QStringLiteral("AAA"));
    QCOMPARE(m_standIn.requests().size(), 2);
    // The same record bytes; the lost reply was an incident, so the header says so.
    const QByteArray first = m_standIn.requestBody(1), second = m_standIn.requestBody(2);
    QCOMPARE(second.mid(second.indexOf("<sum:RegistroFactura>")),
             first.mid(first.indexOf("<sum:RegistroFactura>")));
    QVERIFY(!first.contains("Incidencia"));
    QVERIFY(second.contains("<sum1:Incidencia>S</sum1:Incidencia>"));

    const CliRunner::Run verified = verify();
    QVERIFY2(verified.status == 0, qPrintable(verified.out + verified.err));

    // Nothing is left: the next pass sends nothing and says so.
    run = send();
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(QStringLiteral("No hay registros pendientes")), qPrintable(run.out));
    QCOMPARE(m_standIn.requests().size(), 2);
}

void tst_CliRecordSend::duplicateOfARecordNeverSent() {
    QJsonObject duplicate = line("Incorrecto", 3000, "Registro de facturación duplicado.");
    duplicate.insert("duplicado", "Correcta");
    QVERIFY2(m_standIn.start({answer({line("Correcto"), duplicate})}),
             qPrintable(m_standIn.problem));
    const CliRunner::Run run = send();
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("Conflicto")) && run.err.contains("A-2"),
             qPrintable(run.err));
    QCOMPARE(states(), QStringLiteral("APA"));
}

void tst_CliRecordSend::waitKeptBetweenRuns() {
    QVERIFY2(m_standIn.start(
                 {QJsonObject{{"action", "answer"}, {"espera", 120}, {"omit", QJsonArray{2}}}}),
             qPrintable(m_standIn.problem));
    const QDateTime before = QDateTime::currentDateTimeUtc();
    CliRunner::Run run = send();
    const QDateTime after = QDateTime::currentDateTimeUtc();
    QCOMPARE(run.status, 1);
    QCOMPARE(states(), QStringLiteral("AAS"));
    const QDateTime next =
        QDateTime::fromString(column("SELECT next_allowed FROM sending_schedule"), Qt::ISODate);
    QVERIFY(next >= before.addSecs(119) && next <= after.addSecs(121));

    run = send();
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("Aún no se puede enviar")) &&
                 run.err.contains(next.toLocalTime().toString(QStringLiteral("HH:mm:ss"))),
             qPrintable(run.err));
    QCOMPARE(m_standIn.requests().size(), 1);
}

void tst_CliRecordSend::bookFromBeforeSendingSendsAtOnce() {
    const QString out =
        column("DROP TABLE sending_schedule; DROP TABLE corrections; PRAGMA user_version = 3;");
    QVERIFY2(out.isEmpty(), qPrintable(out));
    QVERIFY2(m_standIn.start({answer()}), qPrintable(m_standIn.problem));
    const CliRunner::Run run = send();
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(states(), QStringLiteral("AAA"));
    QVERIFY(!column("SELECT next_allowed FROM sending_schedule").isEmpty());
}

void tst_CliRecordSend::nothingSent_data() {
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<bool>("certificate");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("errHas");
    const QByteArray right = TestPki::Password;
    QTest::newRow("mode without sending") << QByteArray("NOVERIFACTU") << true << right
                                          << "solo envía registros en el modo VERI*FACTU";
    QTest::newRow("mode not chosen")
        << QByteArray() << true << right << "solo envía registros en el modo VERI*FACTU";
    QTest::newRow("no certificate") << QByteArray("VERIFACTU") << false << right
                                    << "solo acepta registros con el certificado del emisor";
    QTest::newRow("wrong password")
        << QByteArray("VERIFACTU") << true << QByteArray("otra") << "contraseña";
}

void tst_CliRecordSend::nothingSent() {
    QFETCH(QByteArray, mode);
    QFETCH(bool, certificate);
    QFETCH(QByteArray, password);
    QFETCH(QString, errHas);
    CliRunner::writeFile(*m_home, QStringLiteral("clave.txt"), password + '\n');
    QVERIFY2(m_standIn.start({answer()}), qPrintable(m_standIn.problem));
    const CliRunner::Run run = send(mode, certificate);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(errHas), qPrintable(run.err));
    QVERIFY(m_standIn.requests().isEmpty());
    QCOMPARE(states(), QStringLiteral("PPP"));
}

// Two senders at once, two real processes: the second sends nothing and says
// why; the first one's pass is whole. The service holds the first message
// long enough for a slow (sanitizer) build to start the second.
void tst_CliRecordSend::secondSenderRefused() {
    QVERIFY2(m_standIn.start({QJsonObject{{"action", "delay"}, {"seconds", 15}}}),
             qPrintable(m_standIn.problem));
    QProcess first;
    QVERIFY(startSendAndWaitForMessage(first));

    const CliRunner::Run second = send();
    QCOMPARE(second.status, 1);
    QVERIFY2(second.err.contains(QStringLiteral("está enviando ahora los registros")),
             qPrintable(second.err));

    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(m_standIn.requests().size(), 1);
    QCOMPARE(states(), QStringLiteral("AAA"));
    QCOMPARE(column("SELECT group_concat(attempts) FROM billing_records"), QStringLiteral("1,1,1"));
}

// Killed while the service holds the message unanswered: the records stay
// waiting, the next run takes over the dead sender's lock and sends the same
// bytes again, and the agency's duplicate answer marks them accepted.
void tst_CliRecordSend::killedDuringSend() {
    QVERIFY2(
        m_standIn.start(
            {QJsonObject{{"action", "delay"}, {"seconds", 60}, {"registered", true}}, answer()}),
        qPrintable(m_standIn.problem));
    QProcess killed;
    QVERIFY(startSendAndWaitForMessage(killed));
    killed.kill();
    QVERIFY(killed.waitForFinished(10000));
    QCOMPARE(states(), QStringLiteral("SSS"));

    const CliRunner::Run rerun = send();
    QVERIFY2(rerun.status == 0, qPrintable(rerun.err));
    QCOMPARE(states(), QStringLiteral("AAA"));
    const QList<QJsonObject> seen = m_standIn.requests();
    QCOMPARE(seen.size(), 2);
    QCOMPARE(m_standIn.requestBody(2), m_standIn.requestBody(1));
    const CliRunner::Run verified = verify();
    QVERIFY2(verified.status == 0, qPrintable(verified.out + verified.err));
    QCOMPARE(column("SELECT count(*) FROM billing_records"), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(tst_CliRecordSend)
#include "tst_CliRecordSend.moc"
