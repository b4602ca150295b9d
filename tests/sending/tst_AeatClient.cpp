#include "OutcomeLetters.h"
#include "RecordBodies.h"
#include "StandIn.h"
#include "TestPki.h"

#include "common/AppError.h"
#include "sending/AeatClient.h"
#include "sending/ServiceSettings.h"
#include "sending/SubmissionMessage.h"
#include "signing/SigningCertificate.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

// The client against the local stand-in of the service: what each kind of
// answer or failure turns into, the client certificate, and the bytes that
// travel.
class tst_AeatClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void outcomes_data();
    void outcomes();
    void clientCertificates_data();
    void clientCertificates();
    void serverNotTrusted();
    void resendAfterLostReplyIsAnsweredAsDuplicate();
    void answersMatchedById();
    void sendsFromTheEventLoop();
    void fullMessage();
    void recordAgainstTheSchemaRefused();

private:
    ClientSetup setup(const QString& p12, int timeoutSeconds = 20) const;

    TestPki m_pki;
    StandIn m_standIn;
};

namespace {

using Kind = SendOutcome::Kind;
using Outcome = RecordResult::Outcome;

QJsonObject answer(const QJsonArray& lines = {}) {
    return QJsonObject{{"action", "answer"}, {"lines", lines}};
}

QJsonObject line(const QString& state, int code = 0, const QString& description = {}) {
    QJsonObject reply{{"estado", state}};
    if (code) {
        reply.insert("codigo", code);
        reply.insert("descripcion", description);
    }
    return reply;
}

} // namespace

void tst_AeatClient::initTestCase() {
    const QString missing = StandIn::missingTool();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing + QStringLiteral(" is needed for the stand-in of the service")));
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY2(m_standIn.prepare(m_pki, QFINDTESTDATA("aeat_standin.py")),
             qPrintable(m_standIn.problem));
}

ClientSetup tst_AeatClient::setup(const QString& p12, int timeoutSeconds) const {
    ServiceSettings settings;
    settings.address = m_standIn.address();
    settings.extraAuthorities = m_standIn.serverAuthority();
    ClientSetup result;
    if (p12.isEmpty()) {
        result = ClientSetup::make(settings, nullptr, {});
    } else {
        QByteArray password(TestPki::Password);
        const SigningCertificate certificate = SigningCertificate::open(p12, password);
        result = ClientSetup::make(settings, &certificate, p12);
    }
    result.timeoutSeconds = timeoutSeconds;
    return result;
}

