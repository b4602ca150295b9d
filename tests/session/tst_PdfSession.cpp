#include "common/AppError.h"
#include "session/DocumentRenderer.h"
#include "session/InvoiceSession.h"

#include <QTemporaryDir>
#include <QTest>

// The readable copy as a session operation: the document drawn is the one
// "Generar Factura" writes, whoever provides the drawing.
class tst_PdfSession : public QObject {
    Q_OBJECT
private slots:
    void currentDocumentIsTheGeneratedOne();
    void savePdfGoesThroughTheRenderer();
    void savePdfWithoutRendererFails();
};

namespace {

struct RecordingRenderer : DocumentRenderer {
    QByteArray document;
    QString path;
    TaxQr qr;
    void render(const QByteArray& d, const QString& p, const TaxQr& q) override {
        document = d;
        path = p;
        qr = q;
    }
};

} // namespace

void tst_PdfSession::currentDocumentIsTheGeneratedOne() {
    QTemporaryDir dir;
    InvoiceSession session(dir.path());
    session.start(QDate(2024, 3, 15));
    session.importChosenFile(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    const QByteArray inMemory = session.currentDocument();
    const QString written = session.generateTo(dir.filePath(QStringLiteral("f.xml"))).path;
    QFile file(written);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(inMemory, file.readAll());
    QVERIFY(inMemory.contains("<InvoiceTotal>671.01</InvoiceTotal>"));

    // No bank data: still a document to look at.
    InvoiceSession empty(dir.path());
    empty.start(QDate(2024, 3, 15));
    QVERIFY(!empty.hasBankData());
    QVERIFY(empty.currentDocument().contains("<Invoices>"));
}

void tst_PdfSession::savePdfGoesThroughTheRenderer() {
    QTemporaryDir dir;
    InvoiceSession session(dir.path());
    RecordingRenderer renderer;
    session.setRenderer(&renderer);
    session.savePdf("<Facturae/>", QStringLiteral("/tmp/x.pdf"));
    QCOMPARE(renderer.document, QByteArray("<Facturae/>"));
    QCOMPARE(renderer.path, QStringLiteral("/tmp/x.pdf"));
    QVERIFY(renderer.qr.isEmpty());

    // The tax QR the caller gives reaches the drawing whole.
    session.savePdf("<Facturae/>", QStringLiteral("/tmp/y.pdf"),
                    {QStringLiteral("https://prewww2.aeat.es/x"), QStringLiteral("VERI*FACTU")});
    QCOMPARE(renderer.qr.address, QStringLiteral("https://prewww2.aeat.es/x"));
    QCOMPARE(renderer.qr.legend, QStringLiteral("VERI*FACTU"));
}

void tst_PdfSession::savePdfWithoutRendererFails() {
    QTemporaryDir dir;
    InvoiceSession session(dir.path());
    QVERIFY_THROWS_EXCEPTION(AppError, session.savePdf("<Facturae/>", dir.filePath("x.pdf")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.pdf"))));
}

QTEST_APPLESS_MAIN(tst_PdfSession)
#include "tst_PdfSession.moc"
