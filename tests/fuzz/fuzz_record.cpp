// The reader of stored records on arbitrary bytes: it never crashes, and
// whatever it reads, an XML parser reads the same way (a record it reads
// differently could pass the chain check while saying something else).
#include "FuzzCheck.h"
#include "common/AppError.h"
#include "records/ChainVerifier.h"
#include "records/RecordReader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <memory>

namespace {

using FuzzCheck::check;

const xmlNode* child(const xmlNode* parent, const char* name) {
    for (const xmlNode* n = parent ? parent->children : nullptr; n; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST name))
            return n;
    }
    return nullptr;
}

QString text(const xmlNode* node) {
    if (!node)
        return {};
    xmlChar* content = xmlNodeGetContent(node);
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return value;
}

void silent(void*, const char*, ...) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xmlSetGenericErrorFunc(nullptr, &silent);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    ChainVerifier verifier;
    verifier.add(1, bytes);

    ReadRecord read;
    try {
        read = RecordReader::read(bytes);
    } catch (const AppError&) {
        return 0;
    }
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
    check(doc != nullptr);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const bool alta = !read.fingerprinted.anulacion;
    check(xmlStrEqual(root->name, BAD_CAST(alta ? "RegistroAlta" : "RegistroAnulacion")));
    const xmlNode* id = child(root, "IDFactura");
    const xmlNode* chain = child(root, "Encadenamiento");
    const xmlNode* previous = child(chain, "RegistroAnterior");
    const Fingerprint::RecordTexts& t = read.fingerprinted;
    check(t.issuerNif == text(child(id, alta ? "IDEmisorFactura" : "IDEmisorFacturaAnulada")));
    check(t.numSerie == text(child(id, alta ? "NumSerieFactura" : "NumSerieFacturaAnulada")));
    check(t.issueDate ==
          text(child(id, alta ? "FechaExpedicionFactura" : "FechaExpedicionFacturaAnulada")));
    if (alta) {
        check(t.invoiceType == text(child(root, "TipoFactura")));
        check(t.cuotaTotal == text(child(root, "CuotaTotal")));
        check(t.importeTotal == text(child(root, "ImporteTotal")));
    }
    check(read.first == (text(child(chain, "PrimerRegistro")).trimmed() == u"S"));
    check(read.previousNif == text(child(previous, "IDEmisorFactura")));
    check(read.previousNumSerie == text(child(previous, "NumSerieFactura")));
    check(read.previousDate == text(child(previous, "FechaExpedicionFactura")));
    check(t.previousHuella == text(child(previous, "Huella")));
    check(t.generatedAt == text(child(root, "FechaHoraHusoGenRegistro")));
    check(read.huella == text(child(root, "Huella")));
    return 0;
}
