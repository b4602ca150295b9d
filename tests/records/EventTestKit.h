#pragma once

// What the event-log suites share: an event of each type to vary, a chain of
// them, and the signature the signer will add (the schema requires one).

#include "RecordTestKit.h"
#include "records/EventBuilder.h"

#include <QList>

namespace EventTestKit {

using RecordTestKit::testSystem;
using RecordTestKit::utc;

inline RecordRef recordRef(const QString& numSerie, QChar huellaDigit) {
    return {QStringLiteral("89890001K"), numSerie, QStringLiteral("05-03-2027"),
            QString(64, huellaDigit)};
}

inline EventRef eventRef(const QString& type, const QString& at, QChar huellaDigit) {
    return {type, at, QString(64, huellaDigit)};
}

// An event of the type, the first of its chain, with its detail filled in.
inline EventRecord anEvent(EventType type, const QDateTime& at = utc(2027, 3, 5, 9, 0)) {
    EventRecord e;
    e.type = type;
    e.system = testSystem();
    e.issuerName = QStringLiteral("Ferretería Ñandú, S.L.");
    e.issuerNif = QStringLiteral("89890001K");
    e.generatedAt = at;
    switch (type) {
    case EventType::RecordsCheck:
        e.check = {120, std::nullopt, 120, 120};
        break;
    case EventType::EventsCheck:
        e.check = {8, 8, 8, std::nullopt};
        break;
    case EventType::RecordsAnomaly:
        e.anomaly = {AnomalyType::FingerprintIntegrity, QStringLiteral("la huella no casa"),
                     recordRef(QStringLiteral("A-2027-004"), u'A'), std::nullopt};
        break;
    case EventType::EventsAnomaly:
        e.anomaly = {
            AnomalyType::PreviousHuellaMismatch, QString(), std::nullopt,
            eventRef(QStringLiteral("10"), QStringLiteral("2027-03-04T15:00:00+01:00"), u'B')};
        break;
    case EventType::RecordsExported: {
        RecordTally t;
        t.first = recordRef(QStringLiteral("A-2027-001"), u'1');
        t.last = recordRef(QStringLiteral("A-2027-009"), u'9');
        t.altas = 8;
        t.cuotaTotal = D("168.00");
        t.importeTotal = D("968.00");
        t.anulaciones = 1;
        e.recordsExport = {utc(2027, 3, 1, 0, 0), utc(2027, 3, 4, 23, 0), t, false};
        break;
    }
    case EventType::EventsExported:
        e.eventsExport = {
            utc(2027, 3, 1, 0, 0),
            utc(2027, 3, 4, 23, 0),
            eventRef(QStringLiteral("01"), QStringLiteral("2027-03-01T08:00:00+01:00"), u'C'),
            eventRef(QStringLiteral("10"), QStringLiteral("2027-03-04T20:00:00+01:00"), u'D'),
            14,
            true};
        break;
    case EventType::Summary:
        e.summary.events = {{EventType::RecordsCheck, 1}, {EventType::Summary, 1}};
        e.summary.records.first = recordRef(QStringLiteral("A-2027-010"), u'E');
        e.summary.records.last = recordRef(QStringLiteral("A-2027-012"), u'F');
        e.summary.records.altas = 3;
        e.summary.records.cuotaTotal = D("63.00");
        e.summary.records.importeTotal = D("363.00");
        break;
    case EventType::BackupRestored:
        e.otherData = QStringLiteral("Copia Libro-2027-03-01.db");
        break;
    default:
        break;
    }
    return e;
}

// What the signer adds: a ds:Signature last inside sf:Evento, declaring its
// own namespace. Only its form matters to the schema.
inline QByteArray withSignature(QByteArray xml) {
    const QByteArray end = QByteArray("</sf:") + EventBuilder::SignatureParent + '>';
    const qsizetype at = xml.lastIndexOf(end);
    if (at < 0)
        qFatal("no %s in the event", end.constData());
    xml.insert(at,
               "  <ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"Firma-1\">"
               "<ds:SignedInfo><ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/"
               "REC-xml-c14n-20010315\"/><ds:SignatureMethod Algorithm=\"http://www.w3.org/2001/"
               "04/xmldsig-more#rsa-sha256\"/><ds:Reference URI=\"\"><ds:Transforms>"
               "<ds:Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>"
               "</ds:Transforms><ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/"
               "xmlenc#sha256\"/><ds:DigestValue>AAAA</ds:DigestValue></ds:Reference>"
               "</ds:SignedInfo><ds:SignatureValue>AAAA</ds:SignatureValue><ds:Object>"
               "<ds:TipoEvento>99</ds:TipoEvento></ds:Object></ds:Signature>\n  ");
    return xml;
}

// A chain of events one hour apart: the start of the mode, a check of the
// records, an export of records, a summary, an anomaly, a backup restored.
struct Chain {
    QList<BuiltEvent> built;
    QList<QByteArray> stored; // signed
};

inline Chain chain() {
    const EventType types[] = {EventType::ModeStart,       EventType::RecordsCheck,
                               EventType::RecordsExported, EventType::Summary,
                               EventType::EventsAnomaly,   EventType::BackupRestored};
    Chain c;
    int hour = 8;
    for (const EventType type : types) {
        EventRecord e = anEvent(type, utc(2027, 3, 5, hour++, 0));
        if (!c.built.isEmpty())
            e.chain = EventLink::after(c.built.last().reference);
        c.built << EventBuilder::build(e);
        c.stored << withSignature(c.built.last().xml);
    }
    return c;
}

} // namespace EventTestKit
