#include "facturae/CorrectiveCodes.h"

#include <QTest>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <memory>

// The corrective invoice's codes and descriptions against the published
// schemas themselves, read here with libxml2: a text that drifts by one
// letter from the schema's would make every corrective invoice invalid.
class tst_CorrectiveCodes : public QObject {
    Q_OBJECT
private slots:
    void equalTheSchemas_data();
    void equalTheSchemas();
    void lookUp_data();
    void lookUp();
};

namespace {

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

bool named(const xmlNode* n, const char* localName) {
    return n->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(n->name), localName) == 0;
}

QString attribute(const xmlNode* n, const char* name) {
    xmlChar* value = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
    const QString text =
        value ? QString::fromUtf8(reinterpret_cast<const char*>(value)) : QString();
    xmlFree(value);
    return text;
}

// The enumeration values of the schema's simple type of that name, in order.
QStringList enumeration(const xmlNode* schema, const QString& type) {
    QStringList values;
    for (const xmlNode* n = schema->children; n; n = n->next) {
        if (!named(n, "simpleType") || attribute(n, "name") != type)
            continue;
        for (const xmlNode* r = n->children; r; r = r->next) {
            if (!named(r, "restriction"))
                continue;
            for (const xmlNode* e = r->children; e; e = e->next) {
                if (named(e, "enumeration"))
                    values << attribute(e, "value");
            }
        }
    }
    return values;
}

QStringList codesOf(const QList<CorrectiveCodes::Code>& codes) {
    QStringList out;
    for (const CorrectiveCodes::Code& c : codes)
        out << c.code;
    return out;
}

QStringList descriptionsOf(const QList<CorrectiveCodes::Code>& codes) {
    QStringList out;
    for (const CorrectiveCodes::Code& c : codes)
        out << c.description;
    return out;
}

} // namespace

void tst_CorrectiveCodes::equalTheSchemas_data() {
    QTest::addColumn<QString>("schema");
    for (const char* file : {"Facturaev3_2.xsd", "Facturaev3_2_1.xsd", "Facturaev3_2_2.xsd"})
        QTest::newRow(file) << QStringLiteral(ORVANE_THIRD_PARTY_DIR "/facturae/") +
                                   QLatin1String(file);
}

// The schemas list the descriptions in the order of their codes; that order
// is the pairing.
void tst_CorrectiveCodes::equalTheSchemas() {
    QFETCH(QString, schema);
    std::unique_ptr<xmlDoc, DocFree> doc(
        xmlReadFile(schema.toUtf8().constData(), nullptr, XML_PARSE_NONET));
    QVERIFY2(doc, qPrintable(schema));
    const xmlNode* root = xmlDocGetRootElement(doc.get());

    const QStringList reasonCodes = enumeration(root, QStringLiteral("ReasonCodeType"));
    QCOMPARE(reasonCodes.size(), 22);
    QCOMPARE(codesOf(CorrectiveCodes::reasons()), reasonCodes);
    QCOMPARE(descriptionsOf(CorrectiveCodes::reasons()),
             enumeration(root, QStringLiteral("ReasonDescriptionType")));

    const QStringList methods = enumeration(root, QStringLiteral("CorrectionMethodType"));
    QCOMPARE(methods.size(), 4);
    QCOMPARE(codesOf(CorrectiveCodes::correctionMethods()), methods);
    QCOMPARE(descriptionsOf(CorrectiveCodes::correctionMethods()),
             enumeration(root, QStringLiteral("CorrectionMethodDescriptionType")));
}

void tst_CorrectiveCodes::lookUp_data() {
    QTest::addColumn<bool>("method"); // else a reason
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("description");
    QTest::newRow("first reason") << false << "01"
                                  << "Número de la factura";
    QTest::newRow("between the ranges") << false << "17"
                                        << "";
    QTest::newRow("one digit") << false << "1"
                               << "";
    QTest::newRow("after the last") << false << "86"
                                    << "";
    QTest::newRow("method by differences") << true << "02"
                                           << "Rectificación por diferencias";
    QTest::newRow("no fifth method") << true << "05"
                                     << "";
}

void tst_CorrectiveCodes::lookUp() {
    QFETCH(bool, method);
    QFETCH(QString, code);
    QFETCH(QString, description);
    QCOMPARE(method ? CorrectiveCodes::correctionMethodDescription(code)
                    : CorrectiveCodes::reasonDescription(code),
             description);
}

QTEST_GUILESS_MAIN(tst_CorrectiveCodes)
#include "tst_CorrectiveCodes.moc"
