#include "PdfPages.h"

#include "common/AppError.h"
#include "pdf/DeclarationPdf.h"
#include "records/ConformityDeclaration.h"
#include "records/DeclarationTexts.h"
#include "records/ProducerData.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// The declaration of conformity on paper, read back through the PDF's own
// text (pdftotext): the title, then every label followed by its value in the
// declaration's order, whatever the producer's data hold.
class tst_DeclarationPdf : public QObject {
    Q_OBJECT
private slots:
    void textInOrder_data();
    void textInOrder();
    void failedSaveLeavesNothing_data();
    void failedSaveLeavesNothing();
};

namespace {

ConformityDeclaration declarationOf(const QByteArray& producer) {
    const DeclarationTexts texts = DeclarationTexts::fromJson(R"({
        "compliance": ["el artículo 29.2.j) de la Ley 58/2003", "la Orden HAC/1177/2024"],
        "subscribed": {"date": "2025-11-03", "place": "Lugo, España"}})");
    return ConformityDeclaration::compose(
        ProducerData::fromJson(producer, QStringLiteral("1.2.3.4")), texts);
}

} // namespace

void tst_DeclarationPdf::textInOrder_data() {
    QTest::addColumn<QByteArray>("producer");
    QTest::addColumn<QStringList>("mustShow");
    QTest::newRow("filled in") << QByteArray(R"({
        "producer": {"name": "Encadernacións do Miño, S.L.", "taxId": "B27000116",
                     "address": "Rúa Nova, 40, 27002 Lugo, España"},
        "system": {"name": "Orvane", "id": "OV", "components": ["orvane", "orvane-cli"],
                   "functions": ["Facturas Facturae"], "signatureTypes": "XAdES"}})")
                               << QStringList{"Encadernacións do Miño, S.L.", "B27000116",
                                              "3 de noviembre de 2025", "Lugo, España"};
    QTest::newRow("producer not filled in")
        << QByteArray(R"({"producer": {}, "system": {"name": "Orvane", "id": "OV"}})")
        << QStringList{"Razón social de la persona o entidad productora pendiente "
                       "NIF de la persona o entidad productora pendiente "
                       "Dirección postal completa de contacto pendiente"};
    // Markup in the data is text, not formatting.
    QTest::newRow("markup in a value")
        << QByteArray(R"({"producer": {"name": "<b>Miño</b> & Cía <br>"},
                          "system": {"name": "Orvane", "id": "OV"}})")
        << QStringList{"<b>Miño</b> & Cía <br>"};
}

void tst_DeclarationPdf::textInOrder() {
    QFETCH(QByteArray, producer);
    QFETCH(QStringList, mustShow);
    const ConformityDeclaration declaration = declarationOf(producer);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("declaración.pdf"));
    DeclarationPdf::save(declaration, pdf);
    const QString text = PdfPages::squeezedText(pdf);

    QVERIFY2(text.startsWith(PdfPages::squeezed(ConformityDeclaration::Title)),
             qPrintable(text.left(200)));
    qsizetype at = 0;
    for (const ConformityDeclaration::Entry& entry : declaration.entries) {
        const QString item = PdfPages::squeezed(entry.label + entry.value);
        const qsizetype found = text.indexOf(item, at);
        QVERIFY2(
            found >= 0,
            qPrintable(
                QStringLiteral("«%1» not after position %2 in: %3").arg(item).arg(at).arg(text)));
        at = found + item.size();
    }
    for (const QString& shown : mustShow)
        QVERIFY2(text.contains(PdfPages::squeezed(shown)), qPrintable(shown));
}

void tst_DeclarationPdf::failedSaveLeavesNothing_data() {
    QTest::addColumn<QString>("target"); // under the temporary folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "falta/declaración.pdf"
                                    << "No se puede guardar";
    QTest::newRow("a folder") << "carpeta"
                              << "es una carpeta";
}

void tst_DeclarationPdf::failedSaveLeavesNothing() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("carpeta"));
    const QString path = dir.filePath(target);
    try {
        DeclarationPdf::save(ConformityDeclaration::builtIn(), path);
        QFAIL("saved");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("carpeta")});
    QVERIFY(QDir(dir.filePath(QStringLiteral("carpeta"))).isEmpty());
}

QTEST_MAIN(tst_DeclarationPdf)
#include "tst_DeclarationPdf.moc"
