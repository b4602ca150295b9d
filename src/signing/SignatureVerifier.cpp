#include "signing/SignatureVerifier.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "facturae/XmlDocument.h"
#include "signing/ReferenceFocus.h"
#include "signing/SignatureProfile.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesNames.h"
#include "signing/XmlSecurity.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <libxml/tree.h>
#include <libxml/valid.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <xmlsec/crypto.h>
#include <xmlsec/keys.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/xmldsig.h>

#include <memory>
#include <vector>

namespace {

using namespace XadesNames;
using Severity = SignatureFinding::Severity;

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

using XmlNodes::attribute;
using XmlNodes::child;
using XmlNodes::children;

// An element's text without the blanks around it; empty for none.
QString text(const xmlNode* node) {
    return XmlNodes::text(node).trimmed();
}

struct X509Free {
    void operator()(X509* c) const { X509_free(c); }
};
using Certificate = std::unique_ptr<X509, X509Free>;

const EVP_MD* digestFor(const QString& algorithm) {
    if (algorithm == QLatin1String(Sha1))
        return EVP_sha1();
    if (algorithm == QLatin1String(Sha256))
        return EVP_sha256();
    if (algorithm == QLatin1String(Sha512))
        return EVP_sha512();
    if (algorithm == QLatin1String("http://www.w3.org/2001/04/xmldsig-more#sha384"))
        return EVP_sha384();
    return nullptr;
}

QByteArray digest(const QByteArray& bytes, const EVP_MD* md) {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.constData(), size_t(bytes.size()), value, &length, md, nullptr);
    return QByteArray(reinterpret_cast<const char*>(value), int(length));
}

// Names written by other tools differ in blanks, letter case and order.
QStringList nameParts(const QString& name) {
    QStringList parts;
    for (QString part : name.split(u',', Qt::SkipEmptyParts)) {
        part = part.simplified().toUpper();
        part.replace(QStringLiteral(" = "), QStringLiteral("="));
        part.replace(QStringLiteral("= "), QStringLiteral("="));
        part.replace(QStringLiteral(" ="), QStringLiteral("="));
        parts << part;
    }
    parts.sort();
    return parts;
}

