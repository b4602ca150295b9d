#pragma once

// An element's inclusive canonical form (what an enveloped signature over its
// own document covers), alone or cut out of a larger document.

#include <QByteArray>

#include <libxml/c14n.h>
#include <libxml/parser.h>

#include <memory>

namespace CanonicalForm {

using DocPtr = std::unique_ptr<xmlDoc, void (*)(xmlDoc*)>;

inline DocPtr parse(const QByteArray& xml) {
    return DocPtr(
        xmlReadMemory(xml.constData(), int(xml.size()), nullptr, nullptr, XML_PARSE_NONET),
        xmlFreeDoc);
}

inline QByteArray canonical(xmlDoc* doc, xmlC14NIsVisibleCallback visible, void* data) {
    xmlOutputBufferPtr buffer = xmlAllocOutputBuffer(nullptr);
    QByteArray bytes;
    if (xmlC14NExecute(doc, visible, data, XML_C14N_1_0, nullptr, 0, buffer) >= 0)
        bytes = QByteArray(reinterpret_cast<const char*>(xmlOutputBufferGetContent(buffer)),
                           qsizetype(xmlOutputBufferGetSize(buffer)));
    xmlOutputBufferClose(buffer);
    return bytes;
}

// Inside the subtree of the element given as data (namespace nodes are seen
// with their element as parent).
inline int insideSubtree(void* data, xmlNodePtr node, xmlNodePtr parent) {
    const auto* top = static_cast<xmlNode*>(data);
    xmlNode* n = node && node->type == XML_NAMESPACE_DECL ? parent : node;
    for (; n; n = n->parent) {
        if (n == top)
            return 1;
    }
    return 0;
}

// The document's whole canonical form, and that of one of its elements.
inline QByteArray of(xmlDoc* doc) {
    return canonical(doc, nullptr, nullptr);
}
inline QByteArray of(xmlDoc* doc, xmlNode* element) {
    return canonical(doc, &insideSubtree, element);
}

} // namespace CanonicalForm
