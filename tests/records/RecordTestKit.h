#pragma once

// What the billing-record suites share: a valid record to vary, and the tax
// agency's schemas compiled from the repository to validate against.

#include "DecimalTestKit.h"
#include "records/BillingRecord.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTimeZone>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>

namespace RecordTestKit {

inline QString verifactuPath(const char* relative) {
    return QStringLiteral(ORVANE_THIRD_PARTY_DIR "/verifactu/") + QString::fromLatin1(relative);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

inline SoftwareSystem testSystem() {
    SoftwareSystem s;
    s.producerName = QStringLiteral("Productora de Pruebas, S.L.");
    s.producerNif = QStringLiteral("B12345674");
    s.systemName = QStringLiteral("Orvane");
    s.systemId = QStringLiteral("OV");
    s.version = QStringLiteral("1.0.1.0");
    s.installationNumber = QStringLiteral("7f3c2a90-0001");
    return s;
}

inline QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

// An ordinary invoice at 21 %, the first record of its chain.
inline BillingRecord alta(const QString& numSerie = QStringLiteral("A-2027-001")) {
    BillingRecord r;
    r.invoice = {QStringLiteral("89890001K"), numSerie, QDate(2027, 3, 5)};
    r.issuerName = QStringLiteral("Ferretería Ñandú, S.L.");
    r.description = QStringLiteral("Tornillos, tuercas y arandelas");
    r.recipients = {
        {QStringLiteral("Construcciones Lérez, S.A."), QStringLiteral("89890002E"), {}, {}, {}}};
    r.details = {{VatTreatment::S1, D("21"), D("100.00"), D("21.00")}};
    r.system = testSystem();
    r.generatedAt = utc(2027, 3, 5, 9, 30);
    return r;
}

inline BillingRecord anulacion(const QString& numSerie = QStringLiteral("A-2027-001")) {
    BillingRecord r;
    r.kind = BillingRecord::Kind::Anulacion;
    r.invoice = {QStringLiteral("89890001K"), numSerie, QDate(2027, 3, 5)};
    r.system = testSystem();
    r.generatedAt = utc(2027, 3, 6, 12, 0);
    return r;
}

// libxml2's error callbacks (const or not, depending on its version).
inline void ignore(void*, const xmlError*) {}
inline void collect(void* list, const xmlError* e) {
    static_cast<QStringList*>(list)->append(
        QStringLiteral("line %1: %2").arg(e->line).arg(QString::fromUtf8(e->message).trimmed()));
}

// The AEAT schemas, compiled once from the repository's copy.
inline xmlSchemaPtr schema() {
    static xmlSchemaPtr compiled = [] {
        const QByteArray path = verifactuPath("xsd/verifactu-all.xsd").toLocal8Bit();
        xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(path.constData());
        xmlSchemaSetParserStructuredErrors(
            parser, reinterpret_cast<xmlStructuredErrorFunc>(&ignore), nullptr);
        xmlSchemaPtr s = xmlSchemaParse(parser);
        xmlSchemaFreeParserCtxt(parser);
        if (!s)
            qFatal("the VERI*FACTU schemas in %s do not compile", path.constData());
        return s;
    }();
    return compiled;
}

// Every violation of the schemas, one a line; empty when the bytes validate.
inline QStringList schemaErrors(const QByteArray& xml) {
    xmlDocPtr doc = xmlReadMemory(xml.constData(), int(xml.size()), nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc)
        return {QStringLiteral("not well-formed XML")};
    QStringList errors;
    xmlSchemaValidCtxtPtr validator = xmlSchemaNewValidCtxt(schema());
    xmlSchemaSetValidStructuredErrors(validator, reinterpret_cast<xmlStructuredErrorFunc>(&collect),
                                      &errors);
    if (xmlSchemaValidateDoc(validator, doc) != 0 && errors.isEmpty())
        errors << QStringLiteral("invalid");
    xmlSchemaFreeValidCtxt(validator);
    xmlFreeDoc(doc);
    return errors;
}

} // namespace RecordTestKit
