#pragma once

#include <QByteArray>

#include <string_view>

// Stored records and events are read without building a tree: the chain
// checks read every one of a book, and a tree for each would take seconds for
// a large one. The scanner accepts only the plain XML they are written in
// (elements, attributes, text, character and the five predefined entity
// references, an optional declaration) and refuses the rest (comments,
// CDATA, processing instructions, DOCTYPE): within that subset every
// well-formed document reads exactly as an XML parser reads it, and anything
// else is not one Orvane stored.
namespace StoredXmlScanner {

// What the reader of one kind of document makes of its elements. An element
// gets a slot from its parent's; slot 0 is an element nobody reads, and the
// slots from firstText on are fields whose text is read (no element may be
// inside them).
class Fields {
public:
    explicit Fields(int firstText) : m_firstText(firstText) {}
    virtual ~Fields() = default;
    // The root: its local name and the namespace its own prefix is declared
    // with on the root itself (empty when it is not). Throws AppError to
    // refuse the document.
    virtual void root(std::string_view local, std::string_view ns) = 0;
    // The slot of an element below the root (depth 1: a child of the root).
    // May throw AppError (an element given twice).
    virtual int open(int parent, int depth, std::string_view local) = 0;
    // An element of a slot other than 0 closed; text: what a text slot holds.
    virtual void close(int slot, const QByteArray& text) = 0;

    bool isText(int slot) const { return slot >= m_firstText; }

private:
    int m_firstText;
};

// Throws AppError, a Spanish phrase without a subject ("está cortado"), when
// the bytes are not such a document.
void scan(const QByteArray& bytes, Fields& fields);

} // namespace StoredXmlScanner
