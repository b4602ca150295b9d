#include "pdf/XmlElement.h"

#include "facturae/XmlDocument.h"

#include <QXmlStreamReader>

namespace {
// Deeper nesting is no invoice, and the tree is walked recursively: the same
// limit as every other reader of documents.
constexpr std::size_t MaxDepth = XmlDocument::MaxDepth;
} // namespace

bool XmlElement::parse(const QByteArray& bytes, XmlElement& root, QString& error) {
    QXmlStreamReader reader(bytes);
    std::vector<XmlElement*> open;
    bool seenRoot = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            XmlElement* element = nullptr;
            if (open.empty()) {
                if (seenRoot)
                    break; // the reader reports a second root itself
                seenRoot = true;
                element = &root;
            } else {
                open.back()->m_children.emplace_back();
                element = &open.back()->m_children.back();
            }
            element->m_name = reader.name().toString();
            open.push_back(element);
            if (open.size() > MaxDepth) {
                error =
                    QStringLiteral("tiene elementos anidados a más de %1 niveles").arg(MaxDepth);
                return false;
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.empty())
                open.pop_back();
            break;
        case QXmlStreamReader::DTD:
            // As for every reader: no DOCTYPE, so no entity to expand.
            error = QStringLiteral("lleva una declaración DOCTYPE, que una factura electrónica "
                                   "no admite");
            return false;
        case QXmlStreamReader::Characters:
            if (!open.empty() && !reader.isWhitespace())
                open.back()->m_text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError() || !seenRoot) {
        error = seenRoot ? QStringLiteral("el XML está mal formado en la línea %1 (detalle: %2)")
                               .arg(reader.lineNumber())
                               .arg(reader.errorString())
                         : QStringLiteral("no contiene ningún elemento XML");
        return false;
    }
    return true;
}

const XmlElement* XmlElement::child(QStringView name) const {
    for (const XmlElement& c : m_children) {
        if (c.m_name == name)
            return &c;
    }
    return nullptr;
}

const XmlElement* XmlElement::find(QStringView path) const {
    const XmlElement* at = this;
    for (const QStringView part : path.tokenize(u'/')) {
        at = at->child(part);
        if (!at)
            return nullptr;
    }
    return at;
}

QString XmlElement::textAt(QStringView path) const {
    const XmlElement* e = find(path);
    return e ? e->text() : QString();
}

std::vector<const XmlElement*> XmlElement::all(QStringView name) const {
    std::vector<const XmlElement*> found;
    for (const XmlElement& c : m_children) {
        if (c.m_name == name)
            found.push_back(&c);
    }
    return found;
}

const XmlElement* XmlElement::descendant(QStringView name) const {
    for (const XmlElement& c : m_children) {
        if (c.m_name == name)
            return &c;
        if (const XmlElement* d = c.descendant(name))
            return d;
    }
    return nullptr;
}
