#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// A read-only element tree built from XML bytes, keyed by local names only,
// so a document reads the same whatever prefixes or namespaces it uses.
class XmlElement {
public:
    // Parses bytes; on a malformed document returns false and sets error to
    // a Spanish description with the line number.
    static bool parse(const QByteArray& bytes, XmlElement& root, QString& error);

    const QString& name() const { return m_name; }
    // The element's own text, blanks around it removed.
    QString text() const { return m_text.trimmed(); }
    const std::vector<XmlElement>& children() const { return m_children; }

    // The first child with that local name, or nullptr.
    const XmlElement* child(QStringView name) const;
    // Follows a path of local names separated by '/'; nullptr when missing.
    const XmlElement* find(QStringView path) const;
    // The text at path, empty when missing.
    QString textAt(QStringView path) const;
    // Every child with that local name, in document order.
    std::vector<const XmlElement*> all(QStringView name) const;
    // The first element with that local name in this subtree, depth first.
    const XmlElement* descendant(QStringView name) const;

private:
    QString m_name;
    QString m_text;
    std::vector<XmlElement> m_children;
};
