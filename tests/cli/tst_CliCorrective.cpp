#include "../records/RecordTestKit.h"
#include "CliRunner.h"

#include "book/BookCorrections.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"
#include "ledger/RecordStore.h"
#include "records/ProducerData.h"
#include "records/RecordReader.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// orvane-cli generate --corrects: a corrective invoice issued from an import
// file against an invoice of the book, its document, the book's link and its
// billing record; the refusals that write nothing; orvane-cli check --home
// warning of a corrective whose corrected invoice the book does not hold.
class tst_CliCorrective : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void issue_data();
    void issue();
    void refusals_data();
    void refusals();
    void checkAgainstTheBook();

private:
    QString home() const { return m_home->path(); }
    QString write(const QString& name, const QByteArray& bytes) const {
        return CliRunner::writeFile(*m_home, name, bytes);
    }
    CliRunner::Run generate(const QStringList& arguments) const {
        return CliRunner::cli(
            QStringList{QStringLiteral("generate"), QStringLiteral("--home"), home()} + arguments);
    }

    QTemporaryDir m_made; // the book every test starts from: A-2024-001 issued with its record
    std::unique_ptr<QTemporaryDir> m_home;
};

namespace {

const QString Issuer = QStringLiteral("B15123458");
const QByteArray Settings = "[MISDATOS]\nPERSONA=J\nNOMBRE=Talleres Mecánicos Íñiguez S.L.\n"
                            "NIF=B15123458\n[VERIFACTU]\nMODO=VERIFACTU\n";

// The sample invoice, dated after the day records began.
QByteArray sample() {
    return CliRunner::readAll(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"))
        .replace("FECHA=15/03/2024", "FECHA=16/11/2026")
        .replace("VENCIMIENTO=15/04/2024", "VENCIMIENTO=16/12/2026");
}

// The sample invoice with other lines: the differences of a corrective.
QByteArray withLines(const QByteArray& lines, int count) {
    QByteArray text = sample();
    text = text.left(text.indexOf("[LINEAS]")) + "[LINEAS]\n" + lines;
    return text.replace("LINEAS=4", "LINEAS=" + QByteArray::number(count));
}

// The text of the first element of that local name in a record.
QString field(const QByteArray& xml, const QString& name) {
    const QRegularExpression element(QStringLiteral("<(?:\\w+:)?%1>([^<]*)<").arg(name));
    return element.match(QString::fromUtf8(xml)).captured(1);
}

QByteArray lastAlta(const BookDatabase& db, const QString& seriesNumber) {
    QByteArray bytes;
    for (const StoredRecord& r : RecordStore(db).ofInvoice(seriesNumber))
        if (r.kind == StoredRecord::Kind::Alta)
            bytes = r.bytes;
    return bytes;
}

qint64 invoicesIn(const QString& home) {
    const auto db = BookDatabase::openExisting(home);
    return InvoiceBook(*db).versions(Issuer, QStringLiteral("A-2024-001")).size() +
           InvoiceBook(*db).versions(Issuer, QStringLiteral("R-1")).size();
}

} // namespace

void tst_CliCorrective::initTestCase() {
    // The producer's data the records need, for every run of the tool.
    const QString producer = CliRunner::writeFile(
        m_made, QStringLiteral("productor.json"),
        R"({"producer": {"name": "Productora de Ensayo, S.L.", "taxId": "B12345674"},
            "system": {"name": "Orvane", "id": "OV"}})");
    qputenv(ProducerData::FileVariable, producer.toUtf8());
    CliRunner::writeFile(m_made, QStringLiteral("Registro.Ini"), Settings);
    const QString input = CliRunner::writeFile(m_made, QStringLiteral("A.ini"), sample());
    const CliRunner::Run run = CliRunner::cli(
        {QStringLiteral("generate"), QStringLiteral("--home"), m_made.path(), input});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QFile::remove(QDir(m_made.path()).filePath(QStringLiteral("A.XML")));
}

void tst_CliCorrective::init() {
    m_home = std::make_unique<QTemporaryDir>();
    for (const QString& name : QDir(m_made.path()).entryList(QDir::Files))
        QVERIFY(QFile::copy(QDir(m_made.path()).filePath(name), m_home->filePath(name)));
}

