#include "RecordReadings.h"
#include "RecordTestKit.h"
#include "common/AppError.h"
#include "records/RecordBuilder.h"
#include "records/RecordReader.h"

#include <QTest>

using namespace RecordTestKit;

// Reading stored records without a tree: whatever it reads, an XML parser
// reads the same; whatever it cannot read that way, it refuses.
class tst_RecordReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameAsParser_data();
    void sameAsParser();
    void refused_data();
    void refused();

private:
    QByteArray m_alta;
    QByteArray m_anulacion;
};

void tst_RecordReader::initTestCase() {
    BillingRecord a = alta(QStringLiteral("A&B/1"));
    a.chain = ChainLink::after(alta().invoice, QString(64, u'C'));
    m_alta = RecordBuilder::build(a).xml;
    m_anulacion = RecordBuilder::build(anulacion()).xml;
}

void tst_RecordReader::sameAsParser_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("alta as written") << m_alta;
    QTest::newRow("anulación as written") << m_anulacion;
    QTest::newRow("the agency's example")
        << readFile(verifactuPath("examples/ejemploRegistro.xml"));
    QTest::newRow("the agency's signed example")
        << readFile(verifactuPath("examples/ejemploRegistro-firmado-epes-xades4j.xml"));
    QTest::newRow("with a declaration and a byte-order mark")
        << "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + m_alta;
    QByteArray refs = m_alta;
    refs.replace("<sum1:NumSerieFactura>A&amp;B", "<sum1:NumSerieFactura>&#x41;&#38;&apos;");
    QTest::newRow("character references") << refs;
    QByteArray lineEnds = m_alta;
    lineEnds.replace("<sum1:TipoFactura>F1<", "<sum1:TipoFactura>\r\nF1\r<");
    QTest::newRow("line ends inside a field") << lineEnds;
    QByteArray blanks = m_alta;
    blanks.replace("</sum1:Huella>", "</sum1:Huella \n>");
    blanks.replace("<sum1:CuotaTotal>", "<sum1:CuotaTotal  data='x>y' >");
    QTest::newRow("blanks in tags, '>' in an attribute") << blanks;
    QByteArray emptyFirst = m_anulacion;
    emptyFirst.replace("<sum1:PrimerRegistro>S</sum1:PrimerRegistro>", "<sum1:PrimerRegistro/>");
    QTest::newRow("empty element") << emptyFirst;
    QTest::newRow("declaration in single quotes, standalone")
        << "<?xml version='1.0' encoding='utf-8' standalone='no' ?>" + m_anulacion;
    QByteArray otherPrefix = m_anulacion;
    otherPrefix.replace("sum1:", "x:");
    otherPrefix.replace("xmlns:sum1=", "xmlns:x=");
    QTest::newRow("another prefix for the namespace") << otherPrefix;
}

void tst_RecordReader::sameAsParser() {
    QFETCH(QByteArray, bytes);
    const ReadRecord read = RecordReader::read(bytes);
    QCOMPARE(RecordReadings::byReader(read), RecordReadings::byParser(bytes));
}

