#include "EventTestKit.h"
#include "common/AppError.h"
#include "records/EventBuilder.h"
#include "records/EventReader.h"
#include "records/RecordBuilder.h"
#include "records/RecordReader.h"

#include <QTest>

#include <functional>

using namespace EventTestKit;
using RecordTestKit::schemaErrors;

using Edit = std::function<void(EventRecord&)>;
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(EventRecord)

// The event log's events: every type valid against the tax agency's schema
// once signed, the fingerprint's construction over exactly the texts
// written, and the forms the schema refuses caught before anything is
// written.
class tst_EventBuilder : public QObject {
    Q_OBJECT
private slots:
    void everyType_data();
    void everyType();
    void fingerprint_data();
    void fingerprint();
    void refused_data();
    void refused();
    void tallyOfStoredRecords();
};

void tst_EventBuilder::everyType_data() {
    QTest::addColumn<EventRecord>("event");
    QTest::addColumn<QByteArray>("expected"); // a piece of the XML

    QTest::newRow("01 start of the mode")
        << anEvent(EventType::ModeStart)
        << QByteArray("<sf:TipoEvento>01</sf:TipoEvento>\n    <sf:Encadenamiento>\n"
                      "      <sf:PrimerEvento>S</sf:PrimerEvento>");
    EventRecord end = anEvent(EventType::ModeEnd);
    end.chain = EventLink::after(
        eventRef(QStringLiteral("10"), QStringLiteral("2027-03-05T09:00:00+01:00"), u'A'));
    QTest::newRow("02 end of the mode, after a summary")
        << end
        << QByteArray("<sf:EventoAnterior>\n        <sf:TipoEvento>10</sf:TipoEvento>\n"
                      "        <sf:FechaHoraHusoGenEvento>2027-03-05T09:00:00+01:00<");
    QTest::newRow("03 check of the records: signatures not checked")
        << anEvent(EventType::RecordsCheck)
        << QByteArray("<sf:RealizadoProcesoSobreIntegridadFirmasRegFacturacion>N<"
                      "/sf:RealizadoProcesoSobreIntegridadFirmasRegFacturacion>\n        "
                      "<sf:RealizadoProcesoSobreTrazabilidadCadenaRegFacturacion>S<");
    QTest::newRow("04 anomaly in a record")
        << anEvent(EventType::RecordsAnomaly)
        << QByteArray("<sf:TipoAnomalia>01</sf:TipoAnomalia>\n        <sf:OtrosDatosAnomalia>"
                      "la huella no casa</sf:OtrosDatosAnomalia>\n        "
                      "<sf:RegistroFacturacionAnomalo>\n          <sf:IDEmisorFactura>");
    EventRecord tampered = anEvent(EventType::RecordsAnomaly);
    tampered.anomaly.details = QString(150, u'x');
    tampered.anomaly.record->issueDate = QStringLiteral("5-3-2027");
    QTest::newRow("04 anomaly in a record that no longer reads as one")
        << tampered
        << QByteArray("<sf:OtrosDatosAnomalia>" + QByteArray(99, 'x') +
                      "\xE2\x80\xA6</sf:OtrosDatosAnomalia>\n      "
                      "</sf:DeteccionAnomaliasRegFacturacion>");
    QTest::newRow("05 check of the events: dates not checked")
        << anEvent(EventType::EventsCheck)
        << QByteArray("<sf:NumeroDeRegistrosEventoProcesadosSobreTrazabilidadCadena>8<"
                      "/sf:NumeroDeRegistrosEventoProcesadosSobreTrazabilidadCadena>\n        "
                      "<sf:RealizadoProcesoSobreTrazabilidadFechasRegEvento>N<");
    QTest::newRow("06 anomaly in an event")
        << anEvent(EventType::EventsAnomaly)
        << QByteArray("<sf:TipoAnomalia>08</sf:TipoAnomalia>\n        <sf:RegEventoAnomalo>\n"
                      "          <sf:TipoEvento>10</sf:TipoEvento>\n          "
                      "<sf:FechaHoraHusoEvento>2027-03-04T15:00:00+01:00<");
    QTest::newRow("07 backup restored")
        << anEvent(EventType::BackupRestored)
        << QByteArray("<sf:TipoEvento>07</sf:TipoEvento>\n    <sf:OtrosDatosEvento>Copia "
                      "Libro-2027-03-01.db</sf:OtrosDatosEvento>");
    QTest::newRow("08 records exported")
        << anEvent(EventType::RecordsExported)
        << QByteArray("<sf:FechaHoraHusoInicioPeriodoExport>2027-03-01T01:00:00+01:00<"
                      "/sf:FechaHoraHusoInicioPeriodoExport>\n        "
                      "<sf:FechaHoraHusoFinPeriodoExport>2027-03-05T00:00:00+01:00<");
    QTest::newRow("09 events exported and removed")
        << anEvent(EventType::EventsExported)
        << QByteArray("<sf:NumeroDeRegEventoExportados>14</sf:NumeroDeRegEventoExportados>\n"
                      "        <sf:RegEventoExportadosDejanDeConservarse>S<");
    QTest::newRow("10 summary")
        << anEvent(EventType::Summary)
        << QByteArray("<sf:TipoEvento>\n          <sf:TipoEvento>03</sf:TipoEvento>\n"
                      "          <sf:NumeroDeEventos>1</sf:NumeroDeEventos>\n        "
                      "</sf:TipoEvento>\n        <sf:TipoEvento>\n          "
                      "<sf:TipoEvento>10</sf:TipoEvento>");
    EventRecord quiet = anEvent(EventType::Summary);
    quiet.summary = {};
    quiet.territory = Territory::Canarias;
    quiet.generatedAt = utc(2027, 1, 15, 10, 0);
    QTest::newRow("10 summary of a quiet period in the Canary Islands")
        << quiet
        << QByteArray("<sf:FechaHoraHusoGenEvento>2027-01-15T10:00:00+00:00<"
                      "/sf:FechaHoraHusoGenEvento>\n    <sf:TipoEvento>10</sf:TipoEvento>\n"
                      "    <sf:DatosPropiosEvento>\n      <sf:ResumenEventos>\n        "
                      "<sf:TipoEvento>\n          <sf:TipoEvento>10</sf:TipoEvento>\n          "
                      "<sf:NumeroDeEventos>0</sf:NumeroDeEventos>\n        </sf:TipoEvento>\n"
                      "        <sf:NumeroDeRegistrosFacturacionAltaGenerados>0<");
}

