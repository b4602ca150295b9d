#include "../ledger/LedgerFixture.h"
#include "../records/RecordTestKit.h"
#include "CliRunner.h"

#include "ledger/RecordStore.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace LedgerFixture;

// orvane-cli records over a book whose records were made by the program:
// the list, each record as stored, the chain's check after tampering with
// the sqlite3 program, the export of a period, the cancellation's refusals
// and the command's usage.
class tst_CliRecords : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void list_data();
    void list();
    void listAsJson();
    void show();
    void verifySoundChain();
    void tampering_data();
    void tampering();
    void exportPeriod();
    void exportNeverReplacesTheBook();
    void cancel_data();
    void cancel();
    void producerFromAFile_data();
    void producerFromAFile();
    void noBook_data();
    void noBook();
    void usage_data();
    void usage();

private:
    CliRunner::Run records(const QStringList& arguments) const {
        return CliRunner::cli(QStringList{QStringLiteral("records")} + arguments +
                              QStringList{QStringLiteral("--home"), m_home->path()});
    }
    QString book() const { return QDir(m_home->path()).filePath(QStringLiteral("Libro.db")); }
    QList<StoredRecord> stored() const {
        QList<StoredRecord> all;
        auto db = BookDatabase::open(m_home->path());
        const RecordStore store(*db);
        store.each(store.chains().first(), [&](const StoredRecord& r) {
            all << r;
            return true;
        });
        return all;
    }

    QTemporaryDir m_made; // the book every test starts from
    std::unique_ptr<QTemporaryDir> m_home;
};

namespace {

const QByteArray Settings = "[MISDATOS]\nPERSONA=J\nNOMBRE=Ferretería Ñandú, S.L.\n"
                            "NIF=89890001K\n[VERIFACTU]\nMODO=VERIFACTU\n";

QList<qint64> sequencesListed(const QString& out) {
    QList<qint64> sequences;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
        sequences << line.section(u' ', 0, 0, QString::SectionSkipEmpty).toLongLong();
    return sequences;
}

} // namespace

void tst_CliRecords::initTestCase() {
    // A-1, A-2 and A-3 issued on 5, 6 and 7 March; A-1 cancelled on 8 March.
    auto db = BookDatabase::open(m_made.path());
    FakeClock clock;
    RecordLedger ledger(*db, options(clock));
    for (int day = 5; day <= 7; ++day) {
        clock.now = utc(2027, 3, day, 9, 0);
        issue(ledger, QString::number(day - 4));
    }
    clock.now = utc(2027, 3, 8, 9, 0);
    ledger.cancel(Issuer, QStringLiteral("A-1"), Territory::Peninsula);
    CliRunner::writeFile(m_made, QStringLiteral("Registro.Ini"), Settings);
}

void tst_CliRecords::init() {
    m_home = std::make_unique<QTemporaryDir>();
    for (const QString& name : QDir(m_made.path()).entryList(QDir::Files))
        QVERIFY(QFile::copy(QDir(m_made.path()).filePath(name), m_home->filePath(name)));
}

void tst_CliRecords::list_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<qint64>>("sequences");
    QTest::newRow("every record") << QStringList() << QList<qint64>{1, 2, 3, 4};
    QTest::newRow("from a day") << QStringList{"--from", "06/03/2027"} << QList<qint64>{2, 3, 4};
    QTest::newRow("up to a day") << QStringList{"--to", "2027-03-06"} << QList<qint64>{1, 2};
    QTest::newRow("one day, written both ways")
        << QStringList{"--from", "2027-03-06", "--to", "6/3/2027"} << QList<qint64>{2};
    QTest::newRow("a period without records")
        << QStringList{"--from", "01/04/2027", "--to", "30/04/2027"} << QList<qint64>{};
}

void tst_CliRecords::list() {
    QFETCH(QStringList, arguments);
    QFETCH(QList<qint64>, sequences);
    const CliRunner::Run run = records(QStringList{"list"} + arguments);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(sequencesListed(run.out), sequences);
    QVERIFY(run.err.isEmpty());
}

