#include "CanonicalForm.h"
#include "EventTestKit.h"
#include "common/AppError.h"
#include "records/EventBatch.h"
#include "records/RecordBuilder.h"

#include <QTest>

using namespace EventTestKit;
using RecordTestKit::schemaErrors;

// The export of events: our own wrapper around stored events, each kept byte
// for byte, each cut out of it with the canonical form it has alone (what
// its signature covers) and valid against the tax agency's schema.
class tst_EventBatch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eventsKeepTheirCanonicalForm();
    void storedWithDeclaration();
    void foreignBytes_data();
    void foreignBytes();

private:
    QList<QByteArray> m_events; // signed
};

namespace {

QList<xmlNode*> childrenOf(xmlDoc* doc) {
    QList<xmlNode*> found;
    for (xmlNode* n = xmlDocGetRootElement(doc)->children; n; n = n->next) {
        if (n->type == XML_ELEMENT_NODE)
            found << n;
    }
    return found;
}

} // namespace

void tst_EventBatch::initTestCase() {
    m_events = chain().stored;
}

void tst_EventBatch::eventsKeepTheirCanonicalForm() {
    const QByteArray file = EventBatch::document(m_events);
    const CanonicalForm::DocPtr doc = CanonicalForm::parse(file);
    QVERIFY(doc);
    const QList<xmlNode*> inside = childrenOf(doc.get());
    QCOMPARE(inside.size(), m_events.size());
    for (int i = 0; i < inside.size(); ++i) {
        QVERIFY(file.contains(m_events[i]));
        const QByteArray own = CanonicalForm::of(CanonicalForm::parse(m_events[i]).get());
        const QByteArray cutOut = CanonicalForm::of(doc.get(), inside[i]);
        QVERIFY(!own.isEmpty());
        QCOMPARE(cutOut, own);
        QCOMPARE(schemaErrors(cutOut), QStringList());
    }
    QVERIFY(file.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<RegistrosEvento>\n"));
}

void tst_EventBatch::storedWithDeclaration() {
    // A signed event may come back from the signer with a declaration.
    const QByteArray stored =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + m_events[0] + "\n";
    const QByteArray file = EventBatch::element({stored, m_events[1]});
    QVERIFY(file.contains("<RegistrosEvento>\n  " + m_events[0] + "\n  " + m_events[1] +
                          "\n</RegistrosEvento>"));
    QVERIFY(!file.contains("<?xml"));
    QVERIFY(!file.contains("\xEF\xBB\xBF"));
}

void tst_EventBatch::foreignBytes_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("a billing record") << RecordBuilder::build(RecordTestKit::alta()).xml;
    QTest::newRow("not XML") << QByteArray("<sf:RegistroEvento");
    QTest::newRow("nothing") << QByteArray("  \n");
    QTest::newRow("two declarations")
        << "<?xml version=\"1.0\"?><?xml version=\"1.0\"?>" + m_events[0];
    QTest::newRow("two byte-order marks")
        << "\xEF\xBB\xBF<?xml version=\"1.0\"?>\xEF\xBB\xBF" + m_events[0];
    QTest::newRow("an event and something after it") << m_events[0] + "<x/>";
}

void tst_EventBatch::foreignBytes() {
    QFETCH(QByteArray, stored);
    try {
        EventBatch::element({m_events[0], stored});
        QFAIL("wrapped");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("El evento 2 de los que se exportan")),
                 qPrintable(e.message()));
    }
    QVERIFY_THROWS_EXCEPTION(AppError, EventBatch::element({}));
}

QTEST_GUILESS_MAIN(tst_EventBatch)
#include "tst_EventBatch.moc"