void tst_EventBuilder::everyType() {
    QFETCH(EventRecord, event);
    QFETCH(QByteArray, expected);
    const BuiltEvent built = EventBuilder::build(event);
    QVERIFY2(built.xml.contains(expected), built.xml.constData());
    // Its own document: one namespace declared on the root, nothing above.
    QVERIFY(built.xml.startsWith(
        "<sf:RegistroEvento xmlns:sf=\"https://www2.agenciatributaria.gob.es/static_files/common/"
        "internet/dep/aplicaciones/es/aeat/tike/cont/ws/EventosSIF.xsd\">\n"));
    QCOMPARE(built.xml.count("xmlns"), 1);
    // Unsigned it lacks what the schema requires; signed it is valid.
    QVERIFY(!schemaErrors(built.xml).isEmpty());
    QCOMPARE(schemaErrors(withSignature(built.xml)), QStringList());
    // The fingerprint is over the texts written, read back from the XML.
    const ReadEvent read = EventReader::read(built.xml);
    QCOMPARE(Fingerprint::input(read.fingerprinted), built.fingerprintInput);
    QCOMPARE(read.huella, built.huella);
    QCOMPARE(read.reference().huella, built.reference.huella);
    QCOMPARE(read.reference().generatedAt, built.reference.generatedAt);
    QCOMPARE(read.reference().type, eventTypeCode(event.type));
}

