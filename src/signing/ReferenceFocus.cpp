#include "signing/ReferenceFocus.h"

#include <QRegularExpression>
#include <QString>

#include <libxml/c14n.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <xmlsec/transforms.h>
#include <xmlsec/xmldsig.h>
#include <xmlsec/xmltree.h>

namespace {

// The callbacks get no user data of their own: the focus at work on this thread.
thread_local ReferenceFocus* current = nullptr;

bool named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name)) && node->ns &&
           xmlStrEqual(node->ns->href, xmlSecDSigNs);
}

QString attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

// The canonical form of the whole document without the signature, made in
// one pass, as a transform of the library's chain: XML in, bytes out.
int pushWholeDocument(xmlSecTransformPtr transform, xmlSecNodeSetPtr nodes,
                      xmlSecTransformCtxPtr context) {
    ReferenceFocus* focus = current;
    if (!focus || !nodes || transform->status != xmlSecTransformStatusNone)
        return -1;
    transform->status = xmlSecTransformStatusWorking;
    xmlOutputBufferPtr out = xmlSecTransformCreateOutputBuffer(transform->next, context);
    if (!out)
        return -1;
    const int written = focus->canonicalWithoutSignature(out);
    if (xmlOutputBufferClose(out) < 0 || written < 0)
        return -1;
    transform->status = xmlSecTransformStatusFinished;
    return 0;
}

xmlSecTransformDataType wholeDocumentType(xmlSecTransformPtr, xmlSecTransformMode mode,
                                          xmlSecTransformCtxPtr) {
    return mode == xmlSecTransformModePush ? xmlSecTransformDataTypeXml
                                           : xmlSecTransformDataTypeBin;
}

xmlSecTransformKlass WholeDocumentKlass = {
    sizeof(xmlSecTransformKlass),
    sizeof(xmlSecTransform),
    reinterpret_cast<const xmlChar*>("whole-document-without-signature"),
    nullptr, // href: never read from a document
    xmlSecTransformUsageUnknown,
    nullptr,           // initialize
    nullptr,           // finalize
    nullptr,           // readNode
    nullptr,           // writeNode
    nullptr,           // setKeyReq
    nullptr,           // setKey
    nullptr,           // verify
    wholeDocumentType, // getDataType
    nullptr,           // pushBin
    nullptr,           // popBin
    pushWholeDocument, // pushXml
    nullptr,           // popXml
    nullptr,           // execute
    nullptr,
    nullptr,
};

bool onlyCanonicalisation(xmlNode* reference) {
    for (xmlNode* part = reference->children; part; part = part->next) {
        if (!named(part, "Transforms"))
            continue;
        for (xmlNode* transform = part->children; transform; transform = transform->next) {
            if (transform->type != XML_ELEMENT_NODE)
                continue;
            const QString algorithm = attribute(transform, "Algorithm");
            if (!algorithm.contains(QLatin1String("c14n")))
                return false;
        }
    }
    return true;
}

} // namespace

ReferenceFocus::ReferenceFocus(xmlNode* root, xmlNode* signature)
    : m_root(root), m_signature(signature) {
    if (!signature || signature->parent != root)
        return;
    for (xmlNode* part = signature->children; part; part = part->next) {
        if (!named(part, "SignedInfo"))
            continue;
        for (xmlNode* reference = part->children; reference; reference = reference->next) {
            if (!named(reference, "Reference"))
                continue;
            const QString uri = attribute(reference, "URI");
            if (uri.startsWith(u'#') && onlyCanonicalisation(reference))
                m_plainIds.insert(uri.mid(1));
        }
    }
}

ReferenceFocus::~ReferenceFocus() {
    putBack();
    if (current == this)
        current = nullptr;
}

void ReferenceFocus::install(xmlSecDSigCtx* context) {
    current = this;
    context->transformCtx.preExecCallback = beforeSignedInfo;
    context->referencePreExecuteCallback = beforeReference;
}

int ReferenceFocus::beforeReference(xmlSecTransformCtx* context) {
    if (ReferenceFocus* focus = current) {
        if (focus->targetInsideSignature(context)) {
            focus->setAside();
        } else {
            focus->putBack();
            return focus->takeWholeDocument(context) ? 0 : -1;
        }
    }
    return 0;
}

