#include "records/RecordReader.h"

#include "common/AppError.h"
#include "facturae/XmlNodes.h"
#include "records/RecordText.h"
#include "records/RecordXmlWriter.h"

#include <libxml/parser.h>

#include <cstring>
#include <memory>

namespace RecordReader {

namespace {

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

using XmlNodes::child;
using XmlNodes::text;

std::optional<Decimal> number(const xmlNode* node) {
    return RecordText::readAmount(text(node));
}

void readBreakdown(const xmlNode* root, ReadRecord& out) {
    Decimal quota;
    Decimal total;
    for (const xmlNode* d : XmlNodes::children(child(root, "Desglose"), "DetalleDesglose")) {
        const auto base = number(child(d, "BaseImponibleOimporteNoSujeto"));
        const xmlNode* quotaNode = child(d, "CuotaRepercutida");
        const auto q = quotaNode ? number(quotaNode) : std::optional<Decimal>(Decimal());
        if (!base || !q)
            return;
        quota += *q;
        total += *base + *q;
    }
    out.detailQuota = quota;
    out.detailTotal = total;
}

} // namespace

ReadRecord read(const QByteArray& bytes) {
    std::unique_ptr<xmlDoc, DocFree> doc(xmlReadMemory(
        bytes.constData(), int(bytes.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT));
    if (!doc)
        throw AppError(QStringLiteral("no es XML bien formado"));
    if (doc->intSubset || doc->extSubset)
        throw AppError(QStringLiteral("lleva una declaración DOCTYPE, que un registro no admite"));
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const bool alta = XmlNodes::isNamed(root, "RegistroAlta");
    if ((!alta && !XmlNodes::isNamed(root, "RegistroAnulacion")) || !root->ns ||
        std::strcmp(reinterpret_cast<const char*>(root->ns->href), RecordNamespaces::Info) != 0)
        throw AppError(QStringLiteral("no es un RegistroAlta ni un RegistroAnulacion de la "
                                      "Agencia Tributaria"));

    ReadRecord out;
    Fingerprint::RecordTexts& t = out.fingerprinted;
    const xmlNode* id = child(root, "IDFactura");
    t.anulacion = !alta;
    if (alta) {
        t.issuerNif = text(child(id, "IDEmisorFactura"));
        t.numSerie = text(child(id, "NumSerieFactura"));
        t.issueDate = text(child(id, "FechaExpedicionFactura"));
        t.invoiceType = text(child(root, "TipoFactura"));
        t.cuotaTotal = text(child(root, "CuotaTotal"));
        t.importeTotal = text(child(root, "ImporteTotal"));
        readBreakdown(root, out);
    } else {
        t.issuerNif = text(child(id, "IDEmisorFacturaAnulada"));
        t.numSerie = text(child(id, "NumSerieFacturaAnulada"));
        t.issueDate = text(child(id, "FechaExpedicionFacturaAnulada"));
    }
    const xmlNode* chain = child(root, "Encadenamiento");
    out.first = text(child(chain, "PrimerRegistro")).trimmed() == u"S";
    if (const xmlNode* previous = child(chain, "RegistroAnterior")) {
        out.previousNif = text(child(previous, "IDEmisorFactura"));
        out.previousNumSerie = text(child(previous, "NumSerieFactura"));
        out.previousDate = text(child(previous, "FechaExpedicionFactura"));
        t.previousHuella = text(child(previous, "Huella"));
    }
    t.generatedAt = text(child(root, "FechaHoraHusoGenRegistro"));
    out.tipoHuella = text(child(root, "TipoHuella"));
    out.huella = text(child(root, "Huella"));
    return out;
}

} // namespace RecordReader

QString ReadRecord::invoiceText() const {
    return QStringLiteral("%1 de %2")
        .arg(fingerprinted.numSerie.trimmed(), fingerprinted.issueDate.trimmed());
}