QString display(const QDateTime& moment) {
    return moment.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString decimalFromText(const QString& text) {
    // A serial may be written with leading zeros or blanks.
    BIGNUM* number = nullptr;
    const QByteArray digits = text.trimmed().toLatin1();
    if (digits.isEmpty() || BN_dec2bn(&number, digits.constData()) != digits.size()) {
        BN_free(number);
        return text.trimmed();
    }
    char* decimal = BN_bn2dec(number);
    const QString value = QString::fromLatin1(decimal);
    OPENSSL_free(decimal);
    BN_free(number);
    return value;
}

// "ecdsa-sha256" → "ECDSA con SHA-256".
QString algorithmName(const QString& uri) {
    const QString name = uri.section(u'#', -1);
    const qsizetype dash = name.lastIndexOf(u'-');
    if (dash < 0)
        return name;
    QString digest = name.mid(dash + 1).toUpper();
    if (digest.startsWith(QLatin1String("SHA")) && digest.size() > 3 && digest[3] != u'-')
        digest.insert(3, u'-');
    return QStringLiteral("%1 con %2").arg(name.left(dash).toUpper(), digest);
}

bool isCanonicalisation(const QString& algorithm) {
    static const QSet<QString> known{
        QStringLiteral("http://www.w3.org/TR/2001/REC-xml-c14n-20010315"),
        QStringLiteral("http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments"),
        QStringLiteral("http://www.w3.org/2006/12/xml-c14n11"),
        QStringLiteral("http://www.w3.org/2006/12/xml-c14n11#WithComments"),
        QStringLiteral("http://www.w3.org/2001/10/xml-exc-c14n#"),
        QStringLiteral("http://www.w3.org/2001/10/xml-exc-c14n#WithComments")};
    return known.contains(algorithm);
}

class Check {
public:
    Check(const QByteArray& bytes, const SignatureVerifier::Options& options)
        : m_bytes(bytes), m_options(options) {}

    SignatureReport run();

private:
    void add(const QString& code, Severity severity, xmlNode* node, const QString& message) {
        m_report.findings << signatureFinding(code, severity, XmlNodes::writtenPath(node), message);
    }
    void error(const QString& code, xmlNode* node, const QString& message) {
        add(code, Severity::Error, node, message);
    }

    void registerIds();
    xmlNode* elementById(const QString& uri, xmlNode* reference);
    void checkReferences();
    void readCertificates();
    void checkSigningCertificate();
    void checkSignatureValue();
    void checkSignerKey();
    void checkTarget();
    void checkPolicy();
    void checkSigningTime();
    void checkChain();
    QDateTime now() const {
        return m_options.at.isValid() ? m_options.at : QDateTime::currentDateTimeUtc();
    }

    const QByteArray& m_bytes;
    const SignatureVerifier::Options& m_options;
    SignatureProfile m_profile;
    SignatureReport m_report;
    std::unique_ptr<XmlDocument> m_tree;
    xmlNode* m_signature = nullptr;
    xmlNode* m_signedProperties = nullptr; // the signed one, or nullptr
    QSet<QString> m_duplicateIds;
    std::vector<Certificate> m_certificates; // from KeyInfo, in order
    X509* m_signer = nullptr;
};

void Check::registerIds() {
    QHash<QString, xmlAttr*> seen;
    for (xmlNode* node : m_tree->elementsWithId()) {
        if (xmlAttr* attribute = xmlHasNsProp(node, xml("Id"), nullptr)) {
            const QString value = XmlNodes::attribute(node, "Id");
            if (seen.contains(value))
                m_duplicateIds.insert(value);
            else
                seen.insert(value, attribute);
        }
    }
    for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
        if (!m_duplicateIds.contains(it.key()) && !xmlGetID(m_tree->doc(), xml(it.key().toUtf8())))
            xmlAddID(nullptr, m_tree->doc(), xml(it.key().toUtf8()), it.value());
    }
}

// The element a "#id" reference points at; nullptr (with an error) when the id
// is missing or not unique, since then what was signed is ambiguous.
xmlNode* Check::elementById(const QString& uri, xmlNode* reference) {
    const QString id = uri.mid(1);
    if (m_duplicateIds.contains(id)) {
        error(QStringLiteral("duplicate-id"), reference,
              QStringLiteral("El identificador «%1» aparece más de una vez en el documento: no se "
                             "sabe qué se firmó")
                  .arg(id));
        return nullptr;
    }
    xmlAttr* attribute = xmlGetID(m_tree->doc(), xml(id.toUtf8()));
    return attribute ? attribute->parent : nullptr;
}

bool inside(xmlNode* node, xmlNode* ancestor) {
    for (; node; node = node->parent) {
        if (node == ancestor)
            return true;
    }
    return false;
}

