#pragma once

#include <QString>

#include <libxml/tree.h>

#include <array>
#include <cstring>
#include <unordered_set>
#include <vector>

// Reading a parsed document by local names: Facturae's own elements carry no
// namespace below the root, and a document may use any prefix for it.
namespace XmlNodes {

// Inline: the checks ask this millions of times for a long invoice.
inline bool isNamed(const xmlNode* node, const char* localName) {
    return node && node->type == XML_ELEMENT_NODE && node->name[0] == localName[0] &&
           std::strcmp(reinterpret_cast<const char*>(node->name), localName) == 0;
}
// A ds:Signature element (of the XML-signature namespace).
bool isSignature(const xmlNode* node);
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
// The text inside an element (null gives a null QString).
QString text(const xmlNode* node);
// The parents whose children have their positions among same-named siblings
// noted (in each child's application field): finding the position of the
// 9,000th line once per finding would walk the whole list each time.
using PositionCache = std::unordered_set<const xmlNode*>;

// "/Facturae/Invoices/Invoice[1]/InvoiceTotals/InvoiceTotal": local names,
// with the position among same-named siblings for elements that may repeat.
QString path(const xmlNode* node, PositionCache& positions);

} // namespace XmlNodes