void tst_EventBuilder::fingerprint_data() {
    QTest::addColumn<EventRecord>("event");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("huella");

    const QString first = QStringLiteral("730B3CB2752D216C40A752C8BDF90FA7B5AAEF1F28683EA9EE3089B2"
                                         "C661B593");
    const QString fields =
        QStringLiteral("NIF=B12345674&ID=&IdSistemaInformatico=OV&Version=1.0.1.0&"
                       "NumeroInstalacion=7f3c2a90-0001&NIF=89890001K&");
    const EventRef afterFirst{QStringLiteral("01"), QStringLiteral("2027-01-02T09:00:00+01:00"),
                              first};

    QTest::newRow("first event: no previous fingerprint")
        << anEvent(EventType::ModeStart, utc(2027, 1, 2, 8, 0))
        << fields + "TipoEvento=01&HuellaEvento=&FechaHoraHusoGenEvento=2027-01-02T09:00:00+01:00"
        << first;

    EventRecord summary = anEvent(EventType::Summary, utc(2027, 7, 1, 13, 0));
    summary.chain = EventLink::after(afterFirst);
    QTest::newRow("summary after it, in summer time")
        << summary
        << fields + "TipoEvento=10&HuellaEvento=" + first +
               "&FechaHoraHusoGenEvento=2027-07-01T15:00:00+02:00"
        << "C1F4B7C22EEF2580F509A01F8D024D45973F57684EB042822A37D9BF74D080C1";

    EventRecord canary = anEvent(EventType::RecordsCheck, utc(2027, 1, 15, 10, 0));
    canary.territory = Territory::Canarias;
    canary.chain = EventLink::after(afterFirst);
    QTest::newRow("Canary Islands in winter: +00:00, never Z")
        << canary
        << fields + "TipoEvento=03&HuellaEvento=" + first +
               "&FechaHoraHusoGenEvento=2027-01-15T10:00:00+00:00"
        << "B34059406F632AFA69FD1CDEC6D06B69EA56B30987EE7208BC750911448B8EB4";

    EventRecord padded = anEvent(EventType::RecordsAnomaly, utc(2027, 3, 28, 1, 0));
    padded.system.version = QStringLiteral(" 1.0.1.0 ");
    padded.issuerNif = QStringLiteral(" 89890001K\t");
    padded.chain = EventLink::after({afterFirst.type, afterFirst.generatedAt, first + u' '});
    QTest::newRow("blanks around values; the detail is not fingerprinted; 03:00 after the change")
        << padded
        << fields + "TipoEvento=04&HuellaEvento=" + first +
               "&FechaHoraHusoGenEvento=2027-03-28T03:00:00+02:00"
        << "17B5208355B5108D33AF648C1350A7F3DBE5005971D33ED0AD222001855B06D5";

    QTest::newRow("a second before the change to summer time")
        << anEvent(EventType::ModeEnd, QDateTime(QDate(2027, 3, 28), QTime(0, 59, 59), Qt::UTC))
        << fields + "TipoEvento=02&HuellaEvento=&FechaHoraHusoGenEvento=2027-03-28T01:59:59+01:00"
        << "B54D8A96BA42C1ED42C91DD30172BE02F1C4D55BF1D711ACC66C765E200455B7";
}

void tst_EventBuilder::fingerprint() {
    QFETCH(EventRecord, event);
    QFETCH(QString, input);
    QFETCH(QString, huella);
    const BuiltEvent built = EventBuilder::build(event);
    QCOMPARE(QString::fromUtf8(built.fingerprintInput), input);
    QCOMPARE(built.huella, huella);
    QCOMPARE(built.reference.huella, huella);
    QVERIFY2(built.xml.contains("<sf:HuellaEvento>" + huella.toLatin1() +
                                "</sf:HuellaEvento>\n"
                                "  </sf:Evento>"),
             built.xml.constData());
}