void Check::checkReferences() {
    xmlNode* signedInfo = child(m_signature, DsigNs, "SignedInfo");
    bool wholeDocument = false;
    bool signedProperties = false;
    for (xmlNode* reference : children(signedInfo, DsigNs, "Reference")) {
        if (!XmlNodes::hasAttribute(reference, "URI"))
            continue;
        const QString uri = attribute(reference, "URI");
        if (uri.isEmpty()) {
            QStringList algorithms;
            xmlNode* transforms = child(reference, DsigNs, "Transforms");
            for (xmlNode* transform : children(transforms, DsigNs, "Transform"))
                algorithms << attribute(transform, "Algorithm");
            bool onlyKnown = true;
            for (const QString& algorithm : algorithms) {
                if (algorithm != QLatin1String(EnvelopedTransform) &&
                    !isCanonicalisation(algorithm))
                    onlyKnown = false;
            }
            if (algorithms.contains(QLatin1String(EnvelopedTransform)) && onlyKnown)
                wholeDocument = true;
        } else if (uri.startsWith(u'#') &&
                   attribute(reference, "Type") == QLatin1String(SignedPropertiesType)) {
            xmlNode* target = elementById(uri, reference);
            if (target && XmlNodes::isElement(target, XadesNs, "SignedProperties") &&
                inside(target, m_signature)) {
                signedProperties = true;
                m_signedProperties = target;
            }
        } else if (uri.startsWith(u'#')) {
            elementById(uri, reference); // reports an ambiguous id
        }
    }
    if (!wholeDocument)
        error(QStringLiteral("whole-document"), signedInfo,
              QStringLiteral("La firma no cubre el documento entero: falta una referencia al "
                             "documento (URI vacía) con solo la transformación de firma envuelta"));
    if (!signedProperties)
        error(QStringLiteral("signed-properties"), signedInfo,
              QStringLiteral("La firma no incluye la referencia a sus propiedades firmadas "
                             "(xades:SignedProperties)"));
}

void Check::readCertificates() {
    xmlNode* keyInfo = child(m_signature, DsigNs, "KeyInfo");
    for (xmlNode* data : children(keyInfo, DsigNs, "X509Data")) {
        for (xmlNode* node : children(data, DsigNs, "X509Certificate")) {
            const QByteArray der = QByteArray::fromBase64(text(node).toLatin1());
            const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der.constData());
            X509* certificate = d2i_X509(nullptr, &cursor, long(der.size()));
            if (certificate)
                m_certificates.emplace_back(certificate);
            else
                add(QStringLiteral("certificate-unreadable"), Severity::Warning, node,
                    QStringLiteral("Un certificado de KeyInfo no se puede leer"));
        }
    }
    ERR_clear_error();
    if (m_certificates.empty())
        error(QStringLiteral("certificate-missing"), keyInfo ? keyInfo : m_signature,
              QStringLiteral("La firma no lleva el certificado del firmante en KeyInfo"));
}

// IssuerSerialV2: the DER of { issuer GeneralNames, serialNumber INTEGER }.
// Returns false when it cannot be read; otherwise whether the serial is the
// signer's (serialMatches) and whether one of the names is its issuer.
bool readIssuerSerialV2(const QString& base64, X509* signer, bool& serialMatches,
                        bool& issuerMatches) {
    const QByteArray der = QByteArray::fromBase64(base64.toLatin1());
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    ASN1_SEQUENCE_ANY* sequence = d2i_ASN1_SEQUENCE_ANY(nullptr, &cursor, long(der.size()));
    bool read = false;
    if (sequence && sk_ASN1_TYPE_num(sequence) >= 2) {
        const ASN1_TYPE* names = sk_ASN1_TYPE_value(sequence, 0);
        const ASN1_TYPE* serial = sk_ASN1_TYPE_value(sequence, 1);
        if (names->type == V_ASN1_SEQUENCE && serial->type == V_ASN1_INTEGER) {
            read = true;
            serialMatches =
                ASN1_INTEGER_cmp(serial->value.integer, X509_get0_serialNumber(signer)) == 0;
            const unsigned char* namesCursor = names->value.sequence->data;
            GENERAL_NAMES* general =
                d2i_GENERAL_NAMES(nullptr, &namesCursor, names->value.sequence->length);
            issuerMatches = false;
            for (int i = 0; general && i < sk_GENERAL_NAME_num(general); ++i) {
                const GENERAL_NAME* name = sk_GENERAL_NAME_value(general, i);
                if (name->type == GEN_DIRNAME &&
                    X509_NAME_cmp(name->d.directoryName, X509_get_issuer_name(signer)) == 0)
                    issuerMatches = true;
            }
            GENERAL_NAMES_free(general);
        }
    }
    sk_ASN1_TYPE_pop_free(sequence, ASN1_TYPE_free);
    ERR_clear_error();
    return read;
}

