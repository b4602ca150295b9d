#include "signing/XadesSigner.h"

#include "common/AppError.h"
#include "facturae/XmlDocument.h"
#include "signing/ReferenceFocus.h"
#include "signing/SignatureProfile.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesNames.h"
#include "signing/XmlSecurity.h"

#include <QUuid>

#include <libxml/c14n.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <xmlsec/crypto.h>
#include <xmlsec/templates.h>
#include <xmlsec/transforms.h>
#include <xmlsec/xmldsig.h>
#include <xmlsec/xmltree.h>

#include <memory>

namespace {

using namespace XadesNames;

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}
const xmlChar* xml(const QByteArray& text) {
    return xml(text.constData());
}

QByteArray sha256(const QByteArray& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.constData(), size_t(bytes.size()), digest, &length, EVP_sha256(), nullptr);
    return QByteArray(reinterpret_cast<const char*>(digest), int(length));
}

QByteArray rsaParameter(EVP_PKEY* key, const char* name) {
    BIGNUM* number = nullptr;
    if (EVP_PKEY_get_bn_param(key, name, &number) != 1)
        throw AppError(QStringLiteral("No se puede leer la clave pública del certificado"));
    QByteArray bytes(BN_num_bytes(number), '\0');
    BN_bn2bin(number, reinterpret_cast<unsigned char*>(bytes.data()));
    BN_free(number);
    return bytes.toBase64();
}

xmlNode* add(xmlNode* parent, xmlNs* ns, const char* name, const QByteArray& text = {}) {
    return xmlNewTextChild(parent, ns, xml(name), text.isNull() ? nullptr : xml(text));
}

void setId(xmlNode* node, const QByteArray& id) {
    xmlSetProp(node, xml("Id"), xml(id));
}

void failed(const char* what) {
    throw AppError(
        QStringLiteral("No se pudo firmar el documento (paso «%1»; detalle de xmlsec: %2)")
            .arg(QString::fromLatin1(what), XmlSecurity::takeLastError()));
}

[[noreturn]] void failedCrypto(const char* what) {
    throw AppError(
        QStringLiteral("No se pudo firmar el documento (paso «%1»; detalle de OpenSSL: %2)")
            .arg(QString::fromLatin1(what), XmlSecurity::takeOpenSslError()));
}

struct Ids {
    QByteArray base = "Signature-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    QByteArray signature = base;
    QByteArray signedInfo = base + "-SignedInfo";
    QByteArray signatureValue = base + "-SignatureValue";
    QByteArray keyInfo = base + "-KeyInfo";
    QByteArray object = base + "-Object";
    QByteArray signedProperties = base + "-SignedProperties";
    QByteArray documentReference = base + "-Reference-Document";
};

void addKeyInfo(xmlNode* signature, xmlNs* ds, const SigningCertificate& certificate,
                const Ids& ids) {
    xmlNode* keyInfo = xmlSecTmplSignatureEnsureKeyInfo(signature, xml(ids.keyInfo));
    xmlNode* x509Data = keyInfo ? xmlSecTmplKeyInfoAddX509Data(keyInfo) : nullptr;
    if (!x509Data)
        failed("KeyInfo");
    // Filled here rather than by the library: the KeyInfo is itself signed,
    // so its content must be final before the digests are taken.
    add(x509Data, ds, "X509Certificate", certificateDer(certificate.certificate()).toBase64());
    for (const QByteArray& der : certificate.intermediates())
        add(x509Data, ds, "X509Certificate", der.toBase64());
    xmlNode* rsa = add(add(keyInfo, ds, "KeyValue"), ds, "RSAKeyValue");
    add(rsa, ds, "Modulus", rsaParameter(certificate.privateKey(), OSSL_PKEY_PARAM_RSA_N));
    add(rsa, ds, "Exponent", rsaParameter(certificate.privateKey(), OSSL_PKEY_PARAM_RSA_E));
}