// The reference that covers the whole document as the hubs' signatures do
// (URI "", the enveloped-signature transform, inclusive canonical form
// without comments): the library would ask of each of a long invoice's
// million nodes whether it lies inside the signature, walking up to the root
// each time, which is most of the time a check takes. Taking the signature
// out of the tree gives the same bytes at once. Any other reference keeps
// the library's own way. False when the chain could not be changed.
bool ReferenceFocus::takeWholeDocument(xmlSecTransformCtx* context) {
    if ((context->uri && context->uri[0] != '\0') ||
        (context->xptrExpr && context->xptrExpr[0] != '\0'))
        return true;
    xmlSecTransformPtr enveloped = context->first;
    if (!m_signature || m_signature->parent != m_root || !enveloped ||
        enveloped->id != xmlSecTransformEnvelopedId || !enveloped->hereNode ||
        xmlSecFindParent(enveloped->hereNode, xmlSecNodeSignature, xmlSecDSigNs) != m_signature)
        return true;
    xmlSecTransformPtr canonical = enveloped->next;
    if (!canonical || canonical->id != xmlSecTransformInclC14NId)
        return true;
    xmlSecTransformPtr digest = canonical->next;
    if (!digest || (xmlSecTransformGetDataType(digest, xmlSecTransformModePush, context) &
                    xmlSecTransformDataTypeBin) == 0)
        return true;
    xmlSecTransformPtr whole = xmlSecTransformCreate(&WholeDocumentKlass);
    if (!whole)
        return false;
    for (xmlSecTransformPtr replaced : {enveloped, canonical}) {
        xmlSecTransformRemove(replaced);
        xmlSecTransformDestroy(replaced);
    }
    context->first = digest;
    if (xmlSecTransformCtxPrepend(context, whole) < 0) {
        xmlSecTransformDestroy(whole);
        return false;
    }
    return true;
}

int ReferenceFocus::canonicalWithoutSignature(xmlOutputBuffer* out) {
    xmlNode* before = m_signature->prev;
    xmlNode* after = m_signature->next;
    (before ? before->next : m_root->children) = after;
    (after ? after->prev : m_root->last) = before;
    const int written =
        xmlC14NExecute(m_root->doc, nullptr, nullptr, XML_C14N_1_0, nullptr, 0, out);
    (before ? before->next : m_root->children) = m_signature;
    (after ? after->prev : m_root->last) = m_signature;
    return written;
}

int ReferenceFocus::beforeSignedInfo(xmlSecTransformCtx* context) {
    Q_UNUSED(context);
    if (ReferenceFocus* focus = current)
        focus->setAside();
    return 0;
}

// Only "#id" (or its XPointer form) naming an element of the signature itself,
// with no transform but canonicalisation, counts; the whole document, other
// ids and anything unknown do not.
bool ReferenceFocus::targetInsideSignature(xmlSecTransformCtx* context) const {
    if (context->uri && context->uri[0] != '\0')
        return false;
    if (!context->xptrExpr)
        return false;
    static const QRegularExpression idForm(
        QStringLiteral("^(?:#?xpointer\\(id\\('([^']+)'\\)\\)|#?([A-Za-z_][A-Za-z0-9_.-]*))$"));
    const QRegularExpressionMatch match =
        idForm.match(QString::fromUtf8(reinterpret_cast<const char*>(context->xptrExpr)));
    if (!match.hasMatch())
        return false;
    const QString id = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    if (!m_plainIds.contains(id))
        return false;
    const xmlAttr* attribute =
        xmlGetID(m_root->doc, reinterpret_cast<const xmlChar*>(id.toUtf8().constData()));
    for (const xmlNode* node = attribute ? attribute->parent : nullptr; node; node = node->parent) {
        if (node == m_signature)
            return true;
    }
    return false;
}

void ReferenceFocus::setAside() {
    if (m_aside)
        return;
    m_first = m_root->children;
    m_last = m_root->last;
    m_before = m_signature->prev;
    m_after = m_signature->next;
    m_root->children = m_root->last = m_signature;
    m_signature->prev = m_signature->next = nullptr;
    m_aside = true;
}

void ReferenceFocus::putBack() {
    if (!m_aside)
        return;
    m_root->children = m_first;
    m_root->last = m_last;
    m_signature->prev = m_before;
    m_signature->next = m_after;
    m_aside = false;
}
