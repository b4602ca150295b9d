#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/tree.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <unordered_set>
#include <vector>

// The one reader of the XML documents the program is given: the check, signing,
// verifying and the readable copy all parse through it, under the same rules.
// Nothing is fetched from the network or the disk, a DOCTYPE is refused as soon
// as it starts (so no entity is ever declared, let alone expanded into
// gigabytes), and elements nest at most MaxDepth levels, so that no later walk
// of the tree (the canonical form of a signature among them) can run out of
// stack or time. Long texts (an attached file) are allowed.
class XmlDocument {
public:
    static constexpr int MaxDepth = 256;

    // Parses bytes. When they cannot be read, the document is empty and
    // problem() says why in Spanish (a syntax error in Spanish words, libxml2's
    // own only following as a detail) and problemLine() where, 0 when unknown.
    explicit XmlDocument(const QByteArray& bytes);
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    bool isRead() const { return m_doc != nullptr; }
    const QString& problem() const { return m_problem; }
    int problemLine() const { return m_problemLine; }

    xmlDoc* doc() const { return m_doc; }
    xmlNode* root() const;

    // Noted as the document was parsed, in document order: the elements of the
    // XML-signature namespace named Signature, and the elements with an
    // attribute Id (no namespace). Later changes to the tree are not followed.
    const std::vector<xmlNode*>& signatures() const { return m_signatures; }
    const std::vector<xmlNode*>& elementsWithId() const { return m_withId; }

    // The Spanish sentences for the two refusals.
    static QString tooDeepMessage();
    static QString doctypeMessage();

private:
    xmlDoc* m_doc = nullptr;
    QString m_problem;
    int m_problemLine = 0;
    std::vector<xmlNode*> m_signatures;
    std::vector<xmlNode*> m_withId;
};

// Walks over a parsed document. Facturae's own elements carry no namespace
// below the root, and a document may use any prefix for it: the checks find
// them by local names; the signature's parts are found by namespace and name.
namespace XmlNodes {

inline constexpr char SignatureNamespace[] = "http://www.w3.org/2000/09/xmldsig#";

// Inline: the checks ask this millions of times for a long invoice.
inline bool isNamed(const xmlNode* node, const char* localName) {
    return node && node->type == XML_ELEMENT_NODE && node->name[0] == localName[0] &&
           std::strcmp(reinterpret_cast<const char*>(node->name), localName) == 0;
}
// An element with that namespace (null: none) and local name.
bool isElement(const xmlNode* node, const char* ns, const char* localName);
// A ds:Signature element.
inline bool isSignature(const xmlNode* node) {
    return isElement(node, SignatureNamespace, "Signature");
}
// The first element child with that local name, or null.
inline const xmlNode* child(const xmlNode* node, const char* localName) {
    if (!node)
        return nullptr;
    for (const xmlNode* n = node->children; n; n = n->next) {
        if (isNamed(n, localName))
            return n;
    }
    return nullptr;
}
// Several children found in one walk over them (a long invoice's lines are
// read many times over otherwise): found[i] is the first element child named
// names[i], or null.
template <std::size_t N>
std::array<const xmlNode*, N> children(const xmlNode* node, const char* const (&names)[N]) {
    std::array<const xmlNode*, N> found{};
    for (const xmlNode* n = node ? node->children : nullptr; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        for (std::size_t i = 0; i < N; ++i) {
            if (!found[i] && isNamed(n, names[i])) {
                found[i] = n;
                break;
            }
        }
    }
    return found;
}
// child(child(...)) along a path of local names; null when a step is missing.
const xmlNode* descend(const xmlNode* node, std::initializer_list<const char*> names);
std::vector<const xmlNode*> children(const xmlNode* node, const char* localName);
// The first element with that local name below node, depth first, or null.
const xmlNode* descendant(const xmlNode* node, const char* localName);

// The same by namespace and local name, for the parts of a signature.
xmlNode* child(xmlNode* node, const char* ns, const char* localName);
std::vector<xmlNode*> children(xmlNode* node, const char* ns, const char* localName);

// The text inside an element (null gives a null QString).
QString text(const xmlNode* node);
// An attribute without namespace; empty when missing.
QString attribute(const xmlNode* node, const char* name);
bool hasAttribute(const xmlNode* node, const char* name);

// The parents whose children have their positions among same-named siblings
// noted (in each child's application field): finding the position of the
// 9,000th line once per finding would walk the whole list each time.
using PositionCache = std::unordered_set<const xmlNode*>;

// "/Facturae/Invoices/Invoice[1]/InvoiceTotals/InvoiceTotal": local names,
// with the position among same-named siblings for elements that may repeat.
QString path(const xmlNode* node, PositionCache& positions);
// "/fe:Facturae/ds:Signature/ds:SignedInfo/ds:Reference[2]": the names as
// written, with the position where siblings share the name.
QString writtenPath(const xmlNode* node);

} // namespace XmlNodes
