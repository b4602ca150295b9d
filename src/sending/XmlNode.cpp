#include "sending/XmlNode.h"

#include "common/AppError.h"

#include <QXmlStreamReader>

namespace {

void readElement(QXmlStreamReader& reader, XmlNode& node, int depth) {
    if (depth > XmlNode::MaxDepth)
        throw AppError(QStringLiteral("anidamiento de más de %1 niveles").arg(XmlNode::MaxDepth));
    node.ns = reader.namespaceUri().toString();
    node.name = reader.name().toString();
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            node.children.append(XmlNode());
            readElement(reader, node.children.last(), depth + 1);
            break;
        case QXmlStreamReader::Characters:
            node.text += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            node.text = node.text.trimmed();
            return;
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            throw AppError(QStringLiteral("declaraciones de tipo de documento no admitidas"));
        default:
            break;
        }
    }
}

} // namespace

const XmlNode* XmlNode::child(QLatin1String childNs, QLatin1String childName) const {
    for (const XmlNode& node : children) {
        if (node.is(childNs, childName))
            return &node;
    }
    return nullptr;
}

QString XmlNode::childText(QLatin1String childNs, QLatin1String childName) const {
    const XmlNode* node = child(childNs, childName);
    return node ? node->text : QString();
}

XmlNode XmlNode::parse(const QByteArray& bytes) {
    QXmlStreamReader reader(bytes);
    XmlNode root;
    bool seenRoot = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            throw AppError(QStringLiteral("declaraciones de tipo de documento no admitidas"));
        if (token == QXmlStreamReader::StartElement && !seenRoot) {
            readElement(reader, root, 1);
            seenRoot = true;
        }
    }
    if (reader.hasError())
        throw AppError(QStringLiteral("XML mal formado en la línea %1: %2")
                           .arg(reader.lineNumber())
                           .arg(reader.errorString()));
    if (!seenRoot)
        throw AppError(QStringLiteral("no hay ningún elemento"));
    return root;
}