xmlNode* addQualifyingProperties(xmlNode* signature, xmlNs* ds,
                                 const SigningCertificate& certificate, const Ids& ids,
                                 const QDateTime& signingTime, const SignatureProfile& profile) {
    xmlNode* object = xmlSecTmplSignatureAddObject(signature, xml(ids.object), nullptr, nullptr);
    if (!object)
        failed("Object");
    xmlNode* qualifying = xmlNewChild(object, nullptr, xml("QualifyingProperties"), nullptr);
    xmlNs* xades = xmlNewNs(qualifying, xml(XadesNs), xml("xades"));
    xmlSetNs(qualifying, xades);
    xmlSetProp(qualifying, xml("Target"), xml("#" + ids.signature));

    xmlNode* signedProperties = add(qualifying, xades, "SignedProperties");
    setId(signedProperties, ids.signedProperties);
    xmlNode* signatureProperties = add(signedProperties, xades, "SignedSignatureProperties");
    // With its offset from UTC: "2024-02-01T10:30:00+01:00".
    const QDateTime withOffset = signingTime.toOffsetFromUtc(signingTime.offsetFromUtc());
    add(signatureProperties, xades, "SigningTime", withOffset.toString(Qt::ISODate).toUtf8());

    X509* x509 = certificate.certificate();
    xmlNode* cert = add(add(signatureProperties, xades, "SigningCertificate"), xades, "Cert");
    xmlNode* certDigest = add(cert, xades, "CertDigest");
    xmlSetProp(add(certDigest, ds, "DigestMethod"), xml("Algorithm"), xml(Sha256));
    add(certDigest, ds, "DigestValue", sha256(certificateDer(x509)).toBase64());
    xmlNode* issuerSerial = add(cert, xades, "IssuerSerial");
    add(issuerSerial, ds, "X509IssuerName", certificateIssuer(x509));
    add(issuerSerial, ds, "X509SerialNumber", certificateSerial(x509));

    xmlNode* policyId = add(add(signatureProperties, xades, "SignaturePolicyIdentifier"), xades,
                            "SignaturePolicyId");
    xmlNode* sigPolicyId = add(policyId, xades, "SigPolicyId");
    add(sigPolicyId, xades, "Identifier", profile.policyIdentifier);
    add(sigPolicyId, xades, "Description", profile.policyDescription);
    xmlNode* policyHash = add(policyId, xades, "SigPolicyHash");
    xmlSetProp(add(policyHash, ds, "DigestMethod"), xml("Algorithm"), xml(Sha1));
    add(policyHash, ds, "DigestValue", profile.policyDigest);
    if (profile.policyUri)
        add(add(add(policyId, xades, "SigPolicyQualifiers"), xades, "SigPolicyQualifier"), xades,
            "SPURI", profile.policyUri);

    add(add(add(signatureProperties, xades, "SignerRole"), xades, "ClaimedRoles"), xades,
        "ClaimedRole", ClaimedRole);

    xmlNode* format =
        add(add(signedProperties, xades, "SignedDataObjectProperties"), xades, "DataObjectFormat");
    xmlSetProp(format, xml("ObjectReference"), xml("#" + ids.documentReference));
    add(format, xades, "Description", profile.dataDescription);
    add(format, xades, "MimeType", DataMimeType);
    return signedProperties;
}

QByteArray serialised(xmlNode* node) {
    xmlBuffer* buffer = xmlBufferCreate();
    // As ASCII: any other character becomes a character reference, which
    // reads the same in whatever ASCII-compatible encoding the document has.
    xmlSaveCtxt* save = xmlSaveToBuffer(buffer, "ASCII", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    xmlSaveTree(save, node);
    xmlSaveClose(save);
    QByteArray bytes(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                     xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return bytes;
}

struct DigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestFree>;

// The canonical form (inclusive C14N 1.0, no comments) is fed to a digest
// as it is made, never held whole: a long invoice's is megabytes.
int feed(void* context, const char* bytes, int length) {
    return EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(context), bytes, size_t(length)) == 1 ? length
                                                                                           : -1;
}

// What canonicalising a part shows: the nodes inside it (an attribute or a
// namespace through the element that holds it).
int insidePart(void* part, xmlNode* node, xmlNode* parent) {
    const xmlNode* at =
        node->type == XML_ATTRIBUTE_NODE || node->type == XML_NAMESPACE_DECL ? parent : node;
    for (; at; at = at->parent) {
        if (at == part)
            return 1;
    }
    return 0;
}

// Canonicalises the whole document (part null) or one element of it into
// context, which was set up to digest or to sign.
void canonicalise(xmlDoc* doc, xmlNode* part, EVP_MD_CTX* context, const char* step) {
    xmlOutputBuffer* out = xmlOutputBufferCreateIO(&feed, nullptr, context, nullptr);
    if (!out)
        failed(step);
    const int written =
        xmlC14NExecute(doc, part ? &insidePart : nullptr, part, XML_C14N_1_0, nullptr, 0, out);
    if (xmlOutputBufferClose(out) < 0 || written < 0)
        failedCrypto(step);
}

QByteArray sha256Of(xmlDoc* doc, xmlNode* part, const char* step) {
    const DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        failedCrypto(step);
    canonicalise(doc, part, context.get(), step);
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), value, &length) != 1)
        failedCrypto(step);
    return QByteArray(reinterpret_cast<const char*>(value), int(length)).toBase64();
}

