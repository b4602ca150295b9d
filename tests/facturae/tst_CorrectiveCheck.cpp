#include "facturae/CorrectiveCodes.h"
#include "facturae/DocumentCheck.h"

#include <QFile>
#include <QTest>

// Corrective invoices written by hand, in the 3.2.1 and 3.2.2 namespaces,
// through the whole check: a code with another code's description passes the
// schema and must still be an error, naming both values and the description
// that belongs to the code.
class tst_CorrectiveCheck : public QObject {
    Q_OBJECT
private slots:
    void mismatches_data();
    void mismatches();
    void everyOfficialPairPasses_data();
    void everyOfficialPairPasses();
    void longDescriptionIsCutInTheMessage();
};

namespace {

const QString Namespace321 = QStringLiteral("http://www.facturae.es/Facturae/2014/v3.2.1/Facturae");
const QString Namespace322 =
    QStringLiteral("http://www.facturae.gob.es/formato/Versiones/Facturaev3_2_2.xml");

// The fixture in the given version, with from → to pairs applied, each of
// which must occur exactly once.
QByteArray document(const QString& version, const QStringList& pairs) {
    QFile file(QFINDTESTDATA("data/corrective.xml"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no corrective.xml");
    QString text = QString::fromUtf8(file.readAll());
    if (version == u"3.2.2") {
        text.replace(Namespace321, Namespace322);
        text.replace(QStringLiteral("<SchemaVersion>3.2.1<"),
                     QStringLiteral("<SchemaVersion>3.2.2<"));
    }
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        if (text.count(pairs[i]) != 1)
            qFatal("fixture edit '%s' does not occur exactly once", qPrintable(pairs[i]));
        text.replace(pairs[i], pairs[i + 1]);
    }
    return text.toUtf8();
}

QString listed(const CheckFindings& findings) {
    QStringList lines;
    for (const CheckFinding& f : findings)
        lines << QStringLiteral("%1 %2 %3 %4").arg(f.severityLabel(), f.code, f.path, f.message);
    return lines.join(u'\n');
}

QStringList findingsOf(const CheckFindings& findings, const QString& code) {
    QStringList out;
    for (const CheckFinding& f : findings) {
        if (f.code == code)
            out << f.path + u' ' + f.message;
    }
    return out;
}

const QString Corrective1 =
    QStringLiteral("/Facturae/Invoices/Invoice[1]/InvoiceHeader/Corrective/");
const QString Corrective2 =
    QStringLiteral("/Facturae/Invoices/Invoice[2]/InvoiceHeader/Corrective/");

} // namespace

void tst_CorrectiveCheck::mismatches_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("expected"); // "path message" of each F-R1 finding
    QTest::addColumn<bool>("schemaError");     // the schema refuses the document as well

    for (const QString& version : {QStringLiteral("3.2.1"), QStringLiteral("3.2.2")}) {
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::newRow(qPrintable(version + u' ' + QLatin1String(name))) << version;
        };
        row("as written") << QStringList() << QStringList() << false;
        row("reason with another code's description")
            << QStringList{"<ReasonDescription>Detalle Operación<",
                           "<ReasonDescription>Serie de la factura<"}
            << QStringList{Corrective1 +
                           "ReasonDescription La descripción «Serie de la factura» no es la del "
                           "código «10» del motivo de la rectificación (ReasonCode); debe ser "
                           "«Detalle Operación»."}
            << false;
        row("code changed, description kept, second invoice")
            << QStringList{"<ReasonCode>83<", "<ReasonCode>84<"}
            << QStringList{Corrective2 +
                           "ReasonDescription La descripción «Base imponible modificada por "
                           "descuentos y bonificaciones» no es la del código «84» del motivo de la "
                           "rectificación (ReasonCode); debe ser «Base imponible modificada por "
                           "resolución firme, judicial o administrativa»."}
            << false;
        row("method with another method's description")
            << QStringList{"<CorrectionMethodDescription>Rectificación íntegra<",
                           "<CorrectionMethodDescription>Rectificación por diferencias<"}
            << QStringList{Corrective1 +
                           "CorrectionMethodDescription La descripción «Rectificación por "
                           "diferencias» no es la del código «01» del criterio de la rectificación "
                           "(CorrectionMethod); debe ser «Rectificación íntegra»."}
            << false;
        row("both pairs wrong in one block")
            << QStringList{"<ReasonCode>83<", "<ReasonCode>80<", "<CorrectionMethod>02<",
                           "<CorrectionMethod>04<"}
            << QStringList{Corrective2 +
                               "ReasonDescription La descripción «Base imponible modificada por "
                               "descuentos y bonificaciones» no es la del código «80» del motivo "
                               "de la rectificación (ReasonCode); debe ser «Cálculo de cuotas "
                               "repercutidas».",
                           Corrective2 +
                               "CorrectionMethodDescription La descripción «Rectificación por "
                               "diferencias» no es la del código «04» del criterio de la "
                               "rectificación (CorrectionMethod); debe ser «Autorizadas por la "
                               "Agencia Tributaria»."}
            << false;
        // The schema's own notes spell code 04 differently from its list of
        // descriptions; only the list's spelling is valid.
        row("description as the schema's notes spell it")
            << QStringList{"<ReasonCode>10<", "<ReasonCode>04<",
                           "<ReasonDescription>Detalle Operación<",
                           "<ReasonDescription>Nombre y apellidos/Razón social - Emisor<"}
            << QStringList{Corrective1 +
                           "ReasonDescription La descripción «Nombre y apellidos/Razón social - "
                           "Emisor» no es la del código «04» del motivo de la rectificación "
                           "(ReasonCode); debe ser «Nombre y apellidos/Razón Social-Emisor»."}
            << true;
        // An unknown code has no description to expect: the schema says it.
        row("unknown reason code")
            << QStringList{"<ReasonCode>10<", "<ReasonCode>17<"} << QStringList() << true;
        row("reason description missing")
            << QStringList{"<ReasonDescription>Detalle Operación</ReasonDescription>", ""}
            << QStringList() << true;
    }
}