void Check::checkSigningCertificate() {
    xmlNode* properties = child(m_signedProperties, XadesNs, "SignedSignatureProperties");
    // Other signing tools write the newer form (XAdES 1.4.1): the same
    // digest, the issuer and serial as one DER value.
    xmlNode* signingCertificate = child(properties, XadesNs, "SigningCertificate");
    if (!signingCertificate)
        signingCertificate = child(properties, XadesNs, "SigningCertificateV2");
    const std::vector<xmlNode*> certs = children(signingCertificate, XadesNs, "Cert");
    if (certs.empty()) {
        error(QStringLiteral("signing-certificate"), properties ? properties : m_signedProperties,
              QStringLiteral("Las propiedades firmadas no identifican el certificado firmante "
                             "(xades:SigningCertificate)"));
        return;
    }
    xmlNode* cert = certs.front();
    xmlNode* certDigest = child(cert, XadesNs, "CertDigest");
    const QString algorithm = attribute(child(certDigest, DsigNs, "DigestMethod"), "Algorithm");
    const QByteArray expected =
        QByteArray::fromBase64(text(child(certDigest, DsigNs, "DigestValue")).toLatin1());
    const EVP_MD* md = digestFor(algorithm);
    if (!md) {
        error(QStringLiteral("signing-certificate"), certDigest,
              QStringLiteral("Algoritmo de huella del certificado firmante desconocido: %1")
                  .arg(algorithm));
        return;
    }
    for (const Certificate& candidate : m_certificates) {
        if (digest(certificateDer(candidate.get()), md) == expected)
            m_signer = candidate.get();
    }
    if (!m_signer) {
        error(QStringLiteral("signing-certificate"), certDigest,
              QStringLiteral("La huella del certificado firmante no coincide con ningún "
                             "certificado de KeyInfo"));
        return;
    }
    if (xmlNode* v2 = child(cert, XadesNs, "IssuerSerialV2")) {
        bool serialMatches = false, issuerMatches = false;
        if (!readIssuerSerialV2(text(v2), m_signer, serialMatches, issuerMatches))
            add(QStringLiteral("signing-certificate-issuer"), Severity::Warning, v2,
                QStringLiteral("El emisor y número de serie del certificado firmante "
                               "(IssuerSerialV2) no se pueden leer"));
        else if (!serialMatches)
            error(QStringLiteral("signing-certificate"), v2,
                  QStringLiteral("El número de serie del certificado firmante no coincide con el "
                                 "del certificado de KeyInfo"));
        else if (!issuerMatches)
            add(QStringLiteral("signing-certificate-issuer"), Severity::Warning, v2,
                QStringLiteral("El emisor escrito del certificado firmante no coincide con el "
                               "del certificado"));
    }
    xmlNode* issuerSerial = child(cert, XadesNs, "IssuerSerial");
    xmlNode* serial = child(issuerSerial, DsigNs, "X509SerialNumber");
    if (serial && decimalFromText(text(serial)) != QString::fromLatin1(certificateSerial(m_signer)))
        error(QStringLiteral("signing-certificate"), serial,
              QStringLiteral("El número de serie del certificado firmante no coincide con el "
                             "del certificado de KeyInfo"));
    xmlNode* issuer = child(issuerSerial, DsigNs, "X509IssuerName");
    if (issuer &&
        nameParts(text(issuer)) != nameParts(QString::fromUtf8(certificateIssuer(m_signer))))
        add(QStringLiteral("signing-certificate-issuer"), Severity::Warning, issuer,
            QStringLiteral("El emisor escrito del certificado firmante («%1») no coincide "
                           "literalmente con el del certificado («%2»)")
                .arg(text(issuer), QString::fromUtf8(certificateIssuer(m_signer))));
}