void tst_AeatClient::outcomes_data() {
    QTest::addColumn<QJsonObject>("step");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("mayHaveArrived");
    QTest::addColumn<QString>("records");
    QTest::addColumn<QString>("messageHas");

    QTest::newRow("correct") << answer() << int(Kind::Answered) << false << "AAA"
                             << "3 aceptados";
    QTest::newRow("partly correct")
        << answer({line("Correcto"),
                   line("AceptadoConErrores", 2004, "FechaHoraHusoGenRegistro fuera de margen"),
                   line("Incorrecto", 1100, "Valor o tipo incorrecto del campo")})
        << int(Kind::Answered) << false << "AER"
        << "1 rechazado";
    QTest::newRow("incorrect") << answer({line("Incorrecto", 1100, "Valor incorrecto"),
                                          line("Incorrecto", 1100, "Valor incorrecto"),
                                          line("Incorrecto", 1100, "Valor incorrecto")})
                               << int(Kind::Answered) << false << "RRR"
                               << "3 rechazados";
    QTest::newRow("a line missing") << QJsonObject{{"action", "answer"}, {"omit", QJsonArray{1}}}
                                    << int(Kind::Answered) << false << "ANA"
                                    << "sin respuesta";
    QTest::newRow("client fault")
        << QJsonObject{{"action", "fault"},
                       {"code", "env:Client"},
                       {"string", "Codigo[4104].Error en la cabecera: el valor del campo NIF del "
                                  "bloque ObligadoEmision no está identificado."}}
        << int(Kind::ClientFault) << false << ""
        << "no se enviarán de nuevo hasta que lo pida";
    QTest::newRow("server fault") << QJsonObject{{"action", "fault"},
                                                 {"code", "env:Server"},
                                                 {"string",
                                                  "Codigo[20009].Error interno en el servidor"}}
                                  << int(Kind::RetryLater) << true << ""
                                  << "Código 20009";
    QTest::newRow("HTTP 500") << QJsonObject{{"action", "status"}, {"status", 500}}
                              << int(Kind::RetryLater) << true << ""
                              << "HTTP 500";
    QTest::newRow("HTTP 503") << QJsonObject{{"action", "status"},
                                             {"status", 503},
                                             {"body", "Mantenimiento"}}
                              << int(Kind::RetryLater) << true << ""
                              << "HTTP 503";
    QTest::newRow("timeout") << QJsonObject{{"action", "delay"}, {"seconds", 4}}
                             << int(Kind::RetryLater) << true << ""
                             << "en 1 segundos";
    QTest::newRow("reset before reading")
        << QJsonObject{{"action", "reset"}} << int(Kind::RetryLater) << true << ""
        << "cortado";
    QTest::newRow("reply dropped")
        << QJsonObject{{"action", "drop"}} << int(Kind::RetryLater) << true << ""
        << "cortado";
}

void tst_AeatClient::outcomes() {
    QFETCH(QJsonObject, step);
    QFETCH(int, kind);
    QFETCH(bool, mayHaveArrived);
    QFETCH(QString, records);
    QFETCH(QString, messageHas);

    QVERIFY2(m_standIn.start({step}), qPrintable(m_standIn.problem));
    const int timeout = step.value("action").toString() == u"delay" ? 1 : 20;
    AeatClient client(setup(m_pki.signer, timeout));
    const SubmissionMessage message = SubmissionMessage::fromBody(RecordBodies::altas(3));

    QElapsedTimer clock;
    clock.start();
    const SendOutcome outcome = client.sendAndWait(message);
    QVERIFY2(clock.elapsed() < 3000 + timeout * 1000, "the client waited past its time");

    QVERIFY2(outcome.message.contains(messageHas), qPrintable(outcome.message));
    QCOMPARE(int(outcome.kind), kind);
    QCOMPARE(outcome.mayHaveArrived, mayHaveArrived);
    QCOMPARE(outcome.retryLater(), kind == int(Kind::RetryLater));
    QCOMPARE(outcomeLetters(outcome.records), records);
    for (qsizetype i = 0; i < outcome.records.size(); ++i)
        QCOMPARE(outcome.records.at(i).id, message.records().at(i));

    // One request, nothing resent behind the caller's back; its body was read
    // and valid wherever the stand-in read it.
    const QList<QJsonObject> seen = m_standIn.requests();
    QCOMPARE(seen.size(), 1);
    if (step.value("action").toString() != u"reset") {
        QVERIFY2(seen.first().value("valid").toBool(),
                 qPrintable(seen.first().value("problem").toString()));
        QCOMPARE(m_standIn.requestBody(1), message.envelope());
    }
}

void tst_AeatClient::clientCertificates_data() {
    QTest::addColumn<QString>("which");
    QTest::addColumn<int>("kind");

    QTest::newRow("none") << "" << int(Kind::CertificateRefused);
    QTest::newRow("expired") << "expired" << int(Kind::CertificateRefused);
    QTest::newRow("current") << "signer" << int(Kind::Answered);
    QTest::newRow("legacy RC2/3DES export") << "legacy" << int(Kind::Answered);
}

