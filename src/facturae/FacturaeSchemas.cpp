#include "facturae/FacturaeSchemas.h"

#include "facturae/SchemaMessage.h"
#include "facturae/XmlDocument.h"

#include <QFile>
#include <QMutex>

#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>

#include <cstring>
#include <map>

// Outside any namespace, as the resource macro requires.
static void initSchemaResources() {
    Q_INIT_RESOURCE(schemas);
}

namespace FacturaeSchemas {

namespace {

const char SignatureSchemaName[] = "xmldsig-core-schema.xsd";
// Past this many violations a document is plainly not what it should be;
// the rest are counted, not listed.
constexpr int MaxListed = 100;

struct Version {
    const char* version;
    const char* namespaceUri;
    const char* resource;
};

const Version Versions[] = {
    {"3.2", "http://www.facturae.es/Facturae/2009/v3.2/Facturae", ":/facturae/Facturaev3_2.xsd"},
    {"3.2.1", "http://www.facturae.es/Facturae/2014/v3.2.1/Facturae",
     ":/facturae/Facturaev3_2_1.xsd"},
    {"3.2.2", "http://www.facturae.gob.es/formato/Versiones/Facturaev3_2_2.xml",
     ":/facturae/Facturaev3_2_2.xsd"},
};

QByteArray resource(const char* name) {
    initSchemaResources();
    QFile file(QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing built-in resource %s", name);
    return file.readAll();
}

const QByteArray& signatureSchema() {
    static const QByteArray bytes = resource(":/facturae/xmldsig-core-schema.xsd");
    return bytes;
}

xmlParserInputPtr resourceLoader(const char* url, const char* /*id*/, xmlParserCtxtPtr context) {
    const size_t length = url ? std::strlen(url) : 0;
    const size_t nameLength = sizeof SignatureSchemaName - 1;
    if (length >= nameLength && std::strcmp(url + length - nameLength, SignatureSchemaName) == 0) {
        const QByteArray& bytes = signatureSchema();
        xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(
            bytes.constData(), int(bytes.size()), XML_CHAR_ENCODING_NONE);
        if (!buffer)
            return nullptr;
        xmlParserInputPtr input = xmlNewIOInputStream(context, buffer, XML_CHAR_ENCODING_NONE);
        if (!input) {
            xmlFreeParserInputBuffer(buffer);
            return nullptr;
        }
        input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(url)));
        return input;
    }
    // Anything else (a DTD, an entity, a web address) is refused: a checked
    // document must not make the program read files or go online.
    return nullptr;
}

void silentGeneric(void*, const char*, ...) {}
void silentStructured(void*, const xmlError*) {}

struct Collector {
    CheckFindings findings;
    XmlNodes::PositionCache positions;
    int unlisted = 0;
};

bool insideSignature(const xmlNode* node) {
    for (; node && node->type == XML_ELEMENT_NODE; node = node->parent) {
        if (XmlNodes::isSignature(node))
            return true;
    }
    return false;
}

void collect(void* data, const xmlError* error) {
    auto* collector = static_cast<Collector*>(data);
    const auto* node = static_cast<const xmlNode*>(error->node);
    if (node && node->type != XML_ELEMENT_NODE)
        node = node->parent;
    if (node && insideSignature(node))
        return;
    if (collector->findings.size() >= MaxListed) {
        ++collector->unlisted;
        return;
    }
    CheckFinding finding;
    finding.code = QStringLiteral("F-XSD");
    finding.severity = error->level == XML_ERR_WARNING ? CheckFinding::Severity::Warning
                                                       : CheckFinding::Severity::Error;
    finding.path = node ? XmlNodes::path(node, collector->positions) : QStringLiteral("/");
    finding.line = node ? int(xmlGetLineNo(node)) : error->line;
    finding.message = SchemaMessage::spanish(QString::fromUtf8(error->message).trimmed());
    collector->findings.append(std::move(finding));
}

xmlSchemaPtr compiled(const Version& version) {
    static QMutex mutex;
    static std::map<QString, xmlSchemaPtr> cache;
    const QMutexLocker lock(&mutex);
    const QString key = QString::fromLatin1(version.version);
    const auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    installResourceLoader();
    const QByteArray bytes = resource(version.resource);
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewMemParserCtxt(bytes.constData(), int(bytes.size()));
    xmlSchemaSetParserStructuredErrors(
        parser, reinterpret_cast<xmlStructuredErrorFunc>(&silentStructured), nullptr);
    xmlSchemaPtr schema = xmlSchemaParse(parser);
    xmlSchemaFreeParserCtxt(parser);
    if (!schema)
        qFatal("the built-in Facturae %s schema does not compile", version.version);
    cache.emplace(key, schema);
    return schema;
}

} // namespace

QString versionOfNamespace(const QString& namespaceUri) {
    for (const Version& v : Versions) {
        if (namespaceUri == QLatin1String(v.namespaceUri))
            return QString::fromLatin1(v.version);
    }
    return {};
}

void installResourceLoader() {
    xmlSetExternalEntityLoader(&resourceLoader);
    xmlSetGenericErrorFunc(nullptr, &silentGeneric);
    xmlSetStructuredErrorFunc(nullptr, reinterpret_cast<xmlStructuredErrorFunc>(&silentStructured));
}

CheckFindings validate(xmlDoc* document, const QString& version) {
    const Version* chosen = nullptr;
    for (const Version& v : Versions) {
        if (version == QLatin1String(v.version))
            chosen = &v;
    }
    if (!chosen || !document)
        return {};
    xmlSchemaValidCtxtPtr validator = xmlSchemaNewValidCtxt(compiled(*chosen));
    Collector collector;
    xmlSchemaSetValidStructuredErrors(validator, reinterpret_cast<xmlStructuredErrorFunc>(&collect),
                                      &collector);
    xmlSchemaValidateDoc(validator, document);
    xmlSchemaFreeValidCtxt(validator);
    if (collector.unlisted > 0) {
        CheckFinding more;
        more.code = QStringLiteral("F-XSD");
        more.path = QStringLiteral("/");
        more.message = QStringLiteral("Y %1 incumplimientos más del esquema Facturae.")
                           .arg(collector.unlisted);
        collector.findings.append(more);
    }
    return collector.findings;
}

} // namespace FacturaeSchemas