void tst_CliRecords::listAsJson() {
    const CliRunner::Run run = records({"list", "--json"});
    QCOMPARE(run.status, 0);
    const QJsonArray listed = QJsonDocument::fromJson(run.out.toUtf8()).array();
    const QList<StoredRecord> all = stored();
    QCOMPARE(listed.size(), all.size());
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QJsonObject o = listed[i].toObject();
        QCOMPARE(o.value("secuencia").toInteger(), all[i].sequence);
        QCOMPARE(o.value("tipo").toString(), all[i].kindText());
        QCOMPARE(o.value("factura").toString(), all[i].seriesNumber);
        QCOMPARE(o.value("fechaExpedicion").toString(), QStringLiteral("05-03-2027"));
        QCOMPARE(o.value("generado").toString(), all[i].generatedAt);
        QCOMPARE(o.value("estado").toString(), QStringLiteral("pendiente"));
        QCOMPARE(o.value("huella").toString(), all[i].huella);
        QCOMPARE(o.value("huellaAnterior").toString(), all[i].previousHuella);
        QCOMPARE(o.value("nif").toString(), Issuer);
    }
    QCOMPARE(listed[3].toObject().value("tipo").toString(), QStringLiteral("anulación"));
}

void tst_CliRecords::show() {
    const QList<StoredRecord> all = stored();
    // The alta and the anulación of A-1, as stored.
    const CliRunner::Run cancelled = records({"show", "A-1"});
    QCOMPARE(cancelled.status, 0);
    QCOMPARE(cancelled.out.toUtf8(), all[0].bytes + '\n' + all[3].bytes + '\n');
    const CliRunner::Run issued = records({"show", "A-2"});
    QCOMPARE(issued.out.toUtf8(), all[1].bytes + '\n');

    const CliRunner::Run unknown = records({"show", "A-9"});
    QCOMPARE(unknown.status, 1);
    QVERIFY(unknown.out.isEmpty());
    QVERIFY2(unknown.err.startsWith(QStringLiteral("El libro no guarda ningún registro de "
                                                   "facturación de la factura «A-9»")),
             qPrintable(unknown.err));
}

void tst_CliRecords::verifySoundChain() {
    const CliRunner::Run run = records({"verify"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("Cadena correcta: 4 registros.\nÚltima huella: %1\n")
                          .arg(stored().last().huella));
    QVERIFY(run.err.isEmpty());
}

void tst_CliRecords::tampering_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("says");
    // As an attacker would: the triggers that keep the records dropped first.
    QTest::newRow("an amount edited in a stored record")
        << "UPDATE billing_records SET bytes = replace(bytes, '>121.00<', '>12.10<') "
           "WHERE sequence = 2;"
        << "Fallo en el registro n.º 2 (factura A-2 de 05-03-2027): la huella guardada";
    QTest::newRow("a row deleted") << "DELETE FROM billing_records WHERE sequence = 2;"
                                   << "Fallo en el registro n.º 2: falta el registro n.º 2: "
                                      "tras el n.º 1 viene el n.º 3";
    QTest::newRow("two rows swapped")
        << "UPDATE billing_records SET sequence = -1 WHERE sequence = 2; "
           "UPDATE billing_records SET sequence = 2 WHERE sequence = 3; "
           "UPDATE billing_records SET sequence = 3 WHERE sequence = -1;"
        << "Fallo en el registro n.º 2 (factura A-3 de 05-03-2027): nombra como registro "
           "anterior la factura A-2";
    QTest::newRow("a stored Huella changed")
        << "UPDATE billing_records SET bytes = replace(bytes, '<sum1:Huella>' || huella, "
           "'<sum1:Huella>' || lower(huella)) WHERE sequence = 3;"
        << "Fallo en el registro n.º 3 (factura A-3 de 05-03-2027): la huella guardada";
    QTest::newRow("the book's fingerprint column changed")
        << "UPDATE billing_records SET huella = lower(huella) WHERE sequence = 3;"
        << "Fallo en el registro n.º 3 (factura A-3 de 05-03-2027): la columna huella del libro";
    QTest::newRow("the last record deleted and the one before edited")
        << "DELETE FROM billing_records WHERE sequence = 4; UPDATE billing_records SET bytes = "
           "replace(bytes, '>121.00<', '>1.00<') WHERE sequence = 3;"
        << "Fallo en el registro n.º 3";
}