// RSA with SHA-256 (PKCS #1 v1.5) over the canonical SignedInfo, in base64
// lines of 64 characters, as XML-signature tools write it.
QByteArray signatureValue(xmlDoc* doc, xmlNode* signedInfo, EVP_PKEY* key) {
    const DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1)
        failedCrypto("firma");
    canonicalise(doc, signedInfo, context.get(), "firma");
    size_t length = 0;
    if (EVP_DigestSignFinal(context.get(), nullptr, &length) != 1)
        failedCrypto("firma");
    QByteArray value(qsizetype(length), '\0');
    if (EVP_DigestSignFinal(context.get(), reinterpret_cast<unsigned char*>(value.data()),
                            &length) != 1)
        failedCrypto("firma");
    value.truncate(qsizetype(length));
    const QByteArray base64 = value.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < base64.size(); at += 64)
        lines += (at > 0 ? "\n" : "") + base64.mid(at, 64);
    return lines;
}

void setDigest(xmlNode* reference, const QByteArray& digest) {
    xmlNode* value = xmlSecFindChild(reference, xmlSecNodeDigestValue, xmlSecDSigNs);
    if (!value)
        failed("DigestValue");
    xmlNodeSetContent(value, xml(digest));
}

qsizetype skipSpace(const QByteArray& bytes, qsizetype at) {
    while (at < bytes.size() &&
           (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    return at;
}

// True when only blanks, comments and processing instructions follow 'at'.
bool onlyMiscFrom(const QByteArray& bytes, qsizetype at) {
    for (at = skipSpace(bytes, at); at < bytes.size(); at = skipSpace(bytes, at)) {
        if (bytes.mid(at, 4) == "<!--") {
            const qsizetype end = bytes.indexOf("-->", at + 4);
            if (end < 0)
                return false;
            at = end + 3;
        } else if (bytes.mid(at, 2) == "<?") {
            const qsizetype end = bytes.indexOf("?>", at + 2);
            if (end < 0)
                return false;
            at = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

// Where the root's end tag starts in bytes, so that the signature can be put
// just before it.
qsizetype rootEndTagOffset(const QByteArray& bytes, const xmlNode* root) {
    QByteArray name = QByteArray(reinterpret_cast<const char*>(root->name));
    if (root->ns && root->ns->prefix)
        name = QByteArray(reinterpret_cast<const char*>(root->ns->prefix)) + ':' + name;
    const QByteArray tag = "</" + name;
    // The last end tag of that name that only blanks, comments and processing
    // instructions follow: a comment after the root may quote the tag.
    for (qsizetype at = bytes.lastIndexOf(tag); at >= 0;
         at = at > 0 ? bytes.lastIndexOf(tag, at - 1) : -1) {
        const qsizetype close = skipSpace(bytes, at + tag.size());
        if (close < bytes.size() && bytes[close] == '>' && onlyMiscFrom(bytes, close + 1))
            return at;
    }
    throw AppError(QStringLiteral("El elemento raíz del documento no tiene etiqueta de cierre"));
}

// The element that holds the signature: the root, or the root's last child
// element of the profile's name.
xmlNode* signatureParent(xmlNode* root, const SignatureProfile& profile) {
    if (profile.signatureParent.isEmpty())
        return root;
    xmlNode* last = xmlLastElementChild(root);
    if (!last || profile.signatureParent != reinterpret_cast<const char*>(last->name))
        throw AppError(QStringLiteral("El documento no termina con el elemento «%1» que lleva la "
                                      "firma")
                           .arg(QString::fromLatin1(profile.signatureParent)));
    return last;
}

// Where the parent's end tag starts in bytes. The parent is the root or its
// last child element: its end tag is the last of its name that only blanks
// and the root's end tag follow.
qsizetype parentEndTagOffset(const QByteArray& bytes, const xmlNode* root, const xmlNode* parent) {
    const qsizetype rootEnd = rootEndTagOffset(bytes, root);
    if (parent == root)
        return rootEnd;
    QByteArray name = QByteArray(reinterpret_cast<const char*>(parent->name));
    if (parent->ns && parent->ns->prefix)
        name = QByteArray(reinterpret_cast<const char*>(parent->ns->prefix)) + ':' + name;
    const QByteArray tag = "</" + name;
    const qsizetype at = bytes.lastIndexOf(tag, rootEnd);
    const qsizetype close = at < 0 ? -1 : skipSpace(bytes, at + tag.size());
    if (close < 0 || close >= rootEnd || bytes[close] != '>' ||
        skipSpace(bytes, close + 1) != rootEnd)
        throw AppError(QStringLiteral("El elemento «%1» que lleva la firma no tiene etiqueta de "
                                      "cierre")
                           .arg(QString::fromUtf8(name)));
    return at;
}

} // namespace

namespace XadesSigner {

QByteArray sign(const QByteArray& document, const SigningCertificate& certificate,
                const QDateTime& signingTime, const SignatureProfile& profile) {
    XmlDocument parsed(document);
    return sign(parsed, document, certificate, signingTime, profile);
}

QByteArray sign(XmlDocument& parsed, const QByteArray& document,
                const SigningCertificate& certificate, const QDateTime& signingTime,
                const SignatureProfile& profile) {
    // The signature is written into the original bytes as ASCII, which every
    // ASCII-compatible encoding reads the same way; UTF-16 and UTF-32 are not.
    if (document.startsWith("\xFE\xFF") || document.startsWith("\xFF\xFE") ||
        (document.size() > 1 && (document[0] == '\0' || document[1] == '\0')))
        throw AppError(
            QStringLiteral("El documento está en UTF-16 o UTF-32; solo se admiten UTF-8 y "
                           "codificaciones compatibles con ASCII"));
    XmlSecurity::ensureStarted();
    if (!parsed.isRead())
        throw AppError(parsed.problem());
    if (!parsed.signatures().empty())
        throw AppError(QStringLiteral("El documento ya está firmado"));
    xmlNode* root = parsed.root();
    xmlNode* parent = signatureParent(root, profile);
    const qsizetype endTag = parentEndTagOffset(document, root, parent);
    xmlDoc* doc = parsed.doc();
    const Ids ids;

    xmlNode* signature = xmlSecTmplSignatureCreateNsPref(
        doc, xmlSecTransformInclC14NId, xmlSecTransformRsaSha256Id, xml(ids.signature), xml("ds"));
    if (!signature)
        failed("Signature");
    xmlNs* ds = xmlSearchNsByHref(doc, signature, xml(DsigNs));
    xmlNode* signedInfo = xmlSecFindChild(signature, xmlSecNodeSignedInfo, xmlSecDSigNs);
    setId(signedInfo, ids.signedInfo);
    xmlNode* value = xmlSecFindChild(signature, xmlSecNodeSignatureValue, xmlSecDSigNs);
    setId(value, ids.signatureValue);

    xmlNode* documentReference = xmlSecTmplSignatureAddReference(
        signature, xmlSecTransformSha256Id, xml(ids.documentReference), xml(""), nullptr);
    if (!documentReference ||
        !xmlSecTmplReferenceAddTransform(documentReference, xmlSecTransformEnvelopedId))
        failed("Reference");
    xmlNode* propertiesReference =
        xmlSecTmplSignatureAddReference(signature, xmlSecTransformSha256Id, nullptr,
                                        xml("#" + ids.signedProperties), xml(SignedPropertiesType));
    xmlNode* keyInfoReference = xmlSecTmplSignatureAddReference(
        signature, xmlSecTransformSha256Id, nullptr, xml("#" + ids.keyInfo), nullptr);
    if (!propertiesReference || !keyInfoReference)
        failed("Reference");

    addKeyInfo(signature, ds, certificate, ids);
    xmlNode* signedProperties =
        addQualifyingProperties(signature, ds, certificate, ids, signingTime, profile);

    // The enveloped signature leaves the document as it is without it: its
    // digest is taken before the signature goes in.
    setDigest(documentReference, sha256Of(doc, nullptr, "documento"));
    xmlAddChild(parent, signature);
    {
        // The parts inside the signature depend on nothing else but what
        // their ancestors declare: the rest of the document is set aside
        // meanwhile, so their canonical forms do not walk the whole tree.
        ReferenceFocus focus(parent, signature);
        focus.setAside();
        setDigest(propertiesReference, sha256Of(doc, signedProperties, "SignedProperties"));
        setDigest(
            keyInfoReference,
            sha256Of(doc, xmlSecFindChild(signature, xmlSecNodeKeyInfo, xmlSecDSigNs), "KeyInfo"));
        xmlNodeSetContent(value, xml(signatureValue(doc, signedInfo, certificate.privateKey())));
    }

    QByteArray signedBytes = document.left(endTag);
    signedBytes += serialised(signature);
    signedBytes += document.mid(endTag);
    return signedBytes;
}

} // namespace XadesSigner
