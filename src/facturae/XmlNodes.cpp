#include "facturae/XmlNodes.h"

#include "facturae/FacturaeWriter.h"

#include <cstring>
#include <string>
#include <unordered_map>

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

} // namespace

bool isSignature(const xmlNode* node) {
    return isNamed(node, "Signature") && node->ns &&
           std::strcmp(reinterpret_cast<const char*>(node->ns->href),
                       FacturaeWriter::SignatureNamespace) == 0;
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

QString text(const xmlNode* node) {
    if (!node)
        return {};
    // The common case, one text child, without the copy xmlNodeGetContent makes.
    const xmlNode* first = node->children;
    if (first && !first->next && first->type == XML_TEXT_NODE)
        return QString::fromUtf8(reinterpret_cast<const char*>(first->content));
    xmlChar* content = xmlNodeGetContent(node);
    const QString result = QString::fromUtf8(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return result.isNull() ? QStringLiteral("") : result;
}

QString path(const xmlNode* node, PositionCache& positions) {
    QString result;
    for (const xmlNode* n = node; n && n->type == XML_ELEMENT_NODE; n = n->parent) {
        QString step = QString::fromUtf8(reinterpret_cast<const char*>(n->name));
        if (n->parent && n->parent->type == XML_ELEMENT_NODE && repeats(n)) {
            if (positions.insert(n->parent).second) {
                std::unordered_map<std::string, int> counts;
                for (xmlNode* s = n->parent->children; s; s = s->next) {
                    if (s->type == XML_ELEMENT_NODE)
                        s->_private = reinterpret_cast<void*>(
                            quintptr(++counts[reinterpret_cast<const char*>(s->name)]));
                }
            }
            step += QStringLiteral("[%1]").arg(quintptr(n->_private));
        }
        result.prepend(QLatin1Char('/') + step);
    }
    return result;
}

} // namespace XmlNodes
