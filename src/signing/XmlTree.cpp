#include "signing/XmlTree.h"

#include "common/AppError.h"
#include "facturae/XmlParser.h"
#include "signing/XmlSecurity.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace {

const char* chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}
const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

bool sameNs(xmlNode* node, const char* ns) {
    if (!ns)
        return node->ns == nullptr;
    return node->ns && xmlStrEqual(node->ns->href, xml(ns));
}

qsizetype skipSpace(const QByteArray& bytes, qsizetype at) {
    while (at < bytes.size() &&
           (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    return at;
}

// True when only blanks, comments and processing instructions follow 'at'.
bool onlyMiscFrom(const QByteArray& bytes, qsizetype at) {
    for (at = skipSpace(bytes, at); at < bytes.size(); at = skipSpace(bytes, at)) {
        if (bytes.mid(at, 4) == "<!--") {
            const qsizetype end = bytes.indexOf("-->", at + 4);
            if (end < 0)
                return false;
            at = end + 3;
        } else if (bytes.mid(at, 2) == "<?") {
            const qsizetype end = bytes.indexOf("?>", at + 2);
            if (end < 0)
                return false;
            at = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

XmlTree::XmlTree(const QByteArray& bytes) {
    XmlSecurity::ensureStarted();
    // The signature is written into the original bytes as ASCII, which every
    // ASCII-compatible encoding reads the same way; UTF-16 and UTF-32 are not.
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE") ||
        (bytes.size() > 1 && (bytes[0] == '\0' || bytes[1] == '\0')))
        throw AppError(
            QStringLiteral("El documento está en UTF-16 o UTF-32; solo se admiten UTF-8 y "
                           "codificaciones compatibles con ASCII"));
    // Long texts (an attached file) are allowed; nesting stays limited.
    QString problem;
    int line = 0;
    m_doc = XmlParser::parse(bytes, XML_PARSE_HUGE | XML_PARSE_COMPACT, problem, line);
    if (!m_doc)
        throw AppError(problem);
}

XmlTree::~XmlTree() {
    if (m_doc)
        xmlFreeDoc(m_doc);
}

xmlNode* XmlTree::root() const {
    return xmlDocGetRootElement(m_doc);
}

QList<xmlNode*> XmlTree::elements(const char* ns, const char* name) const {
    QList<xmlNode*> found;
    for (xmlNode* node = root(); node; node = nextElement(node)) {
        if (is(node, ns, name))
            found << node;
    }
    return found;
}

xmlNode* XmlTree::nextElement(xmlNode* node) const {
    xmlNode* top = root();
    xmlNode* next = node->children;
    while (true) {
        for (; next; next = next->next) {
            if (next->type == XML_ELEMENT_NODE)
                return next;
        }
        if (node == top)
            return nullptr;
        next = node->next;
        node = node->parent;
    }
}

bool XmlTree::is(xmlNode* node, const char* ns, const char* name) {
    return node && node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, xml(name)) &&
           sameNs(node, ns);
}

xmlNode* XmlTree::child(xmlNode* parent, const char* ns, const char* name) {
    for (xmlNode* c = parent ? parent->children : nullptr; c; c = c->next) {
        if (is(c, ns, name))
            return c;
    }
    return nullptr;
}

QList<xmlNode*> XmlTree::children(xmlNode* parent, const char* ns, const char* name) {
    QList<xmlNode*> found;
    for (xmlNode* c = parent ? parent->children : nullptr; c; c = c->next) {
        if (is(c, ns, name))
            found << c;
    }
    return found;
}

QString XmlTree::text(xmlNode* node) {
    if (!node)
        return {};
    xmlChar* content = xmlNodeGetContent(node);
    const QString value = QString::fromUtf8(chars(content)).trimmed();
    xmlFree(content);
    return value;
}

QString XmlTree::attribute(xmlNode* node, const char* name) {
    if (!node)
        return {};
    xmlChar* value = xmlGetNoNsProp(node, xml(name));
    const QString text = QString::fromUtf8(chars(value));
    xmlFree(value);
    return text;
}

bool XmlTree::hasAttribute(xmlNode* node, const char* name) {
    return node && xmlHasNsProp(node, xml(name), nullptr) != nullptr;
}

QString XmlTree::path(xmlNode* node) {
    QStringList steps;
    for (; node && node->type == XML_ELEMENT_NODE; node = node->parent) {
        QString step = QString::fromUtf8(chars(node->name));
        if (node->ns && node->ns->prefix)
            step = QString::fromUtf8(chars(node->ns->prefix)) + u':' + step;
        int index = 0;
        int count = 0;
        for (xmlNode* s = node->parent ? node->parent->children : nullptr; s; s = s->next) {
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

qsizetype XmlTree::rootEndTagOffset(const QByteArray& bytes) const {
    xmlNode* top = root();
    QByteArray name = QByteArray(chars(top->name));
    if (top->ns && top->ns->prefix)
        name = QByteArray(chars(top->ns->prefix)) + ':' + name;
    const QByteArray tag = "</" + name;
    // The last end tag of that name that only blanks, comments and processing
    // instructions follow: a comment after the root may quote the tag.
    for (qsizetype at = bytes.lastIndexOf(tag); at >= 0;
         at = at > 0 ? bytes.lastIndexOf(tag, at - 1) : -1) {
        const qsizetype close = skipSpace(bytes, at + tag.size());
        if (close < bytes.size() && bytes[close] == '>' && onlyMiscFrom(bytes, close + 1))
            return at;
    }
    throw AppError(QStringLiteral("El elemento raíz del documento no tiene etiqueta de cierre"));
}
