#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A small read-only tree of an XML text, for the service's messages: element
// names with their namespace, text, children. No DTD is accepted and no entity
// is expanded; depth and size are bounded, so a hostile answer costs little.
struct XmlNode {
    QString ns;
    QString name;
    QString text; // the element's own text, trimmed
    QList<XmlNode> children;

    // The first child with that namespace and name, or nullptr.
    const XmlNode* child(QLatin1String childNs, QLatin1String childName) const;
    // Text of that child, trimmed; empty when there is none.
    QString childText(QLatin1String childNs, QLatin1String childName) const;
    bool is(QLatin1String nodeNs, QLatin1String nodeName) const {
        return ns == nodeNs && name == nodeName;
    }

    static constexpr int MaxDepth = 32;

    // The document element. Throws AppError with the reason when the bytes
    // are not well-formed XML, hold a DTD, or nest deeper than MaxDepth.
    static XmlNode parse(const QByteArray& bytes);
};
