#include "facturae/XmlDocument.h"

#include <QTest>

// The one way documents are parsed: what an invoice never holds (a DOCTYPE,
// and with it every entity; nesting deeper than any invoice) is refused as
// soon as it starts, and a syntax error is told in Spanish with libxml2's own
// words only as a detail. What signing looks up is noted as the parse goes.
class tst_XmlDocument : public QObject {
    Q_OBJECT
private slots:
    void refusals_data();
    void refusals();
    void notedWhileParsing();
};

namespace {

QByteArray nested(int depth) {
    return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
}

} // namespace

void tst_XmlDocument::refusals_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem"); // part of the message; empty: parsed
    QTest::addColumn<int>("line");

    const QString tooDeep = QStringLiteral("anidados a más de 256 niveles");
    QTest::newRow("256 levels") << nested(256) << QString() << 0;
    QTest::newRow("257 levels") << nested(257) << tooDeep << 0;
    // Long texts (an attached file) lift libxml2's own limits; ours stays.
    const QByteArray longText = "<r><t>" + QByteArray(11 * 1024 * 1024, 'x') + "</t></r>";
    QTest::newRow("a text of 11 MB") << longText << QString() << 0;
    QTest::newRow("257 levels after a text of 11 MB")
        << "<r><t>" + QByteArray(11 * 1024 * 1024, 'x') + "</t>" + nested(257) + "</r>" << tooDeep
        << 0;
    QTest::newRow("100,000 levels") << nested(100000) << tooDeep << 0;
    QTest::newRow("257 levels in a second branch")
        << "<r>" + nested(3) + nested(256) + "</r>" << tooDeep << 0;

    const QString doctype = QStringLiteral("declaración DOCTYPE");
    QTest::newRow("DOCTYPE alone") << QByteArray("<!DOCTYPE r><r/>") << doctype << 0;
    QTest::newRow("internal entity used 20,000 times")
        << "<!DOCTYPE r [<!ENTITY e \"" + QByteArray(100000, 'x') + "\">]><r>" +
               QByteArray("&e;").repeated(20000) + "</r>"
        << doctype << 0;
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r>&e;</r>")
        << doctype << 0;
    QTest::newRow("external DTD") << QByteArray(
                                         "<!DOCTYPE r SYSTEM \"http://example.invalid/r.dtd\"><r/>")
                                  << doctype << 0;

    QTest::newRow("empty") << QByteArray() << QStringLiteral("ningún elemento XML") << 1;
    QTest::newRow("cut short") << QByteArray("<r>\n<a>")
                               << QStringLiteral("termina antes de cerrar sus elementos") << 2;
    QTest::newRow("wrong end tag") << QByteArray("<r>\n\n<a></b></r>")
                                   << QStringLiteral("una etiqueta de cierre no corresponde") << 3;
    QTest::newRow("text after the root")
        << QByteArray("<r/>\nx") << QStringLiteral("contenido después del elemento raíz") << 2;
    QTest::newRow("entity never declared")
        << QByteArray("<r>&e;</r>") << QStringLiteral("referencia «&…;»") << 1;
}

void tst_XmlDocument::refusals() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    QFETCH(int, line);

    const XmlDocument document(bytes);
    if (problem.isEmpty()) {
        QVERIFY2(document.isRead(), qPrintable(document.problem()));
        QVERIFY(document.root());
        return;
    }
    QVERIFY(!document.isRead());
    QVERIFY(!document.root());
    const QString said = document.problem();
    QVERIFY2(said.contains(problem), qPrintable(said));
    QVERIFY2(said.startsWith(QStringLiteral("El documento ")), qPrintable(said));
    QCOMPARE(document.problemLine(), line);
    // libxml2's English only after the Spanish sentence, marked as a detail.
    if (line > 0)
        QVERIFY2(said.contains(QStringLiteral(" (detalle de libxml2: ")), qPrintable(said));
}

// Signing and verifying find the signatures and the targets of "#id"
// references in these lists: one missed would be a reference not found, one
// too many a signature that is not one.
void tst_XmlDocument::notedWhileParsing() {
    const XmlDocument document(
        "<fe:Facturae xmlns:fe=\"urn:f\" xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">"
        "<Invoices Id=\"a\"><Signature Id=\"not-ds\"/></Invoices>"
        "<x:Signature xmlns:x=\"http://www.w3.org/2000/09/xmldsig#\">"
        "<x:Object x:Id=\"namespaced\"/><x:KeyInfo Id=\"b\"/></x:Signature>"
        "<ds:Signature Id=\"c\"/><Other ID=\"case\" id=\"lower\"/></fe:Facturae>");
    QVERIFY2(document.isRead(), qPrintable(document.problem()));

    QStringList signatures;
    for (const xmlNode* node : document.signatures())
        signatures << XmlNodes::writtenPath(node);
    QCOMPARE(signatures, QStringList({"/fe:Facturae/x:Signature", "/fe:Facturae/ds:Signature"}));

    QStringList ids;
    for (const xmlNode* node : document.elementsWithId())
        ids << XmlNodes::attribute(node, "Id");
    QCOMPARE(ids, QStringList({"a", "not-ds", "b", "c"}));

    // A refused document notes nothing.
    const XmlDocument cut("<r><ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
                          "Id=\"s\"/>");
    QVERIFY(!cut.isRead());
    QVERIFY(cut.signatures().empty());
    QVERIFY(cut.elementsWithId().empty());
}

QTEST_GUILESS_MAIN(tst_XmlDocument)
#include "tst_XmlDocument.moc"