void Check::checkSignatureValue() {
    X509* signer = m_signer ? m_signer : m_certificates.front().get();
    EVP_PKEY* publicKey = X509_get_pubkey(signer);
    xmlSecKeyData* data = publicKey ? xmlSecOpenSSLEvpKeyAdopt(publicKey) : nullptr;
    xmlSecKey* key = data ? xmlSecKeyCreate() : nullptr;
    if (!key || xmlSecKeySetValue(key, data) < 0) {
        if (data)
            xmlSecKeyDataDestroy(data);
        else
            EVP_PKEY_free(publicKey);
        if (key)
            xmlSecKeyDestroy(key);
        error(QStringLiteral("certificate-key"), m_signature,
              QStringLiteral("No se puede usar la clave pública del certificado firmante"));
        return;
    }
    xmlSecDSigCtx* context = xmlSecDSigCtxCreate(nullptr);
    context->signKey = key;
    // Only this document: no file or network address is ever fetched.
    context->enabledReferenceUris =
        xmlSecTransformUriType(xmlSecTransformUriTypeEmpty | xmlSecTransformUriTypeSameDocument);
    XmlSecurity::takeLastError();
    int result = -1;
    {
        ReferenceFocus focus(m_signature->parent, m_signature);
        focus.install(context);
        result = xmlSecDSigCtxVerify(context, m_signature);
    }
    if (result < 0) {
        error(QStringLiteral("signature-unreadable"), m_signature,
              QStringLiteral("La firma no se puede comprobar (detalle de xmlsec: %1)")
                  .arg(XmlSecurity::takeLastError()));
    } else if (context->status != xmlSecDSigStatusSucceeded) {
        bool referenceFailed = false;
        const xmlSecSize count = xmlSecPtrListGetSize(&context->signedInfoReferences);
        for (xmlSecSize i = 0; i < count; ++i) {
            auto* reference = static_cast<xmlSecDSigReferenceCtx*>(
                xmlSecPtrListGetItem(&context->signedInfoReferences, i));
            if (!reference || reference->status == xmlSecDSigStatusSucceeded)
                continue;
            referenceFailed = true;
            const QString uri = QString::fromUtf8(reinterpret_cast<const char*>(reference->uri));
            const QString type = QString::fromUtf8(reinterpret_cast<const char*>(reference->type));
            QString what;
            if (uri.isEmpty())
                what = QStringLiteral("El contenido del documento ha cambiado después de firmarlo");
            else if (type == QLatin1String(SignedPropertiesType))
                what = QStringLiteral("Las propiedades firmadas (hora de la firma, certificado, "
                                      "política) han cambiado después de firmar");
            else
                what =
                    QStringLiteral("La parte firmada «%1» ha cambiado después de firmar").arg(uri);
            xmlNode* signedInfo = child(m_signature, DsigNs, "SignedInfo");
            xmlNode* node = signedInfo;
            for (xmlNode* r : children(signedInfo, DsigNs, "Reference")) {
                if (attribute(r, "URI") == uri)
                    node = r;
            }
            error(QStringLiteral("reference-digest"), node,
                  what + QStringLiteral(": su huella no coincide"));
        }
        if (!referenceFailed)
            error(QStringLiteral("signature-value"), child(m_signature, DsigNs, "SignatureValue"),
                  QStringLiteral("El valor de la firma no corresponde a lo firmado con la clave "
                                 "del certificado"));
    }
    xmlSecDSigCtxDestroy(context);
    ERR_clear_error();

    xmlNode* method = child(child(m_signature, DsigNs, "SignedInfo"), DsigNs, "SignatureMethod");
    const QString algorithm = attribute(method, "Algorithm");
    if (algorithm.endsWith(QLatin1String("rsa-sha1")))
        add(QStringLiteral("weak-algorithm"), Severity::Warning, method,
            QStringLiteral("La firma usa RSA con SHA-1, un algoritmo que ya no se considera "
                           "seguro"));
    else if (!algorithm.endsWith(QLatin1String("#rsa-sha256")))
        // Valid, but not what this program writes: say what it is.
        add(QStringLiteral("algorithm"), Severity::Info, method,
            QStringLiteral("La firma usa %1 (%2)").arg(algorithmName(algorithm), algorithm));
}

