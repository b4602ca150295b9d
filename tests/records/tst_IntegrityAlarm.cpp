#include "RecordTestKit.h"
#include "common/AppError.h"
#include "records/IntegrityAlarm.h"

#include <QTest>

using RecordTestKit::utc;

Q_DECLARE_METATYPE(IntegrityAlarm)

// The integrity alarm: raised from a check's fault, shown in Spanish until it
// is resolved with a note, and stored and read back as it was.
class tst_IntegrityAlarm : public QObject {
    Q_OBJECT
private slots:
    void raisedAndResolved();
    void resolveNeedsANote_data();
    void resolveNeedsANote();
    void storedAndReadBack_data();
    void storedAndReadBack();
    void unreadable_data();
    void unreadable();
};

namespace {

IntegrityAlarm raised() {
    const ChainFault fault{5, QStringLiteral("A-2027-005 de 05-03-2027"),
                           QStringLiteral("la huella guardada no es la que dan sus datos"),
                           AnomalyType::FingerprintIntegrity};
    return IntegrityAlarm::raise(IntegrityAlarm::Check::Records, fault, utc(2027, 3, 6, 8, 0));
}

} // namespace

void tst_IntegrityAlarm::raisedAndResolved() {
    IntegrityAlarm alarm = raised();
    QVERIFY(alarm.active());
    QCOMPARE(alarm.text(),
             QStringLiteral("Alarma: la comprobación de los registros de facturación encontró un "
                            "fallo en el registro n.º 5 (A-2027-005 de 05-03-2027): la huella "
                            "guardada no es la que dan sus datos. Revise la causa y resuelva la "
                            "alarma con una nota"));
    alarm.resolve(QStringLiteral("  Restaurada la copia del día 5; cadena correcta de nuevo. "),
                  utc(2027, 3, 6, 9, 30));
    QVERIFY(!alarm.active());
    QCOMPARE(alarm.note,
             QStringLiteral("Restaurada la copia del día 5; cadena correcta de nuevo."));
    QVERIFY(alarm.text().endsWith(
        QStringLiteral(". Resuelta con la nota: «Restaurada la copia del día 5; cadena correcta "
                       "de nuevo.»")));
    // Once resolved it stays as it was resolved.
    QVERIFY_THROWS_EXCEPTION(AppError,
                             alarm.resolve(QStringLiteral("otra"), utc(2027, 3, 7, 9, 0)));
    QCOMPARE(alarm.resolvedAt, std::optional(utc(2027, 3, 6, 9, 30)));

    const IntegrityAlarm events = IntegrityAlarm::raise(
        IntegrityAlarm::Check::Events, {3, {}, QStringLiteral("falta el evento n.º 3"), {}},
        utc(2027, 3, 6, 8, 0));
    QVERIFY(events.text().startsWith(QStringLiteral(
        "Alarma: la comprobación de los registros de evento encontró un fallo en el evento n.º "
        "3: falta")));
}

void tst_IntegrityAlarm::resolveNeedsANote_data() {
    QTest::addColumn<QString>("note");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral(" \t\n ");
}

void tst_IntegrityAlarm::resolveNeedsANote() {
    QFETCH(QString, note);
    IntegrityAlarm alarm = raised();
    try {
        alarm.resolve(note, utc(2027, 3, 6, 9, 30));
        QFAIL("resolved without a note");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("escriba una nota")), qPrintable(e.message()));
    }
    QVERIFY(alarm.active());
    QVERIFY(alarm.note.isEmpty());
}

void tst_IntegrityAlarm::storedAndReadBack_data() {
    QTest::addColumn<IntegrityAlarm>("alarm");
    QTest::newRow("active") << raised();
    IntegrityAlarm resolved = raised();
    resolved.check = IntegrityAlarm::Check::Events;
    resolved.sequence = 9'007'199'254'740'993; // beyond a double's integers
    resolved.subject = QStringLiteral("Resumen de eventos de 2027-03-05T15:00:00+01:00 «\"»");
    resolved.raisedAt = QDateTime(QDate(2027, 3, 6), QTime(8, 0, 0, 125), Qt::OffsetFromUTC, 3600);
    resolved.resolve(QStringLiteral("Revisado con la gestoría"), utc(2027, 3, 6, 9, 30));
    QTest::newRow("resolved, of the events") << resolved;
}

void tst_IntegrityAlarm::storedAndReadBack() {
    QFETCH(IntegrityAlarm, alarm);
    const IntegrityAlarm back = IntegrityAlarm::fromJson(alarm.toJson());
    QCOMPARE(back.check, alarm.check);
    QCOMPARE(back.sequence, alarm.sequence);
    QCOMPARE(back.subject, alarm.subject);
    QCOMPARE(back.what, alarm.what);
    QCOMPARE(back.raisedAt, alarm.raisedAt);
    QCOMPARE(back.resolvedAt, alarm.resolvedAt);
    QCOMPARE(back.note, alarm.note);
    QCOMPARE(back.text(), alarm.text());
}

void tst_IntegrityAlarm::unreadable_data() {
    QTest::addColumn<QByteArray>("json");
    const QByteArray good = raised().toJson();
    auto edited = [&good](const char* from, const char* to) {
        QByteArray b = good;
        if (!b.contains(from))
            qFatal("fixture lacks %s", from);
        return b.replace(from, to);
    };
    QTest::newRow("not JSON") << QByteArray("alarma");
    QTest::newRow("a list") << QByteArray("[1]");
    QTest::newRow("another check") << edited("\"registros\"", "\"facturas\"");
    QTest::newRow("no sequence") << edited("\"sequence\"", "\"secuencia\"");
    QTest::newRow("negative sequence") << edited("\"5\"", "\"-5\"");
    QTest::newRow("nothing found") << edited("\"what\"", "\"que\"");
    QTest::newRow("no time") << edited("\"raisedAt\"", "\"at\"");
    QTest::newRow("resolved without a note")
        << edited("}", ",\"resolvedAt\":\"2027-03-06T09:30:00.000Z\",\"note\":\" \"}");
}

void tst_IntegrityAlarm::unreadable() {
    QFETCH(QByteArray, json);
    QVERIFY_THROWS_EXCEPTION(AppError, IntegrityAlarm::fromJson(json));
}

QTEST_GUILESS_MAIN(tst_IntegrityAlarm)
#include "tst_IntegrityAlarm.moc"