void tst_EventBuilder::refused_data() {
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("says");

    QTest::newRow("issuer's NIF wrong")
        << Edit([](EventRecord& e) { e.issuerNif = QStringLiteral("89890001A"); })
        << "NIF del obligado";
    QTest::newRow("issuer without a name")
        << Edit([](EventRecord& e) { e.issuerName = QStringLiteral("  "); }) << "NombreRazon";
    QTest::newRow("system id of three characters")
        << Edit([](EventRecord& e) { e.system.systemId = QStringLiteral("ORV"); })
        << "IdSistemaInformatico";
    QTest::newRow("no generation time")
        << Edit([](EventRecord& e) { e.generatedAt = {}; }) << "FechaHoraHusoGenEvento";
    QTest::newRow("previous event with a malformed fingerprint") << Edit([](EventRecord& e) {
        e.chain = EventLink::after(
            eventRef(QStringLiteral("01"), QStringLiteral("2027-03-05T09:00:00+01:00"), u'g'));
    }) << "EventoAnterior: la huella";
    QTest::newRow("previous event of no type") << Edit([](EventRecord& e) {
        e.chain = EventLink::after(
            eventRef(QStringLiteral("11"), QStringLiteral("2027-03-05T09:00:00+01:00"), u'A'));
    }) << "EventoAnterior: «11» no es un tipo de evento";
    QTest::newRow("previous event's time written with Z") << Edit([](EventRecord& e) {
        e.chain = EventLink::after(
            eventRef(QStringLiteral("01"), QStringLiteral("2027-03-05T08:00:00Z"), u'A'));
    }) << "EventoAnterior: la fecha y hora";
    QTest::newRow("check of more records than the schema counts") << Edit([](EventRecord& e) {
        e.type = EventType::RecordsCheck;
        e.check = {10'000'000, {}, {}, {}};
    }) << "no está entre 0 y 9999999";
    QTest::newRow("check of more events than the schema counts") << Edit([](EventRecord& e) {
        e.type = EventType::EventsCheck;
        e.check = {{}, {}, 100'000, {}};
    }) << "no está entre 0 y 99999";
    QTest::newRow("export of a period that ends before it starts") << Edit([](EventRecord& e) {
        e = anEvent(EventType::RecordsExported);
        std::swap(e.recordsExport.from, e.recordsExport.to);
    }) << "acaba antes de empezar";
    QTest::newRow("export without records") << Edit([](EventRecord& e) {
        e = anEvent(EventType::RecordsExported);
        e.recordsExport.records = {};
    }) << "RegistroFacturacionInicialPeriodo: falta";
    QTest::newRow("export whose last record has no fingerprint") << Edit([](EventRecord& e) {
        e = anEvent(EventType::RecordsExported);
        e.recordsExport.records.last->huella.clear();
    }) << "RegistroFacturacionFinalPeriodo: la huella";
    QTest::newRow("export summing thirteen integer digits") << Edit([](EventRecord& e) {
        e = anEvent(EventType::RecordsExported);
        e.recordsExport.records.importeTotal = D("1000000000000.00");
    }) << "SumaImporteTotalAlta";
    QTest::newRow("export of events naming an event of no type") << Edit([](EventRecord& e) {
        e = anEvent(EventType::EventsExported);
        e.eventsExport.first.type = QStringLiteral("00");
    }) << "RegistroEventoInicialPeriodo";
    QTest::newRow("summary of 10,000 events of a type") << Edit([](EventRecord& e) {
        e = anEvent(EventType::Summary);
        e.summary.events[EventType::RecordsCheck] = 10'000;
    }) << "NumeroDeEventos de tipo 03";
    QTest::newRow("summary of a million records") << Edit([](EventRecord& e) {
        e = anEvent(EventType::Summary);
        e.summary.records.altas = 1'000'000;
    }) << "no está entre 0 y 999999";
}

void tst_EventBuilder::refused() {
    QFETCH(Edit, edit);
    QFETCH(QString, says);
    EventRecord e = anEvent(EventType::ModeStart);
    edit(e);
    try {
        EventBuilder::build(e);
        QFAIL("built");
    } catch (const AppError& error) {
        QVERIFY2(error.message().contains(says), qPrintable(error.message()));
        QVERIFY2(error.message().startsWith(QStringLiteral("El registro de evento «")),
                 qPrintable(error.message()));
    }
}

void tst_EventBuilder::tallyOfStoredRecords() {
    // Two altas and a cancellation, read back as a summary or an export
    // counts them.
    QList<ReadRecord> read;
    ChainLink link;
    for (int i = 1; i <= 3; ++i) {
        BillingRecord r = i == 3 ? RecordTestKit::anulacion(QStringLiteral("A-2027-002"))
                                 : RecordTestKit::alta(QStringLiteral("A-2027-00%1").arg(i));
        if (i == 2)
            r.details = {{VatTreatment::S1, D("10"), D("45.10"), D("4.51")},
                         {VatTreatment::E1, D("0"), D("12.00"), D("0")}};
        r.chain = link;
        const BuiltRecord built = RecordBuilder::build(r);
        link = ChainLink::after(r.invoice, built.huella);
        read << RecordReader::read(built.xml);
    }
    RecordTally tally;
    for (const ReadRecord& r : read)
        tally.add(r);
    QCOMPARE(tally.altas, 2);
    QCOMPARE(tally.anulaciones, 1);
    QCOMPARE(tally.cuotaTotal, D("25.51"));
    QCOMPARE(tally.importeTotal, D("182.61"));
    QCOMPARE(tally.first->numSerie, QStringLiteral("A-2027-001"));
    QCOMPARE(tally.first->huella, read.first().huella);
    QCOMPARE(tally.last->numSerie, QStringLiteral("A-2027-002"));
    QCOMPARE(tally.last->huella, read.last().huella);

    EventRecord e = anEvent(EventType::RecordsExported);
    e.recordsExport.records = tally;
    const QByteArray xml = EventBuilder::build(e).xml;
    QCOMPARE(schemaErrors(withSignature(xml)), QStringList());
    QVERIFY2(xml.contains("<sf:NumeroDeRegistrosFacturacionAltaExportados>2<"
                          "/sf:NumeroDeRegistrosFacturacionAltaExportados>\n        "
                          "<sf:SumaCuotaTotalAlta>25.51</sf:SumaCuotaTotalAlta>\n        "
                          "<sf:SumaImporteTotalAlta>182.61</sf:SumaImporteTotalAlta>"),
             xml.constData());

    // A total that is not an amount is not counted as nothing.
    ReadRecord broken = read.first();
    broken.fingerprinted.importeTotal = QStringLiteral("12O.00");
    QVERIFY_THROWS_EXCEPTION(AppError, tally.add(broken));
}

QTEST_GUILESS_MAIN(tst_EventBuilder)
#include "tst_EventBuilder.moc"