void tst_AeatClient::clientCertificates() {
    QFETCH(QString, which);
    QFETCH(int, kind);
    const QString p12 = which.isEmpty()       ? QString()
                        : which == u"expired" ? m_pki.expired
                        : which == u"legacy"  ? m_pki.legacy
                                              : m_pki.signer;

    QVERIFY2(m_standIn.start({answer()}), qPrintable(m_standIn.problem));
    AeatClient client(setup(p12));
    const SendOutcome outcome =
        client.sendAndWait(SubmissionMessage::fromBody(RecordBodies::altas(1)));

    QVERIFY2(int(outcome.kind) == kind, qPrintable(outcome.message));
    if (kind == int(Kind::CertificateRefused)) {
        QVERIFY2(outcome.message.contains(u"certificado"), qPrintable(outcome.message));
        QVERIFY2(p12.isEmpty() ? outcome.message.contains(u"no se ha presentado ninguno")
                               : outcome.message.contains(p12),
                 qPrintable(outcome.message));
        QVERIFY(outcome.retryLater());
        QVERIFY(!outcome.mayHaveArrived);
        QVERIFY(m_standIn.requests().isEmpty());
        QTRY_VERIFY(!m_standIn.refusedHandshakes().isEmpty());
    } else {
        QCOMPARE(outcomeLetters(outcome.records), QStringLiteral("A"));
        QCOMPARE(m_standIn.requests().first().value("client").toObject().value("serialNumber"),
                 QStringLiteral("IDCES-99999999R"));
    }
}

void tst_AeatClient::serverNotTrusted() {
    QVERIFY2(m_standIn.start({answer()}), qPrintable(m_standIn.problem));
    ClientSetup untrusting = setup(m_pki.signer);
    untrusting.tls.setCaCertificates(QSslConfiguration::systemCaCertificates());
    AeatClient client(untrusting);
    const SendOutcome outcome =
        client.sendAndWait(SubmissionMessage::fromBody(RecordBodies::altas(1)));

    QCOMPARE(int(outcome.kind), int(Kind::RetryLater));
    QVERIFY(!outcome.mayHaveArrived);
    QVERIFY2(outcome.message.contains(u"conexión segura"), qPrintable(outcome.message));
    QVERIFY2(outcome.message.contains(u"no procede de una autoridad de confianza"),
             qPrintable(outcome.message));
    QVERIFY(m_standIn.requests().isEmpty());
}

void tst_AeatClient::resendAfterLostReplyIsAnsweredAsDuplicate() {
    QVERIFY2(m_standIn.start({QJsonObject{{"action", "drop"}}, answer()}),
             qPrintable(m_standIn.problem));
    AeatClient client(setup(m_pki.signer));
    const SubmissionMessage message =
        SubmissionMessage::fromBody(RecordBodies::body({{"A-1"}, {"A-2"}}));

    const SendOutcome lost = client.sendAndWait(message);
    QCOMPARE(int(lost.kind), int(Kind::RetryLater));
    QVERIFY(lost.mayHaveArrived);

    const SendOutcome again = client.sendAndWait(message);
    QCOMPARE(int(again.kind), int(Kind::Answered));
    QCOMPARE(outcomeLetters(again.records), QStringLiteral("DD"));
    QCOMPARE(again.records.at(0).duplicateState, QStringLiteral("Correcta"));
    QCOMPARE(again.records.at(0).errorCode, 3000);

    QCOMPARE(m_standIn.requests().size(), 2);
    QCOMPARE(m_standIn.requestBody(1), m_standIn.requestBody(2));
}