// Substitution states the whole invoice again; the other methods the
// differences (here a refund: negative amounts). The record's kind is the
// one asked for (R4 by default), never worked out from the reason.
void tst_CliCorrective::issue_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("kind");

    QTest::newRow("substitution, defaults") << QStringList() << "01"
                                            << "01"
                                            << "R4";
    QTest::newRow("substitution, R1") << QStringList{"--method", "01", "--kind", "R1"} << "03"
                                      << "01"
                                      << "R1";
    QTest::newRow("differences, R2") << QStringList{"--method", "02", "--kind", "r2"} << "80"
                                     << "02"
                                     << "R2";
    QTest::newRow("volume discount, R3") << QStringList{"--method", "03", "--kind", "R3"} << "85"
                                         << "03"
                                         << "R3";
    QTest::newRow("authorised, R4") << QStringList{"--method", "04"} << "16"
                                    << "04"
                                    << "R4";
}

void tst_CliCorrective::issue() {
    QFETCH(QStringList, options);
    QFETCH(QString, reason);
    QFETCH(QString, method);
    QFETCH(QString, kind);
    const bool substitution = method == u"01";
    const QString input =
        write(QStringLiteral("R.ini"),
              substitution ? sample()
                           : withLines("NOMBRE1=Devolución de neumáticos\nPRECIO1=-89,90\n"
                                       "CANTIDAD1=2\nDTO1=10\nIVA1=21\n",
                                       1));
    const CliRunner::Run run = generate(
        QStringList{"--corrects", "A-2024-001", "--reason", reason} + options + QStringList{input});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QString document = QDir(home()).filePath(QStringLiteral("R.XML"));
    QCOMPARE(run.out.trimmed(), document);

    // The document: the corrective's own series and number, the corrected
    // invoice named, and nothing the check finds wrong, the book included.
    const QByteArray bytes = CliRunner::readAll(document);
    QCOMPARE(field(bytes, QStringLiteral("InvoiceClass")), QStringLiteral("OR"));
    QCOMPARE(field(bytes, QStringLiteral("InvoiceSeriesCode")), QStringLiteral("R"));
    QVERIFY(bytes.contains("<Corrective>\n          <InvoiceNumber>2024-001</InvoiceNumber>\n"
                           "          <InvoiceSeriesCode>A</InvoiceSeriesCode>\n"
                           "          <ReasonCode>" +
                           reason.toLatin1() + "</ReasonCode>"));
    QVERIFY(bytes.contains("<StartDate>2026-11-01</StartDate>"));
    QVERIFY(bytes.contains("<EndDate>2026-11-30</EndDate>"));
    QVERIFY(bytes.contains("<CorrectionMethod>" + method.toLatin1() + "</CorrectionMethod>"));
    if (!substitution)
        QCOMPARE(field(bytes, QStringLiteral("InvoiceTotal")), QStringLiteral("-195.80"));
    const CliRunner::Run check =
        CliRunner::cli({QStringLiteral("check"), QStringLiteral("--home"), home(), document});
    QVERIFY2(check.status == 0 && !check.out.contains(QStringLiteral("ERROR")) &&
                 !check.out.contains(QStringLiteral("WARNING")),
             qPrintable(check.out));

    // The book links the two; the record says what was corrected.
    const auto db = BookDatabase::openExisting(home());
    const InvoiceBook book(*db);
    const auto corrective = book.find(Issuer, QStringLiteral("R-1"));
    const auto corrected = book.find(Issuer, QStringLiteral("A-2024-001"));
    QVERIFY(corrective && corrected);
    QCOMPARE(BookCorrections(*db).correctedBy(corrective->id), corrected->id);
    QCOMPARE(BookCorrections(*db).correctivesOf(corrected->id), QList<qint64>{corrective->id});

    const QByteArray record = lastAlta(*db, QStringLiteral("R-1"));
    const QByteArray original = lastAlta(*db, QStringLiteral("A-2024-001"));
    QVERIFY(!record.isEmpty() && !original.isEmpty());
    const QStringList errors = RecordTestKit::schemaErrors(record);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QCOMPARE(field(record, QStringLiteral("TipoFactura")), kind);
    QCOMPARE(field(record, QStringLiteral("TipoRectificativa")),
             substitution ? QStringLiteral("S") : QStringLiteral("I"));
    const QString rectified = QString::fromUtf8(record.mid(
        record.indexOf("IDFacturaRectificada>"),
        record.indexOf("/IDFacturaRectificada>") - record.indexOf("IDFacturaRectificada>")));
    QVERIFY2(rectified.contains(QStringLiteral("IDEmisorFactura>B15123458<")) &&
                 rectified.contains(QStringLiteral("NumSerieFactura>A-2024-001<")) &&
                 rectified.contains(QStringLiteral("FechaExpedicionFactura>16-11-2026<")),
             qPrintable(rectified));
    QCOMPARE(record.contains("ImporteRectificacion"), substitution);
    if (substitution) {
        const ReadRecord read = RecordReader::read(original);
        const Decimal quota = D(read.fingerprinted.cuotaTotal.toDouble());
        const Decimal base = D(read.fingerprinted.importeTotal.toDouble()) - quota;
        QCOMPARE(field(record, QStringLiteral("BaseRectificada")), base.plainText(2, 2));
        QCOMPARE(field(record, QStringLiteral("CuotaRectificada")), quota.plainText(2, 2));
    }
}

