#include "RecordTestKit.h"
#include "common/AppError.h"
#include "records/RecordBatch.h"
#include "records/RecordBuilder.h"

#include <QTest>

#include <libxml/c14n.h>

#include <memory>

using namespace RecordTestKit;

Q_DECLARE_METATYPE(RecordBatch::Header)

// The RegFactuSistemaFacturacion body of a sending or an export: valid, the
// records in it byte for byte, and each record's canonical form inside it the
// one it has on its own (what its signature covers).
class tst_RecordBatch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void headers_data();
    void headers();
    void recordsKeepTheirCanonicalForm();
    void storedWithDeclaration();
    void limits_data();
    void limits();
    void foreignBytes_data();
    void foreignBytes();

private:
    QList<QByteArray> m_chain; // an alta, a second alta, an anulación
};

namespace {

using DocPtr = std::unique_ptr<xmlDoc, void (*)(xmlDoc*)>;

DocPtr parse(const QByteArray& xml) {
    return DocPtr(
        xmlReadMemory(xml.constData(), int(xml.size()), nullptr, nullptr, XML_PARSE_NONET),
        xmlFreeDoc);
}

QByteArray canonical(xmlDoc* doc, xmlC14NIsVisibleCallback visible, void* data) {
    xmlOutputBufferPtr buffer = xmlAllocOutputBuffer(nullptr);
    QByteArray bytes;
    if (xmlC14NExecute(doc, visible, data, XML_C14N_1_0, nullptr, 0, buffer) >= 0)
        bytes = QByteArray(reinterpret_cast<const char*>(xmlOutputBufferGetContent(buffer)),
                           qsizetype(xmlOutputBufferGetSize(buffer)));
    xmlOutputBufferClose(buffer);
    return bytes;
}

// Inside the subtree of the element given as data (namespace nodes are seen
// with their element as parent).
int insideSubtree(void* data, xmlNodePtr node, xmlNodePtr parent) {
    const auto* top = static_cast<xmlNode*>(data);
    xmlNode* n = node && node->type == XML_NAMESPACE_DECL ? parent : node;
    for (; n; n = n->parent) {
        if (n == top)
            return 1;
    }
    return 0;
}

QList<xmlNode*> recordsIn(xmlDoc* doc) {
    QList<xmlNode*> found;
    for (xmlNode* f = xmlDocGetRootElement(doc)->children; f; f = f->next) {
        if (f->type != XML_ELEMENT_NODE || !xmlStrEqual(f->name, BAD_CAST "RegistroFactura"))
            continue;
        for (xmlNode* r = f->children; r; r = r->next) {
            if (r->type == XML_ELEMENT_NODE)
                found << r;
        }
    }
    return found;
}

RecordBatch::Header header() {
    return {QStringLiteral("Ferretería Ñandú, S.L."), QStringLiteral("89890001K"), {}, {}};
}

} // namespace

void tst_RecordBatch::initTestCase() {
    BuiltRecord first = RecordBuilder::build(alta());
    BillingRecord next = alta(QStringLiteral("A-2027-002"));
    next.chain = ChainLink::after(alta().invoice, first.huella);
    BuiltRecord second = RecordBuilder::build(next);
    BillingRecord cancel = anulacion(QStringLiteral("A-2027-002"));
    cancel.chain = ChainLink::after(next.invoice, second.huella);
    m_chain = {first.xml, second.xml, RecordBuilder::build(cancel).xml};
}

void tst_RecordBatch::headers_data() {
    QTest::addColumn<RecordBatch::Header>("header");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("issuer only") << header() << QByteArray("<sum1:NIF>89890001K</sum1:NIF>");
    RecordBatch::Header late = header();
    late.incident = true;
    QTest::newRow("sent late after an incident")
        << late
        << QByteArray("<sum1:RemisionVoluntaria>\n      <sum1:Incidencia>S</sum1:Incidencia>");
    RecordBatch::Header leaving = header();
    leaving.verifactuEnd = QDate(2027, 12, 31);
    leaving.incident = false;
    QTest::newRow("leaving VERI*FACTU mode")
        << leaving
        << QByteArray("<sum1:FechaFinVeriFactu>31-12-2027</sum1:FechaFinVeriFactu>\n      "
                      "<sum1:Incidencia>N</sum1:Incidencia>");
}

