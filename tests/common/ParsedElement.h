#pragma once

// A written document read back as a tree of elements, for tests and fuzz
// targets that look at what the writer put where. Anything missing or not a
// number stops the program with a message (a fuzz target sees a crash).

#include "common/Decimal.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>

// A parsed element: its qualified name, its text and its child elements.
struct ParsedElement {
    QString name;
    QString text;
    QList<ParsedElement> children;

    // The first child of that name, or null.
    const ParsedElement* child(const QString& n) const {
        for (const ParsedElement& c : children)
            if (c.name == n)
                return &c;
        return nullptr;
    }
    // Every child of that name, in document order.
    QList<const ParsedElement*> all(const QString& n) const {
        QList<const ParsedElement*> found;
        for (const ParsedElement& c : children)
            if (c.name == n)
                found << &c;
        return found;
    }
    bool has(const QString& n) const { return child(n) != nullptr; }

    // The element at a path of child names ("Invoices/Invoice").
    const ParsedElement& at(const QString& path) const {
        const ParsedElement* node = this;
        for (const QString& part : path.split(u'/')) {
            const ParsedElement* next = node->child(part);
            if (!next)
                qFatal("no element %s under %s (path %s)", qPrintable(part), qPrintable(node->name),
                       qPrintable(path));
            node = next;
        }
        return *node;
    }
    // The text at that path as an exact decimal.
    Decimal number(const QString& path) const {
        const QString t = at(path).text;
        const QByteArray ascii = t.toLatin1();
        Decimal d;
        if (Decimal::parse(ascii.constData(), ascii.size(), d) != Decimal::ParseStatus::Ok)
            qFatal("not a number at %s: %s", qPrintable(path), qPrintable(t));
        return d;
    }

    QStringList childNames() const {
        QStringList names;
        for (const ParsedElement& c : children)
            names << c.name;
        return names;
    }
    // "Name=text" for a text element, "Name{child;child}" for the others.
    QString compact() const {
        if (children.isEmpty())
            return name + u'=' + text;
        QStringList parts;
        for (const ParsedElement& c : children)
            parts << c.compact();
        return name + u'{' + parts.join(u';') + u'}';
    }

    // The root element of a document. With namespaceProcessing an undeclared
    // prefix is an error too; names stay as written either way.
    static ParsedElement parse(const QByteArray& bytes, bool namespaceProcessing = true) {
        QXmlStreamReader xml(bytes);
        xml.setNamespaceProcessing(namespaceProcessing);
        QList<ParsedElement> stack;
        ParsedElement root;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                stack.append(ParsedElement{xml.qualifiedName().toString(), {}, {}});
            } else if (xml.isCharacters() && !xml.isWhitespace() && !stack.isEmpty()) {
                stack.last().text += xml.text();
            } else if (xml.isEndElement()) {
                ParsedElement done = stack.takeLast();
                if (stack.isEmpty())
                    root = done;
                else
                    stack.last().children.append(done);
            }
        }
        if (xml.hasError())
            qFatal("document does not parse: %s", qPrintable(xml.errorString()));
        return root;
    }
};
