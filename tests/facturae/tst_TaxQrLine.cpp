#include "facturae/TaxQrLine.h"

#include "common/AppError.h"

#include <QTest>

// The address's line: added after the text already there, never cut, refused
// past the field's 2,500 characters; read back from a document, hostile or
// not.
class tst_TaxQrLine : public QObject {
    Q_OBJECT
private slots:
    void compose_data();
    void compose();
    void tooLongIsRefused();
    void inDocument_data();
    void inDocument();
};

namespace {

const QString Address = QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/"
                                       "ValidarQR?nif=B15123458&numserie=A%26B-1&fecha=05-03-2027&"
                                       "importe=671.01");

} // namespace

void tst_TaxQrLine::compose_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("composed");
    QTest::newRow("no text") << ""
                             << "QR tributario: " + Address;
    QTest::newRow("text kept first") << "Pedido 77.\nEntrega en obra."
                                     << "Pedido 77.\nEntrega en obra.\nQR tributario: " + Address;
    const QString filling(2500 - 16 - Address.size(), u'x');
    QTest::newRow("exactly 2,500") << filling << filling + "\nQR tributario: " + Address;
}

void tst_TaxQrLine::compose() {
    QFETCH(QString, text);
    QFETCH(QString, composed);
    QString result = TaxQrLine::compose(text, Address);
    QCOMPARE(result, composed);
    QVERIFY(result.size() <= TaxQrLine::MaxLength);
    // What the copy reads back: the address whole, the text as it was.
    QCOMPARE(TaxQrLine::take(result), Address);
    QCOMPARE(result, text);
}

void tst_TaxQrLine::tooLongIsRefused() {
    const QString filling(2500 - 15 - Address.size(), u'x');
    try {
        TaxQrLine::compose(filling, Address);
        QFAIL("a text that leaves no room for the address was accepted");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("InvoiceAdditionalInformation")),
                 qPrintable(e.message()));
        QVERIFY(e.message().contains(QStringLiteral("2501")));
    }
}

void tst_TaxQrLine::inDocument_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("address");
    const QByteArray escaped = Address.toUtf8().replace("&", "&amp;");
    QTest::newRow("the line among others")
        << "<fe:Facturae xmlns:fe=\"x\"><Invoices><Invoice><AdditionalData>"
           "<InvoiceAdditionalInformation>Pedido 77\n  QR tributario: " +
               escaped +
               "  \nOtra</InvoiceAdditionalInformation></AdditionalData></Invoice>"
               "</Invoices></fe:Facturae>"
        << Address;
    QTest::newRow("no line") << QByteArray("<Facturae><InvoiceAdditionalInformation>Nada"
                                           "</InvoiceAdditionalInformation></Facturae>")
                             << "";
    QTest::newRow("no additional information") << QByteArray("<Facturae/>") << "";
    QTest::newRow("not XML") << QByteArray("QR tributario: " + escaped) << "";
    QTest::newRow("broken inside the element")
        << "<Facturae><InvoiceAdditionalInformation>QR tributario: " + escaped + "<b></Facturae>"
        << "";
}

void tst_TaxQrLine::inDocument() {
    QFETCH(QByteArray, document);
    QFETCH(QString, address);
    QCOMPARE(TaxQrLine::inDocument(document), address);
}

QTEST_GUILESS_MAIN(tst_TaxQrLine)
#include "tst_TaxQrLine.moc"
