#include "facturae/XmlParser.h"

#include <QTest>

#include <libxml/parser.h>

// The one way documents are parsed: what an invoice never holds (a DOCTYPE,
// and with it every entity; nesting deeper than any invoice) is refused as
// soon as it starts, and a syntax error is told in Spanish with libxml2's own
// words only as a detail.
class tst_XmlParser : public QObject {
    Q_OBJECT
private slots:
    void refusals_data();
    void refusals();
};

namespace {

QByteArray nested(int depth) {
    return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
}

} // namespace

void tst_XmlParser::refusals_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("problem"); // part of the message; empty: parsed
    QTest::addColumn<int>("line");

    const int huge = XML_PARSE_HUGE;
    const QString tooDeep = QStringLiteral("anidados a más de 256 niveles");
    QTest::newRow("256 levels") << nested(256) << 0 << QString() << 0;
    QTest::newRow("257 levels") << nested(257) << 0 << tooDeep << 0;
    // The option for long texts lifts libxml2's own limit; ours stays.
    QTest::newRow("257 levels, long texts allowed") << nested(257) << huge << tooDeep << 0;
    QTest::newRow("100,000 levels, long texts allowed") << nested(100000) << huge << tooDeep << 0;
    QTest::newRow("257 levels in a second branch")
        << "<r>" + nested(3) + nested(256) + "</r>" << 0 << tooDeep << 0;

    const QString doctype = QStringLiteral("declaración DOCTYPE");
    QTest::newRow("DOCTYPE alone") << QByteArray("<!DOCTYPE r><r/>") << 0 << doctype << 0;
    QTest::newRow("internal entity used 20,000 times")
        << "<!DOCTYPE r [<!ENTITY e \"" + QByteArray(100000, 'x') + "\">]><r>" +
               QByteArray("&e;").repeated(20000) + "</r>"
        << huge << doctype << 0;
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r>&e;</r>") << 0
        << doctype << 0;
    QTest::newRow("external DTD") << QByteArray(
                                         "<!DOCTYPE r SYSTEM \"http://example.invalid/r.dtd\"><r/>")
                                  << huge << doctype << 0;

    QTest::newRow("empty") << QByteArray() << 0 << QStringLiteral("ningún elemento XML") << 1;
    QTest::newRow("cut short") << QByteArray("<r>\n<a>") << 0
                               << QStringLiteral("termina antes de cerrar sus elementos") << 2;
    QTest::newRow("wrong end tag") << QByteArray("<r>\n\n<a></b></r>") << 0
                                   << QStringLiteral("una etiqueta de cierre no corresponde") << 3;
    QTest::newRow("text after the root")
        << QByteArray("<r/>\nx") << 0 << QStringLiteral("contenido después del elemento raíz") << 2;
    QTest::newRow("entity never declared")
        << QByteArray("<r>&e;</r>") << 0 << QStringLiteral("referencia «&…;»") << 1;
}

void tst_XmlParser::refusals() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, options);
    QFETCH(QString, problem);
    QFETCH(int, line);

    QString said;
    int saidLine = -1;
    xmlDoc* document = XmlParser::parse(bytes, options, said, saidLine);
    if (problem.isEmpty()) {
        QVERIFY2(document, qPrintable(said));
        xmlFreeDoc(document);
        return;
    }
    QVERIFY(!document);
    QVERIFY2(said.contains(problem), qPrintable(said));
    QVERIFY2(said.startsWith(QStringLiteral("El documento ")), qPrintable(said));
    QCOMPARE(saidLine, line);
    // libxml2's English only after the Spanish sentence, marked as a detail.
    if (line > 0)
        QVERIFY2(said.contains(QStringLiteral(" (detalle de libxml2: ")), qPrintable(said));
}

QTEST_GUILESS_MAIN(tst_XmlParser)
#include "tst_XmlParser.moc"