void tst_CorrectiveCheck::mismatches() {
    QFETCH(QString, version);
    QFETCH(QStringList, edits);
    QFETCH(QStringList, expected);
    QFETCH(bool, schemaError);
    const CheckFindings findings = DocumentCheck::run(document(version, edits));
    QCOMPARE(findingsOf(findings, QStringLiteral("F-R1")), expected);
    QCOMPARE(!findingsOf(findings, QStringLiteral("F-XSD")).isEmpty(), schemaError);
    // Nothing else is found in the fixture, and every F-R1 is an error.
    for (const CheckFinding& f : findings) {
        QVERIFY2(f.code == u"F-R1" || f.code == u"F-XSD", qPrintable(listed(findings)));
        QVERIFY(f.isError());
        QVERIFY(f.line > 0);
    }
}

// Each code with its own description, in both versions, passes the schema
// and the check.
void tst_CorrectiveCheck::everyOfficialPairPasses_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("edits");
    for (const QString& version : {QStringLiteral("3.2.1"), QStringLiteral("3.2.2")}) {
        for (const CorrectiveCodes::Code& reason : CorrectiveCodes::reasons())
            QTest::newRow(qPrintable(version + QStringLiteral(" reason ") + reason.code))
                << version
                << QStringList{"<ReasonCode>10<", "<ReasonCode>" + reason.code + u'<',
                               "<ReasonDescription>Detalle Operación<",
                               "<ReasonDescription>" + reason.description.toHtmlEscaped() + u'<'};
        for (const CorrectiveCodes::Code& method : CorrectiveCodes::correctionMethods())
            QTest::newRow(qPrintable(version + QStringLiteral(" method ") + method.code))
                << version
                << QStringList{"<CorrectionMethod>01<", "<CorrectionMethod>" + method.code + u'<',
                               "<CorrectionMethodDescription>Rectificación íntegra<",
                               "<CorrectionMethodDescription>" + method.description + u'<'};
    }
}

void tst_CorrectiveCheck::everyOfficialPairPasses() {
    QFETCH(QString, version);
    QFETCH(QStringList, edits);
    const CheckFindings findings = DocumentCheck::run(document(version, edits));
    QVERIFY2(findings.isEmpty(), qPrintable(listed(findings)));
}

// A document may hold anything there; the message repeats only its start.
void tst_CorrectiveCheck::longDescriptionIsCutInTheMessage() {
    const QString huge(100000, u'x');
    const CheckFindings findings = DocumentCheck::run(
        document(QStringLiteral("3.2.1"),
                 {"<ReasonDescription>Detalle Operación<", "<ReasonDescription>" + huge + u'<'}));
    const QStringList found = findingsOf(findings, QStringLiteral("F-R1"));
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.first().contains(u'«' + huge.left(150) + QStringLiteral("…» no es la del")),
             qPrintable(found.first().left(300)));
    QVERIFY(found.first().size() < 500);
}

QTEST_GUILESS_MAIN(tst_CorrectiveCheck)
#include "tst_CorrectiveCheck.moc"
