#include "facturae/XmlDocument.h"

#include <QStringList>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <string>
#include <unordered_map>

namespace {

enum class Refusal { None, TooDeep, Doctype };

// What the wrapped SAX callbacks share, kept in the parser's _private.
struct Guard {
    startElementNsSAX2Func start = nullptr;
    endElementNsSAX2Func end = nullptr;
    int depth = 0;
    Refusal refusal = Refusal::None;
    std::vector<xmlNode*>* signatures = nullptr;
    std::vector<xmlNode*>* withId = nullptr;
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

bool equal(const xmlChar* a, const char* b) {
    return a && std::strcmp(reinterpret_cast<const char*>(a), b) == 0;
}

void startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                  const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                  int attributeCount, int defaultedCount, const xmlChar** attributes) {
    Guard& guard = guardOf(context);
    if (++guard.depth > XmlDocument::MaxDepth) {
        refuse(context, Refusal::TooDeep);
        return;
    }
    auto* parser = static_cast<xmlParserCtxt*>(context);
    xmlNode* parent = parser->node;
    guard.start(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                defaultedCount, attributes);
    xmlNode* element = parser->node;
    if (!element || element == parent)
        return; // not built (out of memory): the parser reports it
    // Noted now, so that signing and verifying never walk the whole tree to
    // find a signature or the target of a reference.
    if (equal(localName, "Signature") && equal(uri, XmlNodes::SignatureNamespace))
        guard.signatures->push_back(element);
    // Five entries per attribute: local name, prefix, namespace, value, end.
    for (int i = 0; i < attributeCount; ++i) {
        if (!attributes[5 * i + 2] && equal(attributes[5 * i], "Id")) {
            guard.withId->push_back(element);
            break;
        }
    }
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

QString XmlDocument::tooDeepMessage() {
    return QStringLiteral("El documento tiene elementos anidados a más de %1 niveles; una "
                          "factura no llega ni de lejos a tanto")
        .arg(MaxDepth);
}

QString XmlDocument::doctypeMessage() {
    return QStringLiteral("El documento lleva una declaración DOCTYPE, que una factura "
                          "electrónica no admite");
}

XmlDocument::XmlDocument(const QByteArray& bytes) {
    Reader reader{bytes.constData(), bytes.size()};
    xmlParserCtxt* parser = xmlCreateIOParserCtxt(nullptr, nullptr, &readPiece, &closeReader,
                                                  &reader, XML_CHAR_ENCODING_NONE);
    if (!parser) {
        m_problem = QStringLiteral("No hay memoria suficiente para leer el documento");
        return;
    }
    // Short texts kept in their nodes (a long invoice has hundreds of
    // thousands), line numbers past 65,535 for the findings, long texts
    // allowed; entities never substituted, no DTD loaded.
    xmlCtxtUseOptions(parser, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                  XML_PARSE_COMPACT | XML_PARSE_BIG_LINES | XML_PARSE_HUGE);
    Guard guard;
    guard.start = parser->sax->startElementNs;
    guard.end = parser->sax->endElementNs;
    guard.signatures = &m_signatures;
    guard.withId = &m_withId;
    parser->sax->startElementNs = &startElement;
    parser->sax->endElementNs = &endElement;
    parser->sax->internalSubset = &internalSubset;
    parser->_private = &guard;
    xmlParseDocument(parser);

    m_doc = parser->myDoc;
    parser->myDoc = nullptr;
    const bool wellFormed = parser->wellFormed != 0 && guard.refusal == Refusal::None && m_doc &&
                            xmlDocGetRootElement(m_doc);
    if (!wellFormed) {
        const xmlError& error = parser->lastError;
        m_problemLine = guard.refusal == Refusal::None ? error.line : 0;
        switch (guard.refusal) {
        case Refusal::TooDeep:
            m_problem = tooDeepMessage();
            break;
        case Refusal::Doctype:
            m_problem = doctypeMessage();
            break;
        case Refusal::None:
            m_problem = QStringLiteral("El documento no es XML bien formado");
            if (error.line > 0)
                m_problem += QStringLiteral(" (línea %1)").arg(error.line);
            m_problem += QStringLiteral(": ") + syntaxReason(error.code);
            if (error.message)
                m_problem += QStringLiteral(" (detalle de libxml2: %1)")
                                 .arg(QString::fromUtf8(error.message).trimmed());
            break;
        }
        if (m_doc)
            xmlFreeDoc(m_doc);
        m_doc = nullptr;
        m_signatures.clear();
        m_withId.clear();
    }
    xmlFreeParserCtxt(parser);
}

XmlDocument::~XmlDocument() {
    if (m_doc)
        xmlFreeDoc(m_doc);
}

xmlNode* XmlDocument::root() const {
    return m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
}

namespace XmlNodes {

namespace {

// Elements that the schemas let repeat: their paths always name the position,
// so a path reads the same whether the document has one of them or many.
const char* const Repeating[] = {"Invoice",
                                 "InvoiceLine",
                                 "Tax",
                                 "AdministrativeCentre",
                                 "Installment",
                                 "Discount",
                                 "Charge",
                                 "Subsidy",
                                 "PaymentOnAccount",
                                 "AmountWithheld",
                                 "ReimbursableExpenses",
                                 "Attachment",
                                 "RelatedDocument",
                                 "Extension"};

bool repeats(const xmlNode* node) {
    for (const char* name : Repeating) {
        if (isNamed(node, name))
            return true;
    }
    for (const xmlNode* n = node->parent ? node->parent->children : nullptr; n; n = n->next) {
        if (n != node && n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, node->name))
            return true;
    }
    return false;
}

const char* chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

} // namespace

bool isElement(const xmlNode* node, const char* ns, const char* localName) {
    if (!isNamed(node, localName))
        return false;
    if (!ns)
        return node->ns == nullptr;
    return node->ns && equal(node->ns->href, ns);
}

const xmlNode* descend(const xmlNode* node, std::initializer_list<const char*> names) {
    for (const char* name : names)
        node = child(node, name);
    return node;
}

std::vector<const xmlNode*> children(const xmlNode* node, const char* localName) {
    std::vector<const xmlNode*> found;
    if (!node)
        return found;
    for (const xmlNode* n = node->children; n; n = n->next) {
        if (isNamed(n, localName))
            found.push_back(n);
    }
    return found;
}

// Without recursion, although the parse keeps the depth small anyway.
const xmlNode* descendant(const xmlNode* node, const char* localName) {
    if (!node)
        return nullptr;
    const xmlNode* top = node;
    const xmlNode* at = node->children;
    while (at) {
        if (isNamed(at, localName))
            return at;
        if (at->type == XML_ELEMENT_NODE && at->children) {
            at = at->children;
            continue;
        }
        while (at && !at->next && at != top)
            at = at->parent;
        at = at && at != top ? at->next : nullptr;
    }
    return nullptr;
}

xmlNode* child(xmlNode* node, const char* ns, const char* localName) {
    for (xmlNode* n = node ? node->children : nullptr; n; n = n->next) {
        if (isElement(n, ns, localName))
            return n;
    }
    return nullptr;
}

std::vector<xmlNode*> children(xmlNode* node, const char* ns, const char* localName) {
    std::vector<xmlNode*> found;
    for (xmlNode* n = node ? node->children : nullptr; n; n = n->next) {
        if (isElement(n, ns, localName))
            found.push_back(n);
    }
    return found;
}

QString text(const xmlNode* node) {
    if (!node)
        return {};
    // The common case, one text child, without the copy xmlNodeGetContent makes.
    const xmlNode* first = node->children;
    if (first && !first->next && first->type == XML_TEXT_NODE)
        return QString::fromUtf8(chars(first->content));
    xmlChar* content = xmlNodeGetContent(node);
    const QString result = QString::fromUtf8(chars(content));
    xmlFree(content);
    return result.isNull() ? QStringLiteral("") : result;
}

QString attribute(const xmlNode* node, const char* name) {
    if (!node)
        return {};
    xmlChar* value = xmlGetNoNsProp(node, xml(name));
    const QString result = QString::fromUtf8(chars(value));
    xmlFree(value);
    return result;
}

bool hasAttribute(const xmlNode* node, const char* name) {
    return node && xmlHasNsProp(node, xml(name), nullptr) != nullptr;
}

QString path(const xmlNode* node, PositionCache& positions) {
    QString result;
    for (const xmlNode* n = node; n && n->type == XML_ELEMENT_NODE; n = n->parent) {
        QString step = QString::fromUtf8(chars(n->name));
        if (n->parent && n->parent->type == XML_ELEMENT_NODE && repeats(n)) {
            if (positions.insert(n->parent).second) {
                std::unordered_map<std::string, int> counts;
                for (xmlNode* s = n->parent->children; s; s = s->next) {
                    if (s->type == XML_ELEMENT_NODE)
                        s->_private = reinterpret_cast<void*>(quintptr(++counts[chars(s->name)]));
                }
            }
            step += QStringLiteral("[%1]").arg(quintptr(n->_private));
        }
        result.prepend(QLatin1Char('/') + step);
    }
    return result;
}

QString writtenPath(const xmlNode* node) {
    QStringList steps;
    for (; node && node->type == XML_ELEMENT_NODE; node = node->parent) {
        QString step = QString::fromUtf8(chars(node->name));
        if (node->ns && node->ns->prefix)
            step = QString::fromUtf8(chars(node->ns->prefix)) + u':' + step;
        int index = 0;
        int count = 0;
        for (const xmlNode* s = node->parent ? node->parent->children : nullptr; s; s = s->next) {
            if (s->type == XML_ELEMENT_NODE && xmlStrEqual(s->name, node->name) &&
                s->ns == node->ns) {
                ++count;
                if (s == node)
                    index = count;
            }
        }
        if (count > 1)
            step += QStringLiteral("[%1]").arg(index);
        steps.prepend(step);
    }
    return u'/' + steps.join(u'/');
}

} // namespace XmlNodes
