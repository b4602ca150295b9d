#include "signing/XadesSigner.h"

#include "common/AppError.h"
#include "signing/ReferenceFocus.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesNames.h"
#include "signing/XmlSecurity.h"
#include "signing/XmlTree.h"

#include <QUuid>

#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlsave.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <xmlsec/crypto.h>
#include <xmlsec/keys.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/templates.h>
#include <xmlsec/xmldsig.h>
#include <xmlsec/xmltree.h>

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

// libxmlsec1 finds "#id" references through the document's ID table.
void registerId(xmlDoc* doc, xmlNode* node) {
    xmlAttr* attribute = xmlHasProp(node, xml("Id"));
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(attribute));
    xmlAddID(nullptr, doc, value, attribute);
    xmlFree(value);
}

void failed(const char* what) {
    throw AppError(
        QStringLiteral("No se pudo firmar el documento (paso «%1»; detalle de xmlsec: %2)")
            .arg(QString::fromLatin1(what), XmlSecurity::takeLastError()));
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
                                 const QDateTime& signingTime) {
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
    add(sigPolicyId, xades, "Identifier", PolicyIdentifier);
    add(sigPolicyId, xades, "Description", PolicyDescription);
    xmlNode* policyHash = add(policyId, xades, "SigPolicyHash");
    xmlSetProp(add(policyHash, ds, "DigestMethod"), xml("Algorithm"), xml(Sha1));
    add(policyHash, ds, "DigestValue", PolicyDigest);

    add(add(add(signatureProperties, xades, "SignerRole"), xades, "ClaimedRoles"), xades,
        "ClaimedRole", ClaimedRole);

    xmlNode* format =
        add(add(signedProperties, xades, "SignedDataObjectProperties"), xades, "DataObjectFormat");
    xmlSetProp(format, xml("ObjectReference"), xml("#" + ids.documentReference));
    add(format, xades, "Description", DataDescription);
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

struct DSigContext {
    xmlSecDSigCtx* context = xmlSecDSigCtxCreate(nullptr);
    ~DSigContext() {
        if (context)
            xmlSecDSigCtxDestroy(context);
    }
};

} // namespace

namespace XadesSigner {

QByteArray sign(const QByteArray& document, const SigningCertificate& certificate,
                const QDateTime& signingTime) {
    XmlTree tree(document);
    if (!tree.elements(DsigNs, "Signature").isEmpty())
        throw AppError(QStringLiteral("El documento ya está firmado"));
    const qsizetype endTag = tree.rootEndTagOffset(document);
    xmlDoc* doc = tree.doc();
    const Ids ids;

    xmlNode* signature = xmlSecTmplSignatureCreateNsPref(
        doc, xmlSecTransformInclC14NId, xmlSecTransformRsaSha256Id, xml(ids.signature), xml("ds"));
    if (!signature)
        failed("Signature");
    xmlAddChild(tree.root(), signature);
    xmlNs* ds = xmlSearchNsByHref(doc, signature, xml(DsigNs));
    setId(xmlSecFindChild(signature, xmlSecNodeSignedInfo, xmlSecDSigNs), ids.signedInfo);
    setId(xmlSecFindChild(signature, xmlSecNodeSignatureValue, xmlSecDSigNs), ids.signatureValue);

    xmlNode* documentReference = xmlSecTmplSignatureAddReference(
        signature, xmlSecTransformSha256Id, xml(ids.documentReference), xml(""), nullptr);
    if (!documentReference ||
        !xmlSecTmplReferenceAddTransform(documentReference, xmlSecTransformEnvelopedId))
        failed("Reference");
    if (!xmlSecTmplSignatureAddReference(signature, xmlSecTransformSha256Id, nullptr,
                                         xml("#" + ids.signedProperties),
                                         xml(SignedPropertiesType)) ||
        !xmlSecTmplSignatureAddReference(signature, xmlSecTransformSha256Id, nullptr,
                                         xml("#" + ids.keyInfo), nullptr))
        failed("Reference");

    addKeyInfo(signature, ds, certificate, ids);
    xmlNode* signedProperties =
        addQualifyingProperties(signature, ds, certificate, ids, signingTime);
    registerId(doc, signedProperties);
    registerId(doc, xmlSecFindChild(signature, xmlSecNodeKeyInfo, xmlSecDSigNs));

    DSigContext dsig;
    if (!dsig.context)
        failed("contexto");
    EVP_PKEY* key = certificate.privateKey();
    EVP_PKEY_up_ref(key);
    xmlSecKeyData* keyData = xmlSecOpenSSLEvpKeyAdopt(key);
    if (!keyData) {
        EVP_PKEY_free(key);
        failed("clave");
    }
    dsig.context->signKey = xmlSecKeyCreate();
    if (!dsig.context->signKey || xmlSecKeySetValue(dsig.context->signKey, keyData) < 0) {
        xmlSecKeyDataDestroy(keyData);
        failed("clave");
    }
    // Leave the finished KeyInfo alone: only a KeyName would be written, and
    // there is none.
    xmlSecPtrListAdd(&dsig.context->keyInfoWriteCtx.enabledKeyData,
                     const_cast<void*>(static_cast<const void*>(xmlSecKeyDataNameId)));
    dsig.context->enabledReferenceUris =
        xmlSecTransformUriType(xmlSecTransformUriTypeEmpty | xmlSecTransformUriTypeSameDocument);
    {
        ReferenceFocus focus(tree.root(), signature);
        focus.install(dsig.context);
        if (xmlSecDSigCtxSign(dsig.context, signature) < 0)
            failed("firma");
    }

    QByteArray signedBytes = document.left(endTag);
    signedBytes += serialised(signature);
    signedBytes += document.mid(endTag);
    return signedBytes;
}

} // namespace XadesSigner