void tst_RecordReader::refused_data() {
    QTest::addColumn<QByteArray>("bytes");
    auto edited = [this](const char* from, const char* to) {
        QByteArray b = m_alta;
        if (!b.contains(from))
            qFatal("fixture lacks %s", from);
        return b.replace(from, to);
    };
    // Valid XML a parser reads one way and a naive scanner another.
    QTest::newRow("comment hiding a field")
        << edited("<sum1:ImporteTotal>",
                  "<!--<sum1:ImporteTotal>9</sum1:ImporteTotal>--><sum1:ImporteTotal>");
    QTest::newRow("CDATA") << edited("<sum1:TipoFactura>F1<", "<sum1:TipoFactura><![CDATA[F1]]><");
    QTest::newRow("processing instruction")
        << edited("<sum1:TipoFactura>", "<?pi x?><sum1:TipoFactura>");
    QTest::newRow("DOCTYPE with an entity")
        << "<!DOCTYPE r [<!ENTITY n \"A-1\">]>" + edited("A&amp;B/1", "&n;");
    QTest::newRow("field given twice") << edited(
        "<sum1:ImporteTotal>", "<sum1:ImporteTotal>1.00</sum1:ImporteTotal><sum1:ImporteTotal>");
    QTest::newRow("element inside a field")
        << edited("<sum1:TipoFactura>F1<", "<sum1:TipoFactura><b>F1</b><");
    // Not XML at all.
    QTest::newRow("unknown entity") << edited("A&amp;B", "A&nbsp;B");
    QTest::newRow("reference to a forbidden character") << edited("A&amp;B", "A&#1;B");
    QTest::newRow("reference to no character") << edited("A&amp;B", "A&#x110000;B");
    QTest::newRow("tags that do not match")
        << edited("</sum1:TipoFactura>", "</sum1:TipoFacturas>");
    QTest::newRow("'<' in an attribute")
        << edited("<sum1:CuotaTotal>", "<sum1:CuotaTotal a=\"<\">");
    QTest::newRow("attribute twice")
        << edited("<sum1:CuotaTotal>", "<sum1:CuotaTotal a=\"1\" a=\"2\">");
    QTest::newRow("attributes not separated")
        << edited("<sum1:CuotaTotal>", "<sum1:CuotaTotal a=\"1\"b=\"2\">");
    QTest::newRow("control character") << edited("A&amp;B", "A\x01B");
    QTest::newRow("U+FFFF") << edited("A&amp;B", "A\xEF\xBF\xBF");
    QTest::newRow("]]> in a text") << edited("A&amp;B", "A]]>B");
    QTest::newRow("'&' in an attribute")
        << edited("<sum1:CuotaTotal>", "<sum1:CuotaTotal a=\"&amp;\">");
    QTest::newRow("name outside ASCII") << edited(
        "<sum1:CuotaTotal>", "<sum1:Cuota\xC3\x97>x</sum1:Cuota\xC3\x97><sum1:CuotaTotal>");
    QTest::newRow("undeclared prefix, kept in the name by a parser")
        << edited("<sum1:IDFactura>", "<sum2:IDFactura>")
               .replace("</sum1:IDFactura>", "</sum2:IDFactura>");
    QTest::newRow("empty namespace declaration")
        << edited("<sum1:CuotaTotal>", "<sum1:CuotaTotal xmlns:x=\"\">");
    QTest::newRow("name with two colons")
        << edited("<sum1:CuotaTotal>", "<a:b:c/><sum1:CuotaTotal>");
    // Another encoding or version would give other texts to a parser.
    QTest::newRow("declared in Latin-1")
        << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + m_alta;
    QTest::newRow("declared XML 1.1") << "<?xml version=\"1.1\"?>" + m_alta;
    QTest::newRow("declaration after a blank") << " <?xml version=\"1.0\"?>" + m_alta;
    QTest::newRow("text after the record") << m_alta + "x";
    QTest::newRow("a second root") << m_alta + m_anulacion;
    QTest::newRow("cut short") << m_alta.left(m_alta.size() - 5);
    QTest::newRow("cut inside a tag") << m_alta.left(m_alta.indexOf("<sum1:Huella") + 7);
    QTest::newRow("invalid UTF-8") << edited("Ñandú", "\xC3\x28");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("declaration only") << QByteArray("<?xml version=\"1.0\"?>");
    QTest::newRow("another root") << QByteArray("<sum1:Factura xmlns:sum1=\"x\"/>");
    QByteArray otherNamespace = m_alta;
    otherNamespace.replace("SuministroInformacion.xsd", "Otra.xsd");
    QTest::newRow("root in another namespace") << otherNamespace;
    QByteArray deep = "<a>";
    for (int i = 0; i < 40; ++i)
        deep = "<d>" + deep + "</d>";
    QTest::newRow("nesting too deep")
        << edited("<sum1:TipoFactura>", deep.replace("<a>", "") + "<sum1:TipoFactura>");
}

void tst_RecordReader::refused() {
    QFETCH(QByteArray, bytes);
    QVERIFY_THROWS_EXCEPTION(AppError, RecordReader::read(bytes));
}

QTEST_GUILESS_MAIN(tst_RecordReader)
#include "tst_RecordReader.moc"