void tst_RecordBatch::headers() {
    QFETCH(RecordBatch::Header, header);
    QFETCH(QByteArray, expected);
    const QByteArray batch = RecordBatch::document(header, m_chain);
    QCOMPARE(schemaErrors(batch), QStringList());
    QVERIFY2(batch.contains(expected), batch.constData());
    QVERIFY(batch.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sum:RegFactuSistema"));
    for (const QByteArray& record : m_chain)
        QVERIFY(batch.contains(record));
}

void tst_RecordBatch::recordsKeepTheirCanonicalForm() {
    const QByteArray batch = RecordBatch::element(header(), m_chain);
    DocPtr doc = parse(batch);
    QVERIFY(doc);
    const QList<xmlNode*> inside = recordsIn(doc.get());
    QCOMPARE(inside.size(), m_chain.size());
    for (int i = 0; i < inside.size(); ++i) {
        DocPtr alone = parse(m_chain[i]);
        const QByteArray own = canonical(alone.get(), nullptr, nullptr);
        const QByteArray inBatch = canonical(doc.get(), &insideSubtree, inside[i]);
        QVERIFY(!own.isEmpty());
        QCOMPARE(inBatch, own);
    }
}

void tst_RecordBatch::storedWithDeclaration() {
    // A signed record may come back from the signer with a declaration.
    const QByteArray stored = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + m_chain[0] + "\n";
    QCOMPARE(RecordBatch::recordElement(stored), m_chain[0]);
    const QByteArray batch = RecordBatch::element(header(), {stored});
    QVERIFY(batch.contains(m_chain[0]));
    QVERIFY(!batch.contains("<?xml"));
    QCOMPARE(schemaErrors(batch), QStringList());
}

void tst_RecordBatch::limits_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("written");
    QTest::newRow("none") << 0 << false;
    QTest::newRow("1,000") << 1000 << true;
    QTest::newRow("1,001") << 1001 << false;
}

void tst_RecordBatch::limits() {
    QFETCH(int, count);
    QFETCH(bool, written);
    QList<QByteArray> records;
    QString huella;
    for (int i = 0; i < count; ++i) {
        BillingRecord r = alta(QStringLiteral("A-%1").arg(i + 1));
        if (i > 0)
            r.chain = ChainLink::after(
                {r.invoice.issuerNif, QStringLiteral("A-%1").arg(i), r.invoice.issueDate}, huella);
        const BuiltRecord built = RecordBuilder::build(r);
        huella = built.huella;
        records << built.xml;
    }
    try {
        const QByteArray batch = RecordBatch::element(header(), records);
        QVERIFY(written);
        QCOMPARE(schemaErrors(batch), QStringList());
    } catch (const AppError& e) {
        QVERIFY2(!written, qPrintable(e.message()));
    }
}

void tst_RecordBatch::foreignBytes_data() {
    QTest::addColumn<QByteArray>("stored");
    // Its root declares only its own namespace: inside a batch it would take
    // in the batch's declaration and canonicalise differently.
    QTest::newRow("the agency's example record")
        << readFile(verifactuPath("examples/ejemploRegistro.xml"));
    QTest::newRow("not a record") << QByteArray("<factura/>");
    QTest::newRow("nothing") << QByteArray("  \n");
    QTest::newRow("declaration only") << QByteArray("<?xml version=\"1.0\"?>");
}

void tst_RecordBatch::foreignBytes() {
    QFETCH(QByteArray, stored);
    QVERIFY_THROWS_EXCEPTION(AppError, RecordBatch::element(header(), {m_chain[0], stored}));
}

QTEST_GUILESS_MAIN(tst_RecordBatch)
#include "tst_RecordBatch.moc"
