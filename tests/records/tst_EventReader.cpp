#include "EventTestKit.h"
#include "RecordReadings.h"
#include "common/AppError.h"
#include "records/EventReader.h"
#include "records/RecordBuilder.h"

#include <QTest>

#include <memory>

using namespace EventTestKit;

// Reading stored events, signed or not, without a tree: whatever it reads,
// an XML parser reads the same; what it cannot read that way, it refuses.
class tst_EventReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameAsParser_data();
    void sameAsParser();
    void refused_data();
    void refused();

private:
    QByteArray m_first;  // unsigned, first of its chain
    QByteArray m_signed; // signed, after another event
};

namespace {

using RecordReadings::child;
using RecordReadings::text;

// Every text the fingerprint and the link are made of, one a line.
QString byParser(const QByteArray& bytes) {
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
    if (!doc)
        return QStringLiteral("(not XML)");
    const xmlNode* event = child(xmlDocGetRootElement(doc.get()), "Evento");
    const xmlNode* system = child(event, "SistemaInformatico");
    const xmlNode* chain = child(event, "Encadenamiento");
    const xmlNode* previous = child(chain, "EventoAnterior");
    return QStringList{text(child(system, "NIF")),
                       text(child(child(system, "IDOtro"), "ID")),
                       text(child(system, "IdSistemaInformatico")),
                       text(child(system, "Version")),
                       text(child(system, "NumeroInstalacion")),
                       text(child(child(event, "ObligadoEmision"), "NIF")),
                       text(child(event, "TipoEvento")),
                       text(child(previous, "HuellaEvento")),
                       text(child(event, "FechaHoraHusoGenEvento")),
                       text(child(chain, "PrimerEvento")).trimmed() == u"S" ? QStringLiteral("S")
                                                                            : QString(),
                       text(child(previous, "TipoEvento")),
                       text(child(previous, "FechaHoraHusoGenEvento")),
                       text(child(event, "TipoHuella")),
                       text(child(event, "HuellaEvento"))}
        .join(u'\n');
}

QString byReader(const ReadEvent& r) {
    const Fingerprint::EventTexts& t = r.fingerprinted;
    return QStringList{t.producerNif,        t.producerOtherId,
                       t.systemId,           t.version,
                       t.installationNumber, t.issuerNif,
                       t.eventType,          t.previousHuella,
                       t.generatedAt,        r.first ? QStringLiteral("S") : QString(),
                       r.previousType,       r.previousGeneratedAt,
                       r.tipoHuella,         r.huella}
        .join(u'\n');
}

} // namespace

void tst_EventReader::initTestCase() {
    m_first = EventBuilder::build(anEvent(EventType::ModeStart)).xml;
    const Chain c = chain();
    m_signed = c.stored[3]; // a summary: TipoEvento inside its detail too
}

void tst_EventReader::sameAsParser_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("first event as written") << m_first;
    QTest::newRow("signed event after another") << m_signed;
    QTest::newRow("with a declaration and a byte-order mark")
        << "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + m_signed;
    QByteArray otherPrefix = m_signed;
    otherPrefix.replace("sf:", "ev:").replace("xmlns:sf=", "xmlns:ev=");
    QTest::newRow("another prefix for the namespace") << otherPrefix;
    QByteArray byDefault = m_signed;
    byDefault.replace("sf:", "").replace("xmlns:sf=", "xmlns=");
    QTest::newRow("the namespace by default") << byDefault;
    QByteArray otherId = m_first;
    otherId.replace("<sf:NIF>B12345674</sf:NIF>",
                    "<sf:IDOtro><sf:IDType>02</sf:IDType><sf:ID>PT507</sf:ID></sf:IDOtro>");
    QTest::newRow("producer with another kind of id") << otherId;
    QByteArray refs = m_signed;
    refs.replace("<sf:TipoEvento>10</sf:TipoEvento>\n    <sf:DatosPropiosEvento>",
                 "<sf:TipoEvento>&#49;&#x30;</sf:TipoEvento>\n    <sf:DatosPropiosEvento>");
    QTest::newRow("character references") << refs;
}

void tst_EventReader::sameAsParser() {
    QFETCH(QByteArray, bytes);
    const ReadEvent read = EventReader::read(bytes);
    QCOMPARE(byReader(read), byParser(bytes));
    QVERIFY(!read.fingerprinted.eventType.isEmpty());
}

void tst_EventReader::refused_data() {
    QTest::addColumn<QByteArray>("bytes");
    auto edited = [this](const char* from, const char* to) {
        QByteArray b = m_signed;
        if (!b.contains(from))
            qFatal("fixture lacks %s", from);
        return b.replace(from, to);
    };
    QTest::newRow("a billing record") << RecordBuilder::build(RecordTestKit::alta()).xml;
    QByteArray otherNamespace = m_first;
    otherNamespace.replace("EventosSIF.xsd", "Otros.xsd");
    QTest::newRow("root in another namespace") << otherNamespace;
    QTest::newRow("type given twice")
        << edited("<sf:TipoEvento>10</sf:TipoEvento>\n    <sf:DatosPropiosEvento>",
                  "<sf:TipoEvento>10</sf:TipoEvento><sf:TipoEvento>01</sf:TipoEvento>"
                  "<sf:DatosPropiosEvento>");
    QTest::newRow("a second Evento") << edited("</sf:Evento>", "</sf:Evento><sf:Evento/>");
    QTest::newRow("element inside a field")
        << edited("<sf:TipoHuella>01<", "<sf:TipoHuella><b>01</b><");
    QTest::newRow("comment hiding a field")
        << edited("<sf:TipoHuella>", "<!--<sf:TipoHuella>02</sf:TipoHuella>--><sf:TipoHuella>");
    QTest::newRow("cut short") << m_signed.left(m_signed.size() - 3);
}

void tst_EventReader::refused() {
    QFETCH(QByteArray, bytes);
    QVERIFY_THROWS_EXCEPTION(AppError, EventReader::read(bytes));
}

QTEST_GUILESS_MAIN(tst_EventReader)
#include "tst_EventReader.moc"