// The signer's certificate as a careful verifier looks at it.
void Check::checkSignerKey() {
    xmlNode* keyInfo = child(m_signature, DsigNs, "KeyInfo");
    if (!certificateAllowsSigning(m_signer))
        add(QStringLiteral("key-usage"), Severity::Warning, keyInfo,
            QStringLiteral("El certificado firmante no está destinado a firmar: su uso de clave "
                           "no incluye la firma digital ni el no repudio"));
    const int bits = rsaKeyBits(m_signer);
    if (bits > 0 && bits < MinimumRsaBits)
        add(QStringLiteral("weak-key"), Severity::Warning, keyInfo,
            QStringLiteral("La clave RSA del certificado firmante tiene %1 bits; por debajo de "
                           "%2 ya no se considera segura")
                .arg(bits)
                .arg(MinimumRsaBits));
}

// The qualifying properties name the signature they qualify.
void Check::checkTarget() {
    xmlNode* qualifying = m_signedProperties->parent;
    const QString target = attribute(qualifying, "Target");
    const QString id = attribute(m_signature, "Id");
    if (!XmlNodes::isElement(qualifying, XadesNs, "QualifyingProperties") || id.isEmpty() ||
        target != u'#' + id)
        error(QStringLiteral("qualifying-target"), qualifying,
              QStringLiteral("Las propiedades XAdES no apuntan a esta firma (Target «%1», firma "
                             "«%2»)")
                  .arg(target, id));
}

void Check::checkPolicy() {
    xmlNode* properties = child(m_signedProperties, XadesNs, "SignedSignatureProperties");
    xmlNode* policy = child(child(properties, XadesNs, "SignaturePolicyIdentifier"), XadesNs,
                            "SignaturePolicyId");
    const QString name = QString::fromUtf8(m_profile.policyName);
    if (!policy) {
        error(QStringLiteral("policy"), properties ? properties : m_signedProperties,
              QStringLiteral("La firma no indica la política de firma de %1 "
                             "(xades:SignaturePolicyIdentifier)")
                  .arg(name));
        return;
    }
    xmlNode* identifier = child(child(policy, XadesNs, "SigPolicyId"), XadesNs, "Identifier");
    if (text(identifier) != QLatin1String(m_profile.policyIdentifier))
        error(QStringLiteral("policy"), identifier ? identifier : policy,
              QStringLiteral("La política de firma «%1» no es la de %2 (%3)")
                  .arg(text(identifier), name, QLatin1String(m_profile.policyIdentifier)));
    xmlNode* hash = child(policy, XadesNs, "SigPolicyHash");
    xmlNode* value = child(hash, DsigNs, "DigestValue");
    if (attribute(child(hash, DsigNs, "DigestMethod"), "Algorithm") != QLatin1String(Sha1) ||
        text(value) != QLatin1String(m_profile.policyDigest))
        error(QStringLiteral("policy-digest"), value ? value : policy,
              QStringLiteral("La huella de la política de firma no es la de %1 (SHA-1 %2)")
                  .arg(name, QLatin1String(m_profile.policyDigest)));
}

