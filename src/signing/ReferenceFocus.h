#pragma once

#include <QSet>
#include <QString>

typedef struct _xmlNode xmlNode;
typedef struct _xmlOutputBuffer xmlOutputBuffer;
typedef struct _xmlSecDSigCtx xmlSecDSigCtx;
typedef struct _xmlSecTransformCtx xmlSecTransformCtx;

// Canonicalising a small part of a document (the signed properties, the
// KeyInfo, the SignedInfo) still walks the whole tree, once per part: on a
// large invoice that is most of the time spent signing. Such a part depends
// only on its own subtree and on what its ancestors declare, so while it is
// processed the other children of the element holding the signature (the
// root, or an event's Evento; "root" below) are set aside, and put back for the
// reference that covers the whole document or anything outside the signature.
// Installed on a signature context; everything is back in place when this
// object goes, and the tree is never left changed.
class ReferenceFocus {
public:
    ReferenceFocus(xmlNode* root, xmlNode* signature);
    ~ReferenceFocus();
    ReferenceFocus(const ReferenceFocus&) = delete;
    ReferenceFocus& operator=(const ReferenceFocus&) = delete;

    void install(xmlSecDSigCtx* context);
    // By hand, for a signature made without the library.
    void setAside();
    void putBack();
    // The canonical form of the document with the signature taken out, into
    // out; what xmlC14NExecute returns.
    int canonicalWithoutSignature(xmlOutputBuffer* out);

private:
    static int beforeReference(xmlSecTransformCtx* context);
    static int beforeSignedInfo(xmlSecTransformCtx* context);
    bool targetInsideSignature(xmlSecTransformCtx* context) const;
    bool takeWholeDocument(xmlSecTransformCtx* context);

    xmlNode* m_root;
    xmlNode* m_signature;
    QSet<QString> m_plainIds; // ids referenced with no transform but canonicalisation
    xmlNode* m_first = nullptr;
    xmlNode* m_last = nullptr;
    xmlNode* m_before = nullptr;
    xmlNode* m_after = nullptr;
    bool m_aside = false;
};