void tst_AeatClient::answersMatchedById() {
    // An alta and the cancellation of the same invoice, answered in reverse
    // order with one unknown line added: each result goes to its own record.
    QVERIFY2(m_standIn.start({QJsonObject{{"action", "answer"},
                                          {"reverse", true},
                                          {"extra", true},
                                          {"lines", QJsonArray{line("Correcto"),
                                                               line("Incorrecto", 3002,
                                                                    "No existe el registro de "
                                                                    "facturación."),
                                                               line("AceptadoConErrores", 2004,
                                                                    "Fecha fuera de margen")}}}}),
             qPrintable(m_standIn.problem));
    AeatClient client(setup(m_pki.signer));
    const SubmissionMessage message =
        SubmissionMessage::fromBody(RecordBodies::body({{"B-7"}, {"B-7", true}, {"B-8"}}));
    const SendOutcome outcome = client.sendAndWait(message);

    QCOMPARE(int(outcome.kind), int(Kind::Answered));
    QCOMPARE(outcomeLetters(outcome.records), QStringLiteral("ARE"));
    QCOMPARE(outcome.records.at(1).id.operation, RecordId::Operation::Anulacion);
    QCOMPARE(outcome.records.at(1).errorCode, 3002);
    QCOMPARE(outcome.records.at(2).errorCode, 2004);
    QCOMPARE(outcome.unexpectedLines.size(), 1);
    QVERIFY(m_standIn.requests().first().value("valid").toBool());
}

void tst_AeatClient::sendsFromTheEventLoop() {
    QVERIFY2(m_standIn.start({QJsonObject{{"action", "delay"}, {"seconds", 1}}}),
             qPrintable(m_standIn.problem));
    AeatClient client(setup(m_pki.signer));
    QSignalSpy finished(&client, &AeatClient::finished);
    const SubmissionMessage message = SubmissionMessage::fromBody(RecordBodies::altas(2));

    client.send(message);
    QVERIFY(client.isBusy());
    QVERIFY_THROWS_EXCEPTION(AppError, client.send(message));
    QVERIFY(finished.wait(20000));
    QVERIFY(!client.isBusy());
    const SendOutcome outcome = finished.first().first().value<SendOutcome>();
    QCOMPARE(int(outcome.kind), int(Kind::Answered));
    QCOMPARE(outcomeLetters(outcome.records), QStringLiteral("AA"));
    QCOMPARE(m_standIn.requests().size(), 1);
}

void tst_AeatClient::fullMessage() {
    // 1,000 records, the most one message holds, reach the service valid and
    // every one is answered.
    QVERIFY2(m_standIn.start({QJsonObject{{"action", "answer"}, {"reverse", true}}}),
             qPrintable(m_standIn.problem));
    AeatClient client(setup(m_pki.signer, 60));
    const SubmissionMessage message = SubmissionMessage::fromBody(RecordBodies::altas(1000));
    const SendOutcome outcome = client.sendAndWait(message);

    QVERIFY2(outcome.kind == Kind::Answered, qPrintable(outcome.message));
    QCOMPARE(outcomeLetters(outcome.records), QString(1000, u'A'));
    QCOMPARE(outcome.records.last().id, message.records().last());
    QVERIFY(outcome.unexpectedLines.isEmpty());
    QVERIFY(m_standIn.requests().first().value("valid").toBool());
}

void tst_AeatClient::recordAgainstTheSchemaRefused() {
    // The stand-in checks each message against the published schemas, as the
    // service does: a record without its description is refused as a whole.
    QVERIFY2(m_standIn.start({answer()}), qPrintable(m_standIn.problem));
    QByteArray body = RecordBodies::altas(2);
    body.replace("<sum1:DescripcionOperacion>fecha entrega</sum1:DescripcionOperacion>", "");
    AeatClient client(setup(m_pki.signer));
    const SendOutcome outcome = client.sendAndWait(SubmissionMessage::fromBody(body));

    QCOMPARE(int(outcome.kind), int(Kind::ClientFault));
    QVERIFY2(outcome.message.contains(u"esquema"), qPrintable(outcome.message));
    const QJsonObject seen = m_standIn.requests().first();
    QVERIFY(!seen.value("valid").toBool());
    QVERIFY2(seen.value("problem").toString().contains(u"DescripcionOperacion"),
             qPrintable(seen.value("problem").toString()));
}

QTEST_GUILESS_MAIN(tst_AeatClient)
#include "tst_AeatClient.moc"