void Check::checkSigningTime() {
    xmlNode* properties = child(m_signedProperties, XadesNs, "SignedSignatureProperties");
    xmlNode* time = child(properties, XadesNs, "SigningTime");
    const QDateTime moment = QDateTime::fromString(text(time), Qt::ISODateWithMs);
    if (!moment.isValid()) {
        error(QStringLiteral("signing-time"), time ? time : properties,
              QStringLiteral("La firma no indica una hora de firma válida (xades:SigningTime)"));
        return;
    }
    m_report.signingTime = moment;
    // The time is the signer's own claim: one that has not come yet is false.
    const QDateTime verifying = now();
    if (moment > verifying.addSecs(SignatureVerifier::AllowedClockSkewSeconds))
        error(QStringLiteral("signing-time"), time,
              QStringLiteral("La hora de la firma (%1) es posterior a este momento (%2): una firma "
                             "no puede estar hecha en el futuro")
                  .arg(display(moment), display(verifying)));
    if (!m_signer)
        return;
    const CertificateSummary& signer = m_report.signer;
    if (signer.validFrom.isValid() && moment < signer.validFrom)
        error(QStringLiteral("certificate-validity"), time,
              QStringLiteral("El certificado aún no era válido al firmar (%1): lo es desde el %2")
                  .arg(display(moment), display(signer.validFrom)));
    else if (signer.validTo.isValid() && moment > signer.validTo)
        error(QStringLiteral("certificate-validity"), time,
              QStringLiteral("El certificado había caducado al firmar (%1): caducó el %2")
                  .arg(display(moment), display(signer.validTo)));
    else if (signer.validTo.isValid() && verifying > signer.validTo)
        add(QStringLiteral("certificate-expired"), Severity::Warning, time,
            QStringLiteral("El certificado caducó el %1, después de la hora de la firma (%2). La "
                           "firma era válida entonces, pero esa hora la declara el propio "
                           "firmante: nada prueba que se firmara antes de caducar")
                .arg(display(signer.validTo), display(moment)));
}

QString chainProblem(int code) {
    switch (code) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return QStringLiteral("su autoridad emisora no está entre las de confianza del sistema");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return QStringLiteral("la cadena termina en una autoridad que no es de confianza");
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QStringLiteral("un certificado de la cadena no era válido al firmar");
    case X509_V_ERR_CERT_REVOKED:
        return QStringLiteral("un certificado de la cadena está revocado");
    default:
        break;
    }
    return QStringLiteral("la cadena no se puede comprobar (detalle de OpenSSL: %1)")
        .arg(QString::fromUtf8(X509_verify_cert_error_string(code)));
}

void Check::checkChain() {
    if (!m_signer)
        return;
    X509_STORE* store = X509_STORE_new();
    if (m_options.systemRoots) {
        // The system's folder of roots, looked up by name hash when needed:
        // loading the whole bundle would cost more than the rest of the check.
        QByteArray folders = qgetenv(X509_get_default_cert_dir_env());
        if (folders.isEmpty())
            folders = X509_get_default_cert_dir();
        X509_LOOKUP* lookup = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir());
        X509_LOOKUP_add_dir(lookup, folders.constData(), X509_FILETYPE_PEM);
    }
    for (const QString& file : m_options.trustedCaFiles)
        X509_STORE_load_file(store, QFile::encodeName(file).constData());
    STACK_OF(X509)* untrusted = sk_X509_new_null();
    for (const Certificate& certificate : m_certificates) {
        if (certificate.get() != m_signer)
            sk_X509_push(untrusted, certificate.get());
    }
    X509_STORE_CTX* context = X509_STORE_CTX_new();
    X509_STORE_CTX_init(context, store, m_signer, untrusted);
    if (m_report.signingTime.isValid())
        X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(context),
                                   time_t(m_report.signingTime.toSecsSinceEpoch()));
    const bool trusted = X509_verify_cert(context) == 1;
    const int code = X509_STORE_CTX_get_error(context);
    X509_STORE_CTX_free(context);
    sk_X509_free(untrusted);
    X509_STORE_free(store);
    ERR_clear_error();
    xmlNode* keyInfo = child(m_signature, DsigNs, "KeyInfo");
    if (trusted)
        add(QStringLiteral("chain"), Severity::Info, keyInfo,
            QStringLiteral("El certificado procede de una autoridad de confianza (%1)")
                .arg(m_report.signer.issuerName));
    else
        add(QStringLiteral("chain"), Severity::Warning, keyInfo,
            QStringLiteral("No se ha podido confirmar la confianza en el certificado: %1")
                .arg(chainProblem(code)));
}

