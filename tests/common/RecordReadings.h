#pragma once

// A stored billing record's fields as libxml2's tree gives them, and as the
// program's own reader gives them, in one comparable text: whatever the
// reader accepts must read the same both ways.

#include "records/RecordReader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

namespace RecordReadings {

inline const xmlNode* child(const xmlNode* parent, const char* name) {
    for (const xmlNode* n = parent ? parent->children : nullptr; n; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST name))
            return n;
    }
    return nullptr;
}

inline QString text(const xmlNode* node) {
    if (!node)
        return {};
    xmlChar* content = xmlNodeGetContent(node);
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return value;
}

// Every text the fingerprint, the link and the check of the fingerprint's
// type are made of, one a line; "(not XML)" when libxml2 refuses the bytes.
inline QString byParser(const QByteArray& bytes) {
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
    if (!doc)
        return QStringLiteral("(not XML)");
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const bool alta = xmlStrEqual(root->name, BAD_CAST "RegistroAlta");
    const xmlNode* id = child(root, "IDFactura");
    const xmlNode* chain = child(root, "Encadenamiento");
    const xmlNode* previous = child(chain, "RegistroAnterior");
    return QStringList{
        alta ? QStringLiteral("alta") : QStringLiteral("anulación"),
        text(child(id, alta ? "IDEmisorFactura" : "IDEmisorFacturaAnulada")),
        text(child(id, alta ? "NumSerieFactura" : "NumSerieFacturaAnulada")),
        text(child(id, alta ? "FechaExpedicionFactura" : "FechaExpedicionFacturaAnulada")),
        alta ? text(child(root, "TipoFactura")) : QString(),
        alta ? text(child(root, "CuotaTotal")) : QString(),
        alta ? text(child(root, "ImporteTotal")) : QString(),
        text(child(chain, "PrimerRegistro")).trimmed() == u"S" ? QStringLiteral("S") : QString(),
        text(child(previous, "IDEmisorFactura")),
        text(child(previous, "NumSerieFactura")),
        text(child(previous, "FechaExpedicionFactura")),
        text(child(previous, "Huella")),
        text(child(root, "FechaHoraHusoGenRegistro")),
        text(child(root, "TipoHuella")),
        text(child(root, "Huella"))}
        .join(u'\n');
}

inline QString byReader(const ReadRecord& r) {
    const Fingerprint::RecordTexts& t = r.fingerprinted;
    return QStringList{t.anulacion ? QStringLiteral("anulación") : QStringLiteral("alta"),
                       t.issuerNif,
                       t.numSerie,
                       t.issueDate,
                       t.invoiceType,
                       t.cuotaTotal,
                       t.importeTotal,
                       r.first ? QStringLiteral("S") : QString(),
                       r.previousNif,
                       r.previousNumSerie,
                       r.previousDate,
                       t.previousHuella,
                       t.generatedAt,
                       r.tipoHuella,
                       r.huella}
        .join(u'\n');
}

} // namespace RecordReadings