// Each refusal stops before anything is read or written: no document, no
// new invoice in the book, status 2 with the reason in Spanish.
void tst_CliCorrective::refusals_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");

    QTest::newRow("not in the book") << QStringList{"--corrects", "A-2024-999", "--reason", "01"}
                                     << "La factura A-2024-999 no está en el libro de facturas";
    QTest::newRow("number without its series")
        << QStringList{"--corrects", "2024-001", "--reason", "01"}
        << "La factura 2024-001 no está en el libro de facturas";
    QTest::newRow("unknown reason") << QStringList{"--corrects", "A-2024-001", "--reason", "17"}
                                    << "«17» no es un motivo de rectificación";
    QTest::newRow("no reason") << QStringList{"--corrects", "A-2024-001"}
                               << "Falta el motivo de la rectificación";
    QTest::newRow("unknown method")
        << QStringList{"--corrects", "A-2024-001", "--reason", "01", "--method", "05"}
        << "«05» no es un método de rectificación";
    QTest::newRow("R5") << QStringList{"--corrects", "A-2024-001", "--reason", "01", "--kind", "R5"}
                        << "«R5» no es un tipo de factura rectificativa";
    QTest::newRow("reason alone") << QStringList{"--reason", "01"}
                                  << "--reason, --method y --kind solo valen con --corrects";
    QTest::newRow("method alone") << QStringList{"--method", "01"}
                                  << "--reason, --method y --kind solo valen con --corrects";
}

void tst_CliCorrective::refusals() {
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    const QString input = write(QStringLiteral("R.ini"), sample());
    const qint64 before = invoicesIn(home());
    const CliRunner::Run run = generate(options + QStringList{input});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFile::exists(QDir(home()).filePath(QStringLiteral("R.XML"))));
    QCOMPARE(invoicesIn(home()), before);
}

// A corrective checked against a book that does not hold the invoice it
// corrects: a warning, not an error; without --home the book is not looked at.
void tst_CliCorrective::checkAgainstTheBook() {
    const QString input = write(QStringLiteral("R.ini"), sample());
    QCOMPARE(generate({"--corrects", "A-2024-001", "--reason", "01", input}).status, 0);
    const QString document = QDir(home()).filePath(QStringLiteral("R.XML"));
    QTemporaryDir otherHome;

    const CliRunner::Run elsewhere = CliRunner::cli(
        {QStringLiteral("check"), QStringLiteral("--home"), otherHome.path(), document});
    QCOMPARE(elsewhere.status, 0);
    QVERIFY2(elsewhere.out.contains(document + QStringLiteral(": WARNING F-R2 ")) &&
                 elsewhere.out.contains(QStringLiteral("La factura A-2024-001 que esta rectifica "
                                                       "no está en el libro")),
             qPrintable(elsewhere.out));

    const CliRunner::Run withoutHome = CliRunner::cli({QStringLiteral("check"), document});
    QCOMPARE(withoutHome.status, 0);
    QVERIFY2(!withoutHome.out.contains(QStringLiteral("F-R2")), qPrintable(withoutHome.out));

    const CliRunner::Run here =
        CliRunner::cli({QStringLiteral("check"), QStringLiteral("--home"), home(), document});
    QVERIFY2(!here.out.contains(QStringLiteral("F-R2")), qPrintable(here.out));
}

QTEST_GUILESS_MAIN(tst_CliCorrective)
#include "tst_CliCorrective.moc"