void tst_CliRecords::tampering() {
    QFETCH(QString, sql);
    QFETCH(QString, says);
    const QString out = sqlite(book(), "DROP TRIGGER billing_records_kept; "
                                       "DROP TRIGGER billing_records_fixed; " +
                                           sql);
    QVERIFY2(out.isEmpty(), qPrintable(out));
    const CliRunner::Run run = records({"verify"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.startsWith(says), qPrintable(run.out));
    QCOMPARE(run.out.count(u'\n'), 1);
}

void tst_CliRecords::exportPeriod() {
    const QString target = m_home->filePath(QStringLiteral("marzo.xml"));
    const CliRunner::Run run =
        records({"export", "--from", "06/03/2027", "--to", "2027-03-07", "-o", target});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(run.out, target + u'\n');
    const QByteArray text = CliRunner::readAll(target);
    QVERIFY(RecordTestKit::schemaErrors(text).isEmpty());
    const QList<StoredRecord> all = stored();
    QCOMPARE(text.count("<sum:RegistroFactura>"), 2);
    QVERIFY(text.indexOf(all[1].bytes) < text.indexOf(all[2].bytes));
    QVERIFY(text.indexOf(all[1].bytes) > 0);
    QVERIFY(text.contains("<sum1:NombreRazon>Ferretería Ñandú, S.L.</sum1:NombreRazon>"));

    const CliRunner::Run none =
        records({"export", "--from", "01/04/2027", "--to", "30/04/2027", "-o", target + ".2"});
    QCOMPARE(none.status, 1);
    QVERIFY2(none.err.startsWith(QStringLiteral("No hay registros de facturación del NIF "
                                                "89890001K generados entre el 01-04-2027 y el "
                                                "30-04-2027")),
             qPrintable(none.err));
    QVERIFY(!QFileInfo::exists(target + ".2"));
}

void tst_CliRecords::exportNeverReplacesTheBook() {
    const QByteArray before = CliRunner::readAll(book());
    for (const QString& name : {QStringLiteral("Libro.db"), QStringLiteral("registro.ini")}) {
        const CliRunner::Run run = records(
            {"export", "--from", "01/03/2027", "--to", "31/03/2027", "-o", m_home->filePath(name)});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("No se puede exportar a")), qPrintable(run.err));
    }
    QCOMPARE(CliRunner::readAll(book()), before);
}

void tst_CliRecords::cancel_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("invoice");
    QTest::addColumn<QString>("says");
    const QByteArray noMode = "[MISDATOS]\nNIF=89890001K\n";
    QTest::newRow("no mode chosen") << noMode << "A-2"
                                    << "No se hacen registros de facturación";
    QTest::newRow("a mode Orvane does not know") << noMode + "[VERIFACTU]\nMODO=SIEMPRE\n"
                                                 << "A-2"
                                                 << "[VERIFACTU] MODO=SIEMPRE en";
    QTest::newRow("no tax id in Mis datos") << QByteArray("[VERIFACTU]\nMODO=VERIFACTU\n") << "A-2"
                                            << "Falta el NIF del emisor";
    QTest::newRow("an invoice not in the book")
        << Settings << "A-9"
        << "La factura «A-9» del NIF 89890001K no está en el libro";
    QTest::newRow("an invoice cancelled already") << Settings << "A-1"
                                                  << "La factura «A-1» ya está anulada";
}

void tst_CliRecords::cancel() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, invoice);
    QFETCH(QString, says);
    CliRunner::writeFile(*m_home, QStringLiteral("Registro.Ini"), settings);
    const CliRunner::Run run = records({"cancel", invoice});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith(says), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(stored().size(), 4);
}

// Until the built-in producer data are filled in, a trial names its own file:
// the record then carries that producer; a file that cannot be read stops the
// record instead of leaving the producer out.
void tst_CliRecords::producerFromAFile_data() {
    QTest::addColumn<QByteArray>("json"); // empty: no such file
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("a producer file")
        << QByteArray(R"({"producer": {"name": "Productora de Ensayo, S.L.",
                         "taxId": "B12345674"}, "system": {"name": "Orvane", "id": "OV"}})")
        << 0 << QString();
    QTest::newRow("no such file") << QByteArray() << 1
                                  << "No se puede leer los datos del productor del programa";
    QTest::newRow("not producer data")
        << QByteArray("[1, 2]") << 1 << "Los datos del productor del programa no se pueden leer";
}

