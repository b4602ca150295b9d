#include "facturae/XmlParser.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstring>

namespace XmlParser {

namespace {

enum class Refusal { None, TooDeep, Doctype };

// What the wrapped SAX callbacks share, kept in the parser's _private.
struct Guard {
    startElementNsSAX2Func start = nullptr;
    endElementNsSAX2Func end = nullptr;
    int depth = 0;
    Refusal refusal = Refusal::None;
};

Guard& guardOf(void* context) {
    return *static_cast<Guard*>(static_cast<xmlParserCtxt*>(context)->_private);
}

void refuse(void* context, Refusal why) {
    Guard& guard = guardOf(context);
    if (guard.refusal == Refusal::None)
        guard.refusal = why;
    xmlStopParser(static_cast<xmlParserCtxt*>(context));
}

void startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                  const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                  int attributeCount, int defaultedCount, const xmlChar** attributes) {
    Guard& guard = guardOf(context);
    if (++guard.depth > MaxDepth) {
        refuse(context, Refusal::TooDeep);
        return;
    }
    guard.start(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                defaultedCount, attributes);
}

void endElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                const xmlChar* uri) {
    Guard& guard = guardOf(context);
    --guard.depth;
    guard.end(context, localName, prefix, uri);
}

void internalSubset(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    refuse(context, Refusal::Doctype);
}

// Feeds the parser from the caller's bytes in pieces, as it reads a file,
// instead of letting it copy the whole document first.
struct Reader {
    const char* data;
    qsizetype left;
};

int readPiece(void* context, char* buffer, int length) {
    auto* reader = static_cast<Reader*>(context);
    const int n = int(qMin<qsizetype>(length, reader->left));
    std::memcpy(buffer, reader->data, size_t(n));
    reader->data += n;
    reader->left -= n;
    return n;
}

int closeReader(void*) {
    return 0;
}

// The usual syntax errors in words a person reads.
QString syntaxReason(int code) {
    switch (code) {
    case XML_ERR_OK:
        return QStringLiteral("está vacío o cortado");
    case XML_ERR_DOCUMENT_EMPTY:
    case XML_ERR_DOCUMENT_START:
        return QStringLiteral("no contiene ningún elemento XML");
    case XML_ERR_DOCUMENT_END:
    case XML_ERR_EXTRA_CONTENT:
        return QStringLiteral("hay contenido después del elemento raíz");
    case XML_ERR_TAG_NOT_FINISHED:
        return QStringLiteral("termina antes de cerrar sus elementos (está cortado)");
    case XML_ERR_TAG_NAME_MISMATCH:
        return QStringLiteral("una etiqueta de cierre no corresponde a la del elemento que "
                              "cierra");
    case XML_ERR_UNDECLARED_ENTITY:
    case XML_WAR_UNDECLARED_ENTITY:
    case XML_ERR_ENTITYREF_SEMICOL_MISSING:
        return QStringLiteral("usa una referencia «&…;» que XML no conoce");
    case XML_ERR_INVALID_CHAR:
    case XML_ERR_INVALID_CHARREF:
        return QStringLiteral("contiene un carácter que XML no admite");
    case XML_ERR_INVALID_ENCODING:
    case XML_ERR_UNKNOWN_ENCODING:
    case XML_ERR_UNSUPPORTED_ENCODING:
        return QStringLiteral("su codificación de caracteres no es válida o no se conoce");
    case XML_ERR_LT_IN_ATTRIBUTE:
    case XML_ERR_ATTRIBUTE_NOT_STARTED:
    case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
    case XML_ERR_STRING_NOT_CLOSED:
        return QStringLiteral("un atributo está mal escrito");
    case XML_ERR_ATTRIBUTE_REDEFINED:
        return QStringLiteral("un elemento repite un atributo");
    case XML_ERR_NAME_REQUIRED:
    case XML_ERR_GT_REQUIRED:
    case XML_ERR_LT_REQUIRED:
        return QStringLiteral("una etiqueta está mal escrita");
    default:
        return QStringLiteral("tiene un error de sintaxis XML");
    }
}

} // namespace

QString tooDeepMessage() {
    return QStringLiteral("El documento tiene elementos anidados a más de %1 niveles; una "
                          "factura no llega ni de lejos a tanto")
        .arg(MaxDepth);
}

QString doctypeMessage() {
    return QStringLiteral("El documento lleva una declaración DOCTYPE, que una factura "
                          "electrónica no admite");
}

xmlDoc* parse(const QByteArray& bytes, int options, QString& problem, int& line) {
    Reader reader{bytes.constData(), bytes.size()};
    xmlParserCtxt* parser = xmlCreateIOParserCtxt(nullptr, nullptr, &readPiece, &closeReader,
                                                  &reader, XML_CHAR_ENCODING_NONE);
    if (!parser) {
        problem = QStringLiteral("No hay memoria suficiente para leer el documento");
        line = 0;
        return nullptr;
    }
    // Entities are never substituted nor DTDs loaded, whatever the caller asked.
    xmlCtxtUseOptions(parser,
                      (options | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING) &
                          ~(XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR |
                            XML_PARSE_DTDVALID | XML_PARSE_XINCLUDE));
    Guard guard;
    guard.start = parser->sax->startElementNs;
    guard.end = parser->sax->endElementNs;
    parser->sax->startElementNs = &startElement;
    parser->sax->endElementNs = &endElement;
    parser->sax->internalSubset = &internalSubset;
    parser->_private = &guard;
    xmlParseDocument(parser);

    xmlDoc* document = parser->myDoc;
    parser->myDoc = nullptr;
    const bool wellFormed = parser->wellFormed != 0 && guard.refusal == Refusal::None && document &&
                            xmlDocGetRootElement(document);
    if (!wellFormed) {
        const xmlError& error = parser->lastError;
        line = guard.refusal == Refusal::None ? error.line : 0;
        switch (guard.refusal) {
        case Refusal::TooDeep:
            problem = tooDeepMessage();
            break;
        case Refusal::Doctype:
            problem = doctypeMessage();
            break;
        case Refusal::None:
            problem = QStringLiteral("El documento no es XML bien formado");
            if (error.line > 0)
                problem += QStringLiteral(" (línea %1)").arg(error.line);
            problem += QStringLiteral(": ") + syntaxReason(error.code);
            if (error.message)
                problem += QStringLiteral(" (detalle de libxml2: %1)")
                               .arg(QString::fromUtf8(error.message).trimmed());
            break;
        }
        if (document)
            xmlFreeDoc(document);
        document = nullptr;
    }
    xmlFreeParserCtxt(parser);
    return document;
}

} // namespace XmlParser
