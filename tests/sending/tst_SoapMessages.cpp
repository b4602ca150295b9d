#include "OutcomeLetters.h"
#include "RecordBodies.h"

#include "common/AppError.h"
#include "sending/AeatErrorCodes.h"
#include "sending/SendOutcome.h"
#include "sending/ServiceReply.h"
#include "sending/SubmissionMessage.h"

#include <QElapsedTimer>
#include <QTest>

// The message that goes to the service and what comes back, without a
// network: the envelope around the records' bytes, the answers and faults the
// service writes, matching each answer to its record, and the outcome of
// every kind of reply.
class tst_SoapMessages : public QObject {
    Q_OBJECT
private slots:
    void envelopeKeepsTheBodyBytes_data();
    void envelopeKeepsTheBodyBytes();
    void bodyRefused_data();
    void bodyRefused();
    void recordIdsInOrder();
    void sampleReplies_data();
    void sampleReplies();
    void hostileReplyIsUnreadable_data();
    void hostileReplyIsUnreadable();
    void answerMatchedByIdAndOperation();
    void classified_data();
    void classified();
    void errorCodes_data();
    void errorCodes();
};

namespace {

using Kind = SendOutcome::Kind;
using Failure = TransportResult::Failure;

const QByteArray EnvelopeStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soapenv:Header/><soapenv:Body>";
const QByteArray EnvelopeEnd = "</soapenv:Body></soapenv:Envelope>\n";

QByteArray sample(const QString& name) {
    QFile file(QStringLiteral(ORVANE_THIRD_PARTY_DIR "/verifactu/responses/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

RecordId alta(const QString& number, const QString& date = QStringLiteral("02-11-2026")) {
    return RecordId{QStringLiteral("89890001K"), number, date, RecordId::Operation::Alta};
}

RecordId anulacion(const QString& number) {
    RecordId id = alta(number);
    id.operation = RecordId::Operation::Anulacion;
    return id;
}

AnswerLine answerLine(const RecordId& id, AnswerLine::State state, int code = 0) {
    AnswerLine line;
    line.id = id;
    line.state = state;
    line.errorCode = code;
    return line;
}

} // namespace

void tst_SoapMessages::envelopeKeepsTheBodyBytes_data() {
    QTest::addColumn<QByteArray>("prefix");

    QTest::newRow("with declaration") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    QTest::newRow("byte-order mark and declaration")
        << QByteArray("\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\r\n");
    QTest::newRow("bare element") << QByteArray();
}

void tst_SoapMessages::envelopeKeepsTheBodyBytes() {
    QFETCH(QByteArray, prefix);
    QByteArray element = RecordBodies::body({{"A-1"}, {"A-1", true}});
    element = element.mid(element.indexOf("<sum:RegFactuSistemaFacturacion"));
    element.replace("certificado uno telematicas", "Compañía «Ñandú» &amp; Cía");

    const SubmissionMessage message = SubmissionMessage::fromBody(prefix + element);
    // Byte for byte: the records' own namespaces stay where they were, and
    // nothing but the envelope's is declared above them.
    QCOMPARE(message.envelope(), EnvelopeStart + element + EnvelopeEnd);
    QCOMPARE(message.envelope().count("xmlns:"), element.count("xmlns:") + 1);
}

void tst_SoapMessages::bodyRefused_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("messageHas");

    const QByteArray good = RecordBodies::altas(2);
    QByteArray latin1 = good;
    latin1.replace("certificado uno telematicas", "Compa\xF1\xED"
                                                  "a");
    QByteArray declaredLatin1 = good;
    declaredLatin1.replace("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"");
    QByteArray doctype = good;
    doctype.replace("?>\n", "?>\n<!DOCTYPE x [<!ENTITY a \"b\">]>\n");
    QByteArray wrongRoot = good;
    wrongRoot.replace("RegFactuSistemaFacturacion", "ConsultaFactuSistemaFacturacion");
    QByteArray noId = good;
    noId.replace("<sum1:NumSerieFactura>A-2</sum1:NumSerieFactura>", "");

    QTest::newRow("not UTF-8") << latin1 << "UTF-8";
    QTest::newRow("declared in another encoding") << declaredLatin1 << "ISO-8859-1";
    QTest::newRow("not well-formed") << good.left(good.size() - 10) << "XML mal formado";
    QTest::newRow("document type declaration") << doctype << "declaraciones de tipo";
    QTest::newRow("another element") << wrongRoot << "ConsultaFactuSistemaFacturacion";
    QTest::newRow("no record") << RecordBodies::body({}) << "ningún registro";
    QTest::newRow("invoice id incomplete") << noId << "IDFactura";
    QTest::newRow("same record twice")
        << RecordBodies::body({{"A-1"}, {"A-2"}, {"A-1"}}) << "A-1 del 03-02-2025 (alta)";
    QTest::newRow("same cancellation twice")
        << RecordBodies::body({{"A-1", true}, {"A-1", true}}) << "(anulación)";
    QTest::newRow("1,001 records") << RecordBodies::altas(1001) << "como mucho 1000";
}

void tst_SoapMessages::bodyRefused() {
    QFETCH(QByteArray, body);
    QFETCH(QString, messageHas);
    try {
        SubmissionMessage::fromBody(body);
        QFAIL("the body was accepted");
    } catch (const AppError& error) {
        QVERIFY2(error.message().startsWith(u"El mensaje para la Agencia Tributaria no se puede "
                                            u"enviar"),
                 qPrintable(error.message()));
        QVERIFY2(error.message().contains(messageHas), qPrintable(error.message()));
    }
}

void tst_SoapMessages::recordIdsInOrder() {
    // The alta and the cancellation of one invoice may travel together: they
    // differ in operation.
    const SubmissionMessage message =
        SubmissionMessage::fromBody(RecordBodies::body({{"B-2"}, {"B-1"}, {"B-2", true}}));
    const QList<RecordId> expected{
        {"89890001K", "B-2", "03-02-2025", RecordId::Operation::Alta},
        {"89890001K", "B-1", "03-02-2025", RecordId::Operation::Alta},
        {"89890001K", "B-2", "03-02-2025", RecordId::Operation::Anulacion},
    };
    QCOMPARE(message.records(), expected);
    QCOMPARE(SubmissionMessage::fromBody(RecordBodies::altas(1000)).records().size(), 1000);
}

void tst_SoapMessages::sampleReplies_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("csv");
    QTest::addColumn<int>("wait");
    QTest::addColumn<QString>("states"); // per line: C correct, E with errors, I incorrect
    QTest::addColumn<QString>("codes");
    QTest::addColumn<bool>("clientSide");
    QTest::addColumn<int>("faultCode");

    using K = ServiceReply::Kind;
    QTest::newRow("correct") << "resp-correcto.xml" << int(K::Answer) << "A-TEST0000000001" << 60
                             << "CC"
                             << "0,0" << false << 0;
    QTest::newRow("partly correct")
        << "resp-parcial.xml" << int(K::Answer) << "A-TEST0000000002" << 120 << "EIE"
        << "2004,3000,2007" << false << 0;
    QTest::newRow("incorrect") << "resp-incorrecto.xml" << int(K::Answer) << "" << 60 << "I"
                               << "3002" << false << 0;
    QTest::newRow("client fault") << "fault-client-4104.xml" << int(K::Fault) << "" << 60 << ""
                                  << "" << true << 4104;
    QTest::newRow("server fault") << "fault-server-20009.xml" << int(K::Fault) << "" << 60 << ""
                                  << "" << false << 20009;
}

void tst_SoapMessages::sampleReplies() {
    QFETCH(QString, file);
    QFETCH(int, kind);
    QFETCH(QString, csv);
    QFETCH(int, wait);
    QFETCH(QString, states);
    QFETCH(QString, codes);
    QFETCH(bool, clientSide);
    QFETCH(int, faultCode);

    const QByteArray bytes = sample(file);
    QVERIFY(!bytes.isEmpty());
    const ServiceReply reply = ServiceReply::parse(bytes);
    QCOMPARE(int(reply.kind), kind);
    if (reply.kind == ServiceReply::Kind::Fault) {
        QCOMPARE(reply.fault.clientSide, clientSide);
        QCOMPARE(reply.fault.agencyCode, faultCode);
        QVERIFY(!reply.fault.text.startsWith(u"Codigo"));
        QVERIFY(!reply.fault.text.isEmpty());
        return;
    }
    QCOMPARE(reply.answer.csv, csv);
    QCOMPARE(reply.answer.waitSeconds, wait);
    QString lineStates;
    QStringList lineCodes;
    for (const AnswerLine& line : reply.answer.lines) {
        lineStates += QLatin1Char("CEI"[int(line.state)]);
        lineCodes << QString::number(line.errorCode);
    }
    QCOMPARE(lineStates, states);
    QCOMPARE(lineCodes.join(u','), codes);
    if (file == u"resp-parcial.xml") {
        const AnswerLine& duplicate = reply.answer.lines.at(1);
        QVERIFY(duplicate.duplicate);
        QCOMPARE(duplicate.duplicateState, QStringLiteral("Correcta"));
        QCOMPARE(duplicate.duplicateRequestId, QStringLiteral("202611020000001"));
        QCOMPARE(duplicate.id, alta("A-2026-0004"));
        QVERIFY(!reply.answer.lines.at(0).duplicate);
    }
    if (file == u"resp-incorrecto.xml")
        QCOMPARE(reply.answer.lines.at(0).id, anulacion("A-2026-0099"));
}

void tst_SoapMessages::hostileReplyIsUnreadable_data() {
    QTest::addColumn<QByteArray>("bytes");

    QByteArray deep = "<env:Envelope xmlns:env=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                      "<env:Body>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    QTest::newRow("100,000 levels deep") << deep;
    QTest::newRow("entity expansion")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE e [<!ENTITY a \"aaaaaaaaaa\">"
                      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
                      "<env:Envelope xmlns:env=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                      "<env:Body>&c;</env:Body></env:Envelope>");
    QTest::newRow("HTML error page") << QByteArray("<html><body>Bad gateway</body></html>");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("another answer")
        << QByteArray("<env:Envelope xmlns:env=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                      "<env:Body><x:Otra xmlns:x=\"urn:x\"/></env:Body></env:Envelope>");
}

void tst_SoapMessages::hostileReplyIsUnreadable() {
    QFETCH(QByteArray, bytes);
    QElapsedTimer clock;
    clock.start();
    const ServiceReply reply = ServiceReply::parse(bytes);
    QCOMPARE(int(reply.kind), int(ServiceReply::Kind::Unreadable));
    QVERIFY(!reply.problem.isEmpty());
    QVERIFY2(clock.elapsed() < 1000, "an unreadable reply took long to refuse");
}

void tst_SoapMessages::answerMatchedByIdAndOperation() {
    const QList<RecordId> sent{alta("A-1"), alta("A-2"), anulacion("A-1"), alta("A-3"),
                               alta("A-4")};
    ServiceAnswer answer;
    // Out of order; A-3 not answered; a line for a record not sent; a second
    // line for A-2; the issuer's tax id in another letter case.
    AnswerLine cancellation = answerLine(anulacion("A-1"), AnswerLine::State::Incorrecto, 3002);
    AnswerLine duplicate = answerLine(alta("A-4"), AnswerLine::State::Incorrecto, 3000);
    duplicate.duplicate = true;
    duplicate.duplicateState = QStringLiteral("AceptadaConErrores");
    RecordId lowerCase = alta("A-2");
    lowerCase.issuerNif = lowerCase.issuerNif.toLower();
    answer.lines = {duplicate,
                    cancellation,
                    answerLine(alta("A-9"), AnswerLine::State::Correcto),
                    answerLine(lowerCase, AnswerLine::State::AceptadoConErrores, 2004),
                    answerLine(alta("A-2"), AnswerLine::State::Correcto),
                    answerLine(alta("A-1"), AnswerLine::State::Correcto),
                    answerLine(alta("A-1", "03-11-2026"), AnswerLine::State::Correcto)};

    QStringList unexpected;
    const QList<RecordResult> results = matchAnswer(sent, answer, &unexpected);
    QCOMPARE(outcomeLetters(results), QStringLiteral("AERND"));
    for (qsizetype i = 0; i < sent.size(); ++i)
        QCOMPARE(results.at(i).id, sent.at(i));
    QCOMPARE(results.at(1).errorCode, 2004);
    QCOMPARE(results.at(2).errorCode, 3002);
    QCOMPARE(results.at(4).duplicateState, QStringLiteral("AceptadaConErrores"));
    QVERIFY(results.at(3).message.contains(u"se enviará de nuevo"));
    QCOMPARE(unexpected.size(), 3);
}

void tst_SoapMessages::classified_data() {
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("mayHaveArrived");
    QTest::addColumn<QString>("messageHas");

    const QByteArray answer = sample("resp-correcto.xml");
    const QByteArray clientFault = sample("fault-client-4104.xml");
    const QByteArray serverFault = sample("fault-server-20009.xml");
    const int none = int(Failure::None);
    const QString p12 = QStringLiteral("/home/ana/certificado.p12");

    QTest::newRow("answer") << none << 200 << answer << p12 << int(Kind::Answered) << false
                            << "2 aceptados. Justificante (CSV): A-TEST0000000001";
    QTest::newRow("client fault in HTTP 500")
        << none << 500 << clientFault << p12 << int(Kind::ClientFault) << false
        << "Código 4104: la Agencia Tributaria no identifica el NIF";
    QTest::newRow("client fault in HTTP 200")
        << none << 200 << clientFault << p12 << int(Kind::ClientFault) << false << "4104";
    QByteArray refusedWhole = sample("resp-incorrecto.xml");
    refusedWhole.replace("A-2026-0099", "Z-1");
    QTest::newRow("incorrect, no record named")
        << none << 200 << refusedWhole << p12 << int(Kind::ClientFault) << false
        << "rechazado el envío entero";
    QTest::newRow("server fault") << none << 500 << serverFault << p12 << int(Kind::RetryLater)
                                  << true << "Código 20009";
    QTest::newRow("answer in HTTP 500")
        << none << 500 << answer << p12 << int(Kind::RetryLater) << true << "HTTP 500";
    QTest::newRow("HTTP 502 page") << none << 502 << QByteArray("<html>Bad gateway</html>") << p12
                                   << int(Kind::RetryLater) << true << "HTTP 502";
    QTest::newRow("HTTP 200 not an answer")
        << none << 200 << QByteArray("<html>Mantenimiento</html>") << p12 << int(Kind::RetryLater)
        << true << "No se entiende la respuesta";
    QTest::newRow("HTTP 404") << none << 404 << QByteArray() << p12 << int(Kind::RetryLater)
                              << false << "HTTP 404. Compruebe la dirección del servicio";
    QTest::newRow("HTTP 302") << none << 302 << QByteArray() << p12 << int(Kind::RetryLater)
                              << false << "HTTP 302";
    QTest::newRow("HTTP 403") << none << 403 << QByteArray() << p12 << int(Kind::CertificateRefused)
                              << false << p12;
    QTest::newRow("timeout") << int(Failure::TimedOut) << 0 << QByteArray() << p12
                             << int(Kind::RetryLater) << true << "en 30 segundos";
    QTest::newRow("too large") << int(Failure::TooLarge) << 0 << QByteArray() << p12
                               << int(Kind::RetryLater) << true << "demasiado grande";
    QTest::newRow("no connection") << int(Failure::ConnectionFailed) << 0 << QByteArray() << p12
                                   << int(Kind::RetryLater) << false << "conexión a Internet";
    QTest::newRow("TLS failure") << int(Failure::TlsFailed) << 0 << QByteArray() << p12
                                 << int(Kind::RetryLater) << false << "conexión segura";
    QTest::newRow("connection lost") << int(Failure::ConnectionLost) << 0 << QByteArray() << p12
                                     << int(Kind::RetryLater) << true << "cortado la conexión";
    QTest::newRow("certificate refused")
        << int(Failure::CertificateRefused) << 0 << QByteArray() << p12
        << int(Kind::CertificateRefused) << false << "no ha aceptado el certificado " + p12;
    QTest::newRow("no certificate offered")
        << int(Failure::CertificateRefused) << 0 << QByteArray() << QString()
        << int(Kind::CertificateRefused) << false << "Configuración > Firma";
}

void tst_SoapMessages::classified() {
    QFETCH(int, failure);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, certificate);
    QFETCH(int, kind);
    QFETCH(bool, mayHaveArrived);
    QFETCH(QString, messageHas);

    const QList<RecordId> sent{alta("A-2026-0001"), alta("A-2026-0002")};
    TransportResult transport;
    transport.failure = Failure(failure);
    transport.httpStatus = status;
    transport.body = body;
    const SendContext context{QStringLiteral("https://prewww1.aeat.es/"), certificate, 30};
    const SendOutcome outcome = SendOutcome::classify(sent, transport, context);

    QCOMPARE(int(outcome.kind), kind);
    QCOMPARE(outcome.mayHaveArrived, mayHaveArrived);
    QVERIFY2(outcome.message.contains(messageHas), qPrintable(outcome.message));
    QCOMPARE(outcome.records.size(), kind == int(Kind::Answered) ? sent.size() : 0);
    if (kind != int(Kind::Answered) && kind != int(Kind::ClientFault))
        QVERIFY2(outcome.message.contains(u"se enviarán de nuevo más tarde"),
                 qPrintable(outcome.message));
}

void tst_SoapMessages::errorCodes_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("agencyText");
    QTest::addColumn<QString>("shown");

    QTest::newRow("known") << 3002 << "No existe el registro de facturación."
                           << "Código 3002: la Agencia Tributaria no tiene el registro";
    QTest::newRow("unknown, shown as given") << 1234 << "Texto nuevo de la Agencia."
                                             << "Código 1234: Texto nuevo de la Agencia";
    QTest::newRow("unknown without text") << 1234 << ""
                                          << "Código 1234: sin descripción";
}

void tst_SoapMessages::errorCodes() {
    QFETCH(int, code);
    QFETCH(QString, agencyText);
    QFETCH(QString, shown);
    const QString explained = AeatErrorCodes::explain(code, agencyText);
    QVERIFY2(explained.startsWith(shown), qPrintable(explained));
    // The sentence around it adds the full stop.
    QVERIFY2(!explained.endsWith(u'.'), qPrintable(explained));
}

QTEST_GUILESS_MAIN(tst_SoapMessages)
#include "tst_SoapMessages.moc"