void tst_CliRecords::producerFromAFile() {
    QFETCH(QByteArray, json);
    QFETCH(int, status);
    QFETCH(QString, says);
    // A book whose only record lies in the past, so today's clock may follow it.
    QTemporaryDir home;
    {
        auto db = BookDatabase::open(home.path());
        FakeClock clock;
        clock.now = utc(2025, 11, 3, 9, 0);
        RecordLedger ledger(*db, options(clock));
        const QList<Part> parts = {{VatTreatment::S1, "21", "100.00"}};
        const InvoiceRow row = invoice(QStringLiteral("1"), parts, QDate(2025, 11, 3));
        ledger.issue(row, alta(row, parts));
    }
    CliRunner::writeFile(home, QStringLiteral("Registro.Ini"), Settings);
    const QString file = json.isEmpty() ? home.filePath(QStringLiteral("ninguno.json"))
                                        : CliRunner::writeFile(home, "productor.json", json);
    qputenv(ProducerData::FileVariable, file.toUtf8());
    const CliRunner::Run run =
        CliRunner::cli({QStringLiteral("records"), QStringLiteral("cancel"), QStringLiteral("A-1"),
                        QStringLiteral("--home"), home.path()});
    qunsetenv(ProducerData::FileVariable);
    QVERIFY2(run.status == status, qPrintable(run.err));
    QVERIFY2(run.err.startsWith(says), qPrintable(run.err));
    auto db = BookDatabase::open(home.path());
    const RecordStore store(*db);
    QList<StoredRecord> all;
    store.each(store.chains().first(), [&](const StoredRecord& r) {
        all << r;
        return true;
    });
    QCOMPARE(all.size(), status == 0 ? 2 : 1);
    if (status == 0) {
        QVERIFY(all.last().bytes.contains("RegistroAnulacion"));
        QVERIFY(all.last().bytes.contains("Productora de Ensayo, S.L."));
    }
}

void tst_CliRecords::noBook_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("list") << QStringList{"list"};
    QTest::newRow("show") << QStringList{"show", "A-1"};
    QTest::newRow("verify") << QStringList{"verify"};
    QTest::newRow("export") << QStringList{"export",    "--from", "1/3/2027", "--to",
                                           "31/3/2027", "-o",     "x.xml"};
}

void tst_CliRecords::noBook() {
    QFETCH(QStringList, arguments);
    QTemporaryDir empty;
    const CliRunner::Run run =
        CliRunner::cli(QStringList{"records"} + arguments + QStringList{"--home", empty.path()});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith(QStringLiteral("No hay libro de facturas en")),
             qPrintable(run.err));
    QVERIFY(QDir(empty.path()).isEmpty());
}

void tst_CliRecords::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says"); // the first line written
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Uso: orvane-cli records";
    QTest::newRow("an order's help")
        << QStringList{"export", "--help"} << 0 << "Uso: orvane-cli records";
    QTest::newRow("no order") << QStringList{} << 2 << "Falta la orden";
    QTest::newRow("unknown order")
        << QStringList{"delete"} << 2 << "Orden desconocida: records delete";
    QTest::newRow("show without invoice") << QStringList{"show"} << 2 << "Falta la factura";
    QTest::newRow("cancel of two invoices")
        << QStringList{"cancel", "A-1", "A-2"} << 2 << "«records cancel» trata una sola factura";
    QTest::newRow("export without -o")
        << QStringList{"export", "--from", "1/3/2027", "--to", "31/3/2027"} << 2
        << "«records export» necesita --from, --to y -o";
    QTest::newRow("a date that does not exist")
        << QStringList{"list", "--from", "31/02/2027"} << 2 << "La fecha de --from, «31/02/2027»";
    QTest::newRow("a date in another form")
        << QStringList{"list", "--to", "2027.03.01"} << 2 << "La fecha de --to, «2027.03.01»";
    QTest::newRow("a period that ends before it starts")
        << QStringList{"list", "--from", "02/03/2027", "--to", "01/03/2027"} << 2
        << "El periodo empieza después de terminar";
    QTest::newRow("an option of another order")
        << QStringList{"verify", "--json"} << 2 << "«records verify» no admite --json";
    QTest::newRow("a file where none is read")
        << QStringList{"list", "extra"} << 2 << "Sobra «extra»";
    QTest::newRow("an option without its value")
        << QStringList{"list", "--from"} << 2 << "Falta el valor tras --from";
}

void tst_CliRecords::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    const CliRunner::Run run = CliRunner::cli(QStringList{"records"} + arguments);
    QCOMPARE(run.status, status);
    QVERIFY2((status == 0 ? run.out : run.err).startsWith(says), qPrintable(run.out + run.err));
}

QTEST_GUILESS_MAIN(tst_CliRecords)
#include "tst_CliRecords.moc"
