#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

// A parsed XML document and the few tree walks signing and checking share.
class XmlTree {
public:
    // Parses as XmlParser does (no network, no DOCTYPE, limited nesting).
    // Throws AppError for a document that is not well-formed, not in an
    // ASCII-compatible encoding, nested too deep or that carries a DOCTYPE (a
    // Facturae document has none, and entities could pull in outside files
    // or grow without bound).
    explicit XmlTree(const QByteArray& bytes);
    ~XmlTree();
    XmlTree(const XmlTree&) = delete;
    XmlTree& operator=(const XmlTree&) = delete;

    xmlDoc* doc() const { return m_doc; }
    xmlNode* root() const;

    // Every element with that namespace and local name, in document order.
    QList<xmlNode*> elements(const char* ns, const char* name) const;

    // The element after 'node' in document order within the root's tree, or
    // nullptr at the end. Walks without recursion: a hostile document may nest
    // deeper than the call stack.
    xmlNode* nextElement(xmlNode* node) const;

    static xmlNode* child(xmlNode* parent, const char* ns, const char* name);
    static QList<xmlNode*> children(xmlNode* parent, const char* ns, const char* name);
    static bool is(xmlNode* node, const char* ns, const char* name);
    static QString text(xmlNode* node); // the node's text, trimmed; empty for nullptr
    static QString attribute(xmlNode* node, const char* name);
    static bool hasAttribute(xmlNode* node, const char* name);
    // "/fe:Facturae/ds:Signature/ds:SignedInfo/ds:Reference[2]"
    static QString path(xmlNode* node);

    // Where the root's end tag starts in bytes, so that text can be put just
    // before it. Throws AppError when the root is written as an empty tag.
    qsizetype rootEndTagOffset(const QByteArray& bytes) const;

private:
    xmlDoc* m_doc = nullptr;
};