SignatureReport Check::run() {
    m_tree = std::make_unique<XmlDocument>(m_bytes);
    if (!m_tree->isRead()) {
        m_report.findings << signatureFinding(QStringLiteral("document"), Severity::Error,
                                              QString(), m_tree->problem());
        return m_report;
    }
    const std::vector<xmlNode*>& signatures = m_tree->signatures();
    if (signatures.empty()) {
        error(QStringLiteral("signature-missing"), m_tree->root(),
              QStringLiteral("El documento no contiene ninguna firma"));
        return m_report;
    }
    m_profile = m_options.profile ? *m_options.profile : SignatureProfile::forRoot(m_tree->root());
    // The signature sits in the root, or where the profile puts it (an
    // event's in its last child).
    xmlNode* holder = m_tree->root();
    if (!m_profile.signatureParent.isEmpty()) {
        xmlNode* last = xmlLastElementChild(holder);
        holder = last && m_profile.signatureParent == reinterpret_cast<const char*>(last->name)
                     ? last
                     : nullptr;
    }
    for (xmlNode* signature : signatures) {
        if (holder && signature->parent == holder) {
            m_signature = signature;
            break;
        }
    }
    if (!m_signature) {
        error(QStringLiteral("signature-not-enveloped"), signatures.front(),
              m_profile.signatureParent.isEmpty()
                  ? QStringLiteral("La firma no está dentro del elemento raíz del documento")
                  : QStringLiteral("La firma no está dentro del elemento «%1» del documento")
                        .arg(QString::fromLatin1(m_profile.signatureParent)));
        return m_report;
    }
    if (signatures.size() > 1)
        add(QStringLiteral("several-signatures"), Severity::Warning, m_signature,
            QStringLiteral("El documento contiene %1 firmas; se comprueba esta")
                .arg(signatures.size()));

    registerIds();
    checkReferences();
    readCertificates();
    if (m_certificates.empty())
        return m_report;
    if (m_signedProperties)
        checkSigningCertificate();
    if (m_signer) {
        m_report.signer = CertificateSummary::of(m_signer);
        checkSignerKey();
    }
    checkSignatureValue();
    if (m_signedProperties) {
        checkTarget();
        checkPolicy();
        checkSigningTime();
    }
    checkChain();
    if (m_report.valid()) {
        QString text = QStringLiteral("Firma válida de %1").arg(m_report.signer.describe());
        if (m_report.signingTime.isValid())
            text += QStringLiteral(", firmada el %1").arg(display(m_report.signingTime));
        m_report.findings.prepend(signatureFinding(QStringLiteral("valid"), Severity::Info,
                                                   XmlNodes::writtenPath(m_signature), text));
    }
    return m_report;
}

} // namespace

namespace SignatureVerifier {

QString trustedCaProblem(const QString& path) {
    QByteArray bytes;
    try {
        bytes = BoundedFile::read(path, 16LL * 1024 * 1024,
                                  QStringLiteral("el fichero de autoridades de confianza"));
    } catch (const AppError& problem) {
        return problem.message();
    }
    XmlSecurity::ensureStarted();
    BIO* bio = BIO_new_mem_buf(bytes.constData(), int(bytes.size()));
    X509* first = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    const bool holdsCertificate = first != nullptr;
    X509_free(first);
    BIO_free(bio);
    ERR_clear_error();
    if (!holdsCertificate)
        return QStringLiteral("El fichero de autoridades de confianza %1 no contiene ningún "
                              "certificado en formato PEM («-----BEGIN CERTIFICATE-----»)")
            .arg(QDir::toNativeSeparators(path));
    return {};
}

SignatureReport verify(const QByteArray& document, const Options& options) {
    try {
        XmlSecurity::ensureStarted();
    } catch (const AppError& problem) {
        SignatureReport report;
        report.findings << signatureFinding(QStringLiteral("library"), Severity::Error, QString(),
                                            problem.message());
        return report;
    }
    return Check(document, options).run();
}

} // namespace SignatureVerifier
