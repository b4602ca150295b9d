#include "TestPki.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "signing/DocumentSigning.h"
#include "signing/SignatureVerifier.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesSigner.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTest>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <functional>
#include <optional>

// Signing and checking in the core: the certificate files, the signature's
// form, the untouched bytes, and every change after signing caught both here
// and by the xmlsec1 command.
class tst_XadesSignature : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openCertificate_data();
    void openCertificate();
    void certificateHolder();
    void taxIdMatching_data();
    void taxIdMatching();
    void signatureForm();
    void signedDocumentKeepsEveryByte_data();
    void signedDocumentKeepsEveryByte();
    void refusesToSign_data();
    void refusesToSign();
    void changeAfterSigningIsCaught_data();
    void changeAfterSigningIsCaught();
    void signatureFromAnotherTool();
    void carefulVerifier_data();
    void carefulVerifier();
    void xadesFromAnotherTool_data();
    void xadesFromAnotherTool();
    void certificateNotValidWhenSigned();
    void chainToTrustedRoots();
    void signFileWritesBesideTheInput();
    void signFileRefusalsWriteNothing_data();
    void signFileRefusalsWriteNothing();
    void issuerTaxIdAgainstCertificate();

private:
    SigningCertificate open(const QString& p12) const;
    QByteArray sign(const QByteArray& document, const QString& p12 = {});

    TestPki m_pki;
    QTemporaryDir m_work;
};

namespace {

using Severity = SignatureFinding::Severity;

const QByteArray Invoice = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                           "<fe:Facturae xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
                           "xmlns:fe=\"http://www.facturae.es/Facturae/2014/v3.2.1/Facturae\">\n"
                           "  <Parties>\n    <SellerParty>\n      <TaxIdentification>\n"
                           "        <PersonTypeCode>J</PersonTypeCode>\n"
                           "        <TaxIdentificationNumber>B15123458</TaxIdentificationNumber>\n"
                           "      </TaxIdentification>\n    </SellerParty>\n  </Parties>\n"
                           "  <Invoices>\n    <Invoice>\n"
                           "      <Item lang=\"es\">Reparación de freno</Item>\n"
                           "      <InvoiceTotal>671.01</InvoiceTotal>\n"
                           "      <Empty></Empty>\n"
                           "    </Invoice>\n  </Invoices>\n"
                           "</fe:Facturae>\n";

QByteArray signatureOf(const QByteArray& signedDocument) {
    const qsizetype start = signedDocument.indexOf("<ds:Signature ");
    const qsizetype end = signedDocument.indexOf("</ds:Signature>");
    return start < 0 || end < 0 ? QByteArray() : signedDocument.mid(start, end + 15 - start);
}

QByteArray withoutSignature(QByteArray signedDocument) {
    return signedDocument.replace(signatureOf(signedDocument), "");
}

bool hasFinding(const SignatureReport& report, const QString& code, Severity severity) {
    for (const SignatureFinding& finding : report.findings) {
        if (finding.code == code && finding.severity == severity)
            return true;
    }
    return false;
}

QString describe(const SignatureReport& report) {
    QStringList lines;
    for (const SignatureFinding& finding : report.findings)
        lines << findingLine(finding);
    return lines.join(u'\n');
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

} // namespace

void tst_XadesSignature::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY(m_work.isValid());
}

SigningCertificate tst_XadesSignature::open(const QString& p12) const {
    QByteArray password(TestPki::Password);
    return SigningCertificate::open(p12, password);
}

QByteArray tst_XadesSignature::sign(const QByteArray& document, const QString& p12) {
    const SigningCertificate certificate = open(p12.isEmpty() ? m_pki.signer : p12);
    return XadesSigner::sign(document, certificate, QDateTime::currentDateTime());
}

void tst_XadesSignature::openCertificate_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("error");     // part of the message; empty when it opens
    QTest::addColumn<int>("intermediates"); // certificates that go to KeyInfo besides the signer's

    const QByteArray right(TestPki::Password);
    QTest::newRow("signer") << m_pki.signer << right << "" << 1;
    QTest::newRow("exported with old ciphers") << m_pki.legacy << right << "" << 1;
    QTest::newRow("representative") << m_pki.representative << right << "" << 1;
    // Another person's certificate is no intermediate.
    QTest::newRow("another person's certificate besides") << m_pki.otherPerson << right << "" << 1;
    // Its own authority (CA:TRUE) and still the signer: the key says which.
    QTest::newRow("self-signed") << m_pki.selfSigned << right << "" << 0;
    QTest::newRow("two private keys")
        << m_pki.twoKeys << right << "contiene varias claves privadas" << -1;
    QTest::newRow("wrong password") << m_pki.signer << QByteArray("clave de prueba 1ñ")
                                    << "La contraseña del certificado no es correcta" << -1;
    QTest::newRow("empty password")
        << m_pki.signer << QByteArray() << "La contraseña del certificado no es correcta" << -1;
    QTest::newRow("no private key") << m_pki.noKey << right << "no contiene la clave privada" << -1;
    QTest::newRow("elliptic-curve key") << m_pki.ecKey << right << "no es RSA" << -1;
    QTest::newRow("PEM, not PKCS#12")
        << m_pki.rootPem << right << "no es un fichero de certificado PKCS#12" << -1;
    QTest::newRow("missing file") << m_pki.path("absent.p12") << right
                                  << "No se puede leer el certificado" << -1;
}

void tst_XadesSignature::openCertificate() {
    QFETCH(QString, file);
    QFETCH(QByteArray, password);
    QFETCH(QString, error);
    QFETCH(int, intermediates);

    // A second handle on the same bytes: the wipe must reach the shared buffer.
    QByteArray given(password.constData(), password.size());
    const QByteArray seen = given;
    std::optional<SigningCertificate> certificate;
    QString message;
    try {
        certificate.emplace(SigningCertificate::open(file, given));
    } catch (const AppError& e) {
        message = e.message();
    }
    QVERIFY(given.isEmpty());
    QCOMPARE(seen, QByteArray(password.size(), '\0'));
    if (error.isEmpty()) {
        QVERIFY2(certificate.has_value(), qPrintable(message));
        QVERIFY(certificate->certificate() && certificate->privateKey());
        QCOMPARE(certificate->intermediates().size(), intermediates);
        QCOMPARE(X509_check_private_key(certificate->certificate(), certificate->privateKey()), 1);
    } else {
        QVERIFY2(message.contains(error), qPrintable(message));
    }
}

void tst_XadesSignature::certificateHolder() {
    const CertificateSummary person = open(m_pki.signer).summary();
    QCOMPARE(person.holderName, QStringLiteral("ANA PRUEBA FICTICIA - 99999999R"));
    QCOMPARE(person.personalTaxId, QStringLiteral("99999999R"));
    QVERIFY(person.companyTaxId.isEmpty());
    QCOMPARE(person.issuerName, QStringLiteral("AC Intermedia Ficticia"));
    const qint64 days = QDateTime::currentDateTimeUtc().daysTo(person.validTo);
    QVERIFY2(days >= 363 && days <= 366, qPrintable(person.validTo.toString(Qt::ISODate)));
    QVERIFY(person.describe().contains(QStringLiteral("NIF 99999999R")));

    const CertificateSummary company = open(m_pki.representative).summary();
    QCOMPARE(company.personalTaxId, QStringLiteral("88888888Y"));
    QCOMPARE(company.companyTaxId, QStringLiteral("B15123458"));
    QCOMPARE(company.companyName, QStringLiteral("Talleres Mecánicos Íñiguez S.L."));

    const CertificateSummary expired = open(m_pki.expired).summary();
    QCOMPARE(expired.validTo, QDateTime(QDate(2021, 1, 1), QTime(0, 0), Qt::UTC));
}

void tst_XadesSignature::taxIdMatching_data() {
    QTest::addColumn<QString>("taxId");
    QTest::addColumn<bool>("person");
    QTest::addColumn<bool>("company");

    QTest::newRow("the company's") << "B15123458" << false << true;
    QTest::newRow("with the country") << "ESB15123458" << false << true;
    QTest::newRow("lower case, hyphen, blank") << " b-15123458" << false << true;
    QTest::newRow("the person's") << "99999999R" << true << false;
    QTest::newRow("the representative's own") << "88888888Y" << false << true;
    QTest::newRow("someone else") << "12345678Z" << false << false;
    QTest::newRow("nothing") << "" << false << false;
}

void tst_XadesSignature::taxIdMatching() {
    QFETCH(QString, taxId);
    QFETCH(bool, person);
    QFETCH(bool, company);
    QCOMPARE(open(m_pki.signer).summary().matchesTaxId(taxId), person);
    QCOMPARE(open(m_pki.representative).summary().matchesTaxId(taxId), company);
}

void tst_XadesSignature::signatureForm() {
    const QByteArray signature = signatureOf(sign(Invoice));
    QVERIFY(!signature.isEmpty());
    const QString text = QString::fromLatin1(signature);
    auto count = [&](const char* pattern) {
        return text.count(QRegularExpression(QString::fromLatin1(pattern)));
    };
    // Ids on the parts the hubs and other verifiers look up.
    for (const char* element : {"ds:Signature", "ds:SignedInfo", "ds:SignatureValue", "ds:KeyInfo",
                                "xades:SignedProperties"})
        QVERIFY2(count((QByteArray("<") + element + " [^>]*Id=\"[^\"]+\"").constData()) == 1,
                 element);
    QCOMPARE(count("<ds:CanonicalizationMethod "
                   "Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"),
             1);
    QCOMPARE(count("Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\""), 1);
    // The document, the signed properties and the KeyInfo, each by SHA-256.
    QCOMPARE(count("<ds:Reference Id=\"[^\"]+\" URI=\"\">"), 1);
    QCOMPARE(count("<ds:Reference Type=\"http://uri.etsi.org/01903#SignedProperties\" "
                   "URI=\"#[^\"]+-SignedProperties\">"),
             1);
    QCOMPARE(count("<ds:Reference URI=\"#[^\"]+-KeyInfo\">"), 1);
    QCOMPARE(count("<ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/>"), 4);
    QCOMPARE(count("Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\""), 1);
    // The signer and the intermediate authority, and the key's value.
    QCOMPARE(count("<ds:X509Certificate>[A-Za-z0-9+/=]{500,}</ds:X509Certificate>"), 2);
    QCOMPARE(count("<ds:RSAKeyValue><ds:Modulus>[A-Za-z0-9+/=]+</ds:Modulus>"
                   "<ds:Exponent>AQAB</ds:Exponent>"),
             1);
    QCOMPARE(count("xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\""), 1);
    QCOMPARE(count("<xades:SigningTime>\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d"
                   "(Z|[+-]\\d\\d:\\d\\d)</xades:SigningTime>"),
             1);
    QCOMPARE(count("<xades:IssuerSerial><ds:X509IssuerName>CN=AC Intermedia Ficticia,"
                   "O=Autoridad de Certificaci&#243;n Ficticia,C=ES</ds:X509IssuerName>"
                   "<ds:X509SerialNumber>\\d+</ds:X509SerialNumber>"),
             1);
    QCOMPARE(count("<xades:Identifier>http://www.facturae.es/politica_de_firma_formato_facturae/"
                   "politica_de_firma_formato_facturae_v3_1.pdf</xades:Identifier>"),
             1);
    QCOMPARE(count("<ds:DigestMethod Algorithm=\"http://www.w3.org/2000/09/xmldsig#sha1\"/>"
                   "<ds:DigestValue>Ohixl6upD6av8N7pEvDABhEL6hM=</ds:DigestValue>"),
             1);
    QCOMPARE(count("<xades:ClaimedRole>emisor</xades:ClaimedRole>"), 1);
    // The data format names the document reference.
    const QRegularExpressionMatch reference =
        QRegularExpression("<ds:Reference Id=\"([^\"]+)\" URI=\"\">").match(text);
    QCOMPARE(count(("<xades:DataObjectFormat ObjectReference=\"#" + reference.captured(1) +
                    "\"><xades:Description>[^<]+</xades:Description>"
                    "<xades:MimeType>text/xml</xades:MimeType>")
                       .toLatin1()
                       .constData()),
             1);
    // Nothing but ASCII: it reads the same in any ASCII-compatible encoding.
    for (char c : signature)
        QVERIFY(uchar(c) < 0x80);
}

void tst_XadesSignature::signedDocumentKeepsEveryByte_data() {
    QTest::addColumn<QByteArray>("document");

    QTest::newRow("invoice") << Invoice;
    QByteArray crlf = Invoice;
    QTest::newRow("CRLF line ends") << crlf.replace("\n", "\r\n");
    QTest::newRow("no declaration, no final line end")
        << QByteArray("<r xmlns=\"urn:x\"><a></a><b x='1'  y=\"2\"/></r>");
    QTest::newRow("end tag quoted after the root")
        << QByteArray("<r><a>&lt;&#233;&amp;</a></r   >\n<!-- </r> -->\n<?pi </r>?>\n");
    QTest::newRow("ISO-8859-1") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                              "<r><a>Pe\xF1"
                                              "a</a></r>\n");
    QTest::newRow("CDATA and comments")
        << QByteArray("<r><!-- c --><a><![CDATA[</r> x]]></a>\n\t</r>");
}

void tst_XadesSignature::signedDocumentKeepsEveryByte() {
    QFETCH(QByteArray, document);
    const QByteArray signedDocument = sign(document);
    QCOMPARE(withoutSignature(signedDocument), document);

    SignatureVerifier::Options options;
    options.trustedCaFiles << m_pki.rootPem;
    const SignatureReport report = SignatureVerifier::verify(signedDocument, options);
    QVERIFY2(report.valid(), qPrintable(describe(report)));
    QVERIFY2(hasFinding(report, "valid", Severity::Info), qPrintable(describe(report)));
    QVERIFY2(hasFinding(report, "chain", Severity::Info), qPrintable(describe(report)));
    QCOMPARE(report.signer.personalTaxId, QStringLiteral("99999999R"));

    const QString file = writeFile(m_work.filePath("kept.xsig"), signedDocument);
    const int xmlsec = m_pki.xmlsec1Accepts(file);
    if (xmlsec < 0)
        QSKIP("xmlsec1 is not installed: the independent check was not run");
    QCOMPARE(xmlsec, 1);
}

void tst_XadesSignature::refusesToSign_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");

    QTest::newRow("already signed")
        << QByteArray("<r><Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"/></r>")
        << "ya está firmado";
    QTest::newRow("DOCTYPE") << QByteArray("<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>")
                             << "DOCTYPE";
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0r\0/\0>\0", 10) << "UTF-16";
    QTest::newRow("not well-formed") << QByteArray("<r><a></r>") << "no es XML bien formado";
    QTest::newRow("empty") << QByteArray() << "no es XML bien formado";
    QTest::newRow("root as an empty tag") << QByteArray("<r a=\"1\"/>") << "etiqueta de cierre";
    // The canonical form walks the tree by recursion: no tree deeper than any invoice.
    QTest::newRow("100,000 levels of nesting")
        << "<r>" + QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000) + "</r>"
        << "anidados a más de 256 niveles";
}

void tst_XadesSignature::refusesToSign() {
    QFETCH(QByteArray, document);
    QFETCH(QString, error);
    try {
        sign(document);
        QFAIL("signed");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(error), qPrintable(e.message()));
    }
}

void tst_XadesSignature::changeAfterSigningIsCaught_data() {
    QTest::addColumn<std::function<void(QByteArray&)>>("change");
    QTest::addColumn<QString>("code"); // the error the check must report

    auto replace = [](const char* from, const char* to) {
        return std::function<void(QByteArray&)>([=](QByteArray& d) {
            QVERIFY(d.contains(from));
            d.replace(from, to);
        });
    };
    QTest::newRow("an amount") << replace("671.01", "671.10") << "reference-digest";
    QTest::newRow("an attribute") << replace("lang=\"es\"", "lang=\"gl\"") << "reference-digest";
    QTest::newRow("an empty element written short") << replace("<Empty></Empty>", "<Empty/>") << "";
    QTest::newRow("an element added after the signature")
        << replace("</ds:Signature>", "</ds:Signature><Note>pagada</Note>") << "reference-digest";
    QTest::newRow("the signing time") << std::function<void(QByteArray&)>([](QByteArray& d) {
        const qsizetype at = d.indexOf("<xades:SigningTime>") + 19;
        QVERIFY(at > 19);
        d[at + 3] = d[at + 3] == '1' ? '2' : '1'; // another year
    }) << "reference-digest";
    QTest::newRow("the policy digest")
        << replace("Ohixl6upD6av8N7pEvDABhEL6hM=", "Ohixl6upD6av8N7pEvDABhEL6hN=")
        << "policy-digest";
    QTest::newRow("the signature's id")
        << replace("#\" Id=\"Signature-", "#\" Id=\"Firma-") << "qualifying-target";
    QTest::newRow("the signature value") << std::function<void(QByteArray&)>([](QByteArray& d) {
        const qsizetype at = d.indexOf("-SignatureValue\">") + 17;
        QVERIFY(at > 17);
        d[at + 10] = d[at + 10] == 'A' ? 'B' : 'A';
    }) << "signature-value";
    QTest::newRow("the signed-properties reference dropped")
        << std::function<void(QByteArray&)>([](QByteArray& d) {
               const qsizetype start =
                   d.indexOf("<ds:Reference Type=\"http://uri.etsi.org/01903#SignedProperties\"");
               const qsizetype end = d.indexOf("</ds:Reference>", start) + 15;
               QVERIFY(start > 0);
               d.remove(start, end - start);
           })
        << "signed-properties";
    QTest::newRow("the enveloped transform dropped")
        << replace("<ds:Transform "
                   "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>",
                   "")
        << "whole-document";
    QTest::newRow("the certificate removed from KeyInfo")
        << std::function<void(QByteArray&)>([](QByteArray& d) {
               const qsizetype start = d.indexOf("<ds:X509Data>");
               const qsizetype end = d.indexOf("</ds:X509Data>") + 14;
               QVERIFY(start > 0);
               d.remove(start, end - start);
           })
        << "certificate-missing";
    QTest::newRow("the signed properties copied under a second id")
        << std::function<void(QByteArray&)>([](QByteArray& d) {
               const qsizetype start = d.indexOf("<xades:SignedProperties ");
               const qsizetype end = d.indexOf("</xades:SignedProperties>") + 25;
               QVERIFY(start > 0);
               const QByteArray copy = d.mid(start, end - start);
               d.replace("</Invoices>", "</Invoices>" + copy);
           })
        << "duplicate-id";
}

void tst_XadesSignature::changeAfterSigningIsCaught() {
    QFETCH(std::function<void(QByteArray&)>, change);
    QFETCH(QString, code);

    QByteArray document = sign(Invoice);
    change(document);
    if (QTest::currentTestFailed())
        return;
    SignatureVerifier::Options options;
    options.trustedCaFiles << m_pki.rootPem;
    const SignatureReport report = SignatureVerifier::verify(document, options);
    const QString file = writeFile(m_work.filePath("changed.xsig"), document);
    const int xmlsec = m_pki.xmlsec1Accepts(file);
    if (code.isEmpty()) {
        // Same canonical form: the signature still holds, for both.
        QVERIFY2(report.valid(), qPrintable(describe(report)));
        if (xmlsec >= 0)
            QCOMPARE(xmlsec, 1);
        return;
    }
    QVERIFY2(!report.valid(), qPrintable(describe(report)));
    QVERIFY2(hasFinding(report, code, Severity::Error), qPrintable(describe(report)));
    QVERIFY(!hasFinding(report, "valid", Severity::Info));
    if (xmlsec < 0)
        QSKIP("xmlsec1 is not installed: the independent check was not run");
    // The policy digest, a duplicated id and the properties' target are XAdES
    // matters xmlsec1 does not look at; every other change it must refuse too.
    if (code != "policy-digest" && code != "duplicate-id" && code != "qualifying-target")
        QCOMPARE(xmlsec, 0);
}

// A signature made by the xmlsec1 command with a reference to an element of
// the document besides the whole document: both digests are checked against
// the full tree, and changing that element is caught.
void tst_XadesSignature::signatureFromAnotherTool() {
    if (QStandardPaths::findExecutable("xmlsec1").isEmpty())
        QSKIP("xmlsec1 is not installed");
    const QString key = m_work.filePath("other-key.pem");
    QProcess openssl;
    openssl.start("openssl",
                  {"pkcs12", "-in", m_pki.signer, "-nocerts", "-nodes", "-passin",
                   QStringLiteral("pass:") + QString::fromUtf8(TestPki::Password), "-out", key});
    QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
    const QString templateFile = writeFile(
        m_work.filePath("other-template.xml"),
        "<r xmlns=\"urn:t\"><data Id=\"inv\"><amount>10.00</amount></data>\n"
        "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"S\"><ds:SignedInfo>"
        "<ds:CanonicalizationMethod "
        "Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
        "<ds:SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"/>"
        "<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
        "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></ds:Transforms>"
        "<ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/>"
        "<ds:DigestValue/></ds:Reference>"
        "<ds:Reference URI=\"#inv\"><ds:DigestMethod "
        "Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue/>"
        "</ds:Reference></ds:SignedInfo><ds:SignatureValue/>"
        "<ds:KeyInfo><ds:X509Data><ds:X509Certificate/></ds:X509Data></ds:KeyInfo>"
        "</ds:Signature></r>\n");
    const QString signedFile = m_work.filePath("other-signed.xml");
    QProcess xmlsec;
    xmlsec.start("xmlsec1", {"--sign", "--privkey-pem", key + "," + m_pki.path("signer.pem"),
                             "--id-attr:Id", "data", "--output", signedFile, templateFile});
    QVERIFY(xmlsec.waitForFinished(60000));
    QFile::remove(key);
    QVERIFY2(xmlsec.exitCode() == 0, xmlsec.readAllStandardError().constData());

    QByteArray document = BoundedFile::readDocument(signedFile);
    SignatureReport report = SignatureVerifier::verify(document);
    QVERIFY2(!hasFinding(report, "reference-digest", Severity::Error) &&
                 !hasFinding(report, "signature-value", Severity::Error) &&
                 !hasFinding(report, "signature-unreadable", Severity::Error),
             qPrintable(describe(report)));
    // Not XAdES: no signed properties, so not valid as an invoice signature.
    QVERIFY(hasFinding(report, "signed-properties", Severity::Error));

    document.replace("<amount>10.00</amount>", "<amount>99.00</amount>");
    report = SignatureVerifier::verify(document);
    QVERIFY2(hasFinding(report, "reference-digest", Severity::Error), qPrintable(describe(report)));
}

// What the signing time cannot prove, and certificates a careful verifier
// looks at twice. The verifying clock is set: nothing depends on today.
void tst_XadesSignature::carefulVerifier_data() {
    QTest::addColumn<QString>("p12");
    QTest::addColumn<qint64>("clock");    // seconds from the signing time to the verifying clock
    QTest::addColumn<bool>("fromExpiry"); // ... counted from the certificate's expiry instead
    QTest::addColumn<QString>("code");    // the finding looked at
    QTest::addColumn<int>("severity");    // -1: it must be absent
    QTest::addColumn<bool>("valid");

    const int error = int(Severity::Error), warning = int(Severity::Warning), absent = -1;
    const qint64 minute = 60, day = 86400;
    QTest::newRow("signing time 3 1/2 years ahead")
        << m_pki.signer << -qint64(3.5 * 365 * day) << false << "signing-time" << error << false;
    QTest::newRow("signing time 6 minutes ahead")
        << m_pki.signer << -6 * minute << false << "signing-time" << error << false;
    QTest::newRow("signing time 4 minutes ahead: clocks differ")
        << m_pki.signer << -4 * minute << false << "signing-time" << absent << true;
    QTest::newRow("certificate expired since")
        << m_pki.signer << day << true << "certificate-expired" << warning << true;
    QTest::newRow("certificate still valid")
        << m_pki.signer << -minute << true << "certificate-expired" << absent << true;
    QTest::newRow("key usage without signatures")
        << m_pki.encipherOnly << minute << false << "key-usage" << warning << true;
    QTest::newRow("no key usage: every use allowed")
        << m_pki.noKeyUsage << minute << false << "key-usage" << absent << true;
    QTest::newRow("1024-bit RSA key")
        << m_pki.smallKey << minute << false << "weak-key" << warning << true;
    QTest::newRow("2048-bit RSA key")
        << m_pki.signer << minute << false << "weak-key" << absent << true;
}

void tst_XadesSignature::carefulVerifier() {
    QFETCH(QString, p12);
    QFETCH(qint64, clock);
    QFETCH(bool, fromExpiry);
    QFETCH(QString, code);
    QFETCH(int, severity);
    QFETCH(bool, valid);

    const SigningCertificate certificate = open(p12);
    const CertificateSummary summary = certificate.summary();
    const QDateTime signingTime = summary.validFrom.addDays(1);
    const QByteArray document = XadesSigner::sign(Invoice, certificate, signingTime);
    SignatureVerifier::Options options;
    options.trustedCaFiles << m_pki.rootPem;
    options.at = (fromExpiry ? summary.validTo : signingTime).addSecs(clock);
    const SignatureReport report = SignatureVerifier::verify(document, options);
    QVERIFY2(report.valid() == valid, qPrintable(describe(report)));
    QCOMPARE(hasFinding(report, "valid", Severity::Info), valid);
    bool found = false;
    for (const SignatureFinding& finding : report.findings)
        found = found || finding.code == code;
    if (severity < 0)
        QVERIFY2(!found, qPrintable(describe(report)));
    else
        QVERIFY2(hasFinding(report, code, Severity(severity)), qPrintable(describe(report)));
}

namespace {

QByteArray derLength(qsizetype n) {
    if (n < 0x80)
        return QByteArray(1, char(n));
    QByteArray bytes;
    for (; n > 0; n >>= 8)
        bytes.prepend(char(n & 0xff));
    return char(0x80 | bytes.size()) + bytes;
}

// IssuerSerial of RFC 5035, as XAdES 1.4.1's IssuerSerialV2 carries it.
QByteArray issuerSerialV2(X509* certificate, long serialOverride) {
    GENERAL_NAMES* names = GENERAL_NAMES_new();
    GENERAL_NAME* name = GENERAL_NAME_new();
    name->type = GEN_DIRNAME;
    name->d.directoryName = X509_NAME_dup(X509_get_issuer_name(certificate));
    sk_GENERAL_NAME_push(names, name);
    unsigned char* namesDer = nullptr;
    const int namesLength = i2d_GENERAL_NAMES(names, &namesDer);
    ASN1_INTEGER* serial = ASN1_INTEGER_dup(X509_get0_serialNumber(certificate));
    if (serialOverride > 0)
        ASN1_INTEGER_set(serial, serialOverride);
    unsigned char* serialDer = nullptr;
    const int serialLength = i2d_ASN1_INTEGER(serial, &serialDer);
    const QByteArray body = QByteArray(reinterpret_cast<const char*>(namesDer), namesLength) +
                            QByteArray(reinterpret_cast<const char*>(serialDer), serialLength);
    OPENSSL_free(namesDer);
    OPENSSL_free(serialDer);
    ASN1_INTEGER_free(serial);
    GENERAL_NAMES_free(names);
    return '\x30' + derLength(body.size()) + body;
}

X509* readCertificate(const QString& pem) {
    BIO* bio = BIO_new_file(QFile::encodeName(pem).constData(), "r");
    X509* certificate = bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    return certificate;
}

} // namespace

// XAdES signatures as other signing tools write them, made by the xmlsec1
// command from a template: an ECDSA key, and the newer SigningCertificateV2.
void tst_XadesSignature::xadesFromAnotherTool_data() {
    QTest::addColumn<QString>("person"); // the certificate and key made for this name
    QTest::addColumn<QString>("form");   // "v1", "v2", or "v2, another serial"
    QTest::addColumn<QString>("error");  // the error expected; empty: valid
    QTest::addColumn<QString>("note");   // part of an information finding expected, or empty

    const QString ecdsa = QStringLiteral("ECDSA con SHA-256");
    QTest::newRow("ECDSA, SigningCertificate") << "ec"
                                               << "v1"
                                               << "" << ecdsa;
    QTest::newRow("RSA, SigningCertificateV2") << "signer"
                                               << "v2"
                                               << ""
                                               << "";
    QTest::newRow("ECDSA, SigningCertificateV2") << "ec"
                                                 << "v2"
                                                 << "" << ecdsa;
    QTest::newRow("SigningCertificateV2 naming another serial") << "signer"
                                                                << "v2, another serial"
                                                                << "signing-certificate"
                                                                << "";
}

void tst_XadesSignature::xadesFromAnotherTool() {
    QFETCH(QString, person);
    QFETCH(QString, form);
    QFETCH(QString, error);
    QFETCH(QString, note);
    if (QStandardPaths::findExecutable("xmlsec1").isEmpty())
        QSKIP("xmlsec1 is not installed");

    const QString key = m_work.filePath(person + "-key.pem");
    QProcess openssl;
    openssl.start("openssl",
                  {"pkcs12", "-in", person == "ec" ? m_pki.ecKey : m_pki.signer, "-nocerts",
                   "-nodes", "-passin",
                   QStringLiteral("pass:") + QString::fromUtf8(TestPki::Password), "-out", key});
    QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
    const QString pem = m_pki.path(person + ".pem");
    X509* certificate = readCertificate(pem);
    QVERIFY(certificate);
    const QByteArray der = certificateDer(certificate);
    const QByteArray digest = QCryptographicHash::hash(der, QCryptographicHash::Sha256).toBase64();
    const QDateTime signingTime = CertificateSummary::of(certificate).validFrom.addDays(1);
    QByteArray cert = "<xades:Cert><xades:CertDigest><ds:DigestMethod "
                      "Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue>" +
                      digest + "</ds:DigestValue></xades:CertDigest>";
    QByteArray signingCertificate;
    if (form == "v1") {
        cert += "<xades:IssuerSerial><ds:X509IssuerName>" + certificateIssuer(certificate) +
                "</ds:X509IssuerName><ds:X509SerialNumber>" + certificateSerial(certificate) +
                "</ds:X509SerialNumber></xades:IssuerSerial></xades:Cert>";
        signingCertificate = "<xades:SigningCertificate>" + cert + "</xades:SigningCertificate>";
    } else {
        cert += "<xades:IssuerSerialV2>" +
                issuerSerialV2(certificate, form.contains("another") ? 12345 : 0).toBase64() +
                "</xades:IssuerSerialV2></xades:Cert>";
        signingCertificate =
            "<xades:SigningCertificateV2>" + cert + "</xades:SigningCertificateV2>";
    }
    X509_free(certificate);
    const QByteArray method = person == "ec" ? "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256"
                                             : "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256";
    const QByteArray signature =
        "<ds:Signature Id=\"S\"><ds:SignedInfo><ds:CanonicalizationMethod "
        "Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/><ds:SignatureMethod "
        "Algorithm=\"" +
        method +
        "\"/>"
        "<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
        "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></ds:Transforms>"
        "<ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue/>"
        "</ds:Reference><ds:Reference Type=\"http://uri.etsi.org/01903#SignedProperties\" "
        "URI=\"#SP\"><ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/>"
        "<ds:DigestValue/></ds:Reference></ds:SignedInfo><ds:SignatureValue/><ds:KeyInfo>"
        "<ds:X509Data><ds:X509Certificate/></ds:X509Data></ds:KeyInfo><ds:Object>"
        "<xades:QualifyingProperties xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\" "
        "Target=\"#S\"><xades:SignedProperties Id=\"SP\"><xades:SignedSignatureProperties>"
        "<xades:SigningTime>" +
        signingTime.toString(Qt::ISODate).toLatin1() + "</xades:SigningTime>" + signingCertificate +
        "<xades:SignaturePolicyIdentifier><xades:SignaturePolicyId><xades:SigPolicyId>"
        "<xades:Identifier>http://www.facturae.es/politica_de_firma_formato_facturae/"
        "politica_de_firma_formato_facturae_v3_1.pdf</xades:Identifier></xades:SigPolicyId>"
        "<xades:SigPolicyHash><ds:DigestMethod Algorithm=\"http://www.w3.org/2000/09/"
        "xmldsig#sha1\"/><ds:DigestValue>Ohixl6upD6av8N7pEvDABhEL6hM=</ds:DigestValue>"
        "</xades:SigPolicyHash></xades:SignaturePolicyId></xades:SignaturePolicyIdentifier>"
        "</xades:SignedSignatureProperties></xades:SignedProperties>"
        "</xades:QualifyingProperties></ds:Object></ds:Signature>";
    QByteArray unsignedDocument = Invoice;
    unsignedDocument.insert(unsignedDocument.lastIndexOf("</fe:Facturae>"), signature);
    const QString templateFile = writeFile(m_work.filePath("xades-template.xml"), unsignedDocument);
    const QString signedFile = m_work.filePath("xades-signed.xml");
    QProcess xmlsec;
    xmlsec.start("xmlsec1", {"--sign", "--privkey-pem", key + "," + pem, "--id-attr:Id",
                             "http://uri.etsi.org/01903/v1.3.2#:SignedProperties", "--output",
                             signedFile, templateFile});
    QVERIFY(xmlsec.waitForFinished(60000));
    QFile::remove(key);
    QVERIFY2(xmlsec.exitCode() == 0, xmlsec.readAllStandardError().constData());

    SignatureVerifier::Options options;
    options.trustedCaFiles << m_pki.rootPem;
    options.at = signingTime.addSecs(3600);
    const SignatureReport report =
        SignatureVerifier::verify(BoundedFile::readDocument(signedFile), options);
    if (!error.isEmpty()) {
        QVERIFY2(hasFinding(report, error, Severity::Error), qPrintable(describe(report)));
        return;
    }
    QVERIFY2(report.valid(), qPrintable(describe(report)));
    QVERIFY2(hasFinding(report, "valid", Severity::Info), qPrintable(describe(report)));
    QCOMPARE(hasFinding(report, "algorithm", Severity::Info), !note.isEmpty());
    if (!note.isEmpty())
        QVERIFY2(describe(report).contains(note), qPrintable(describe(report)));
}

void tst_XadesSignature::certificateNotValidWhenSigned() {
    const SigningCertificate certificate = open(m_pki.signer);
    const QDateTime before = certificate.summary().validFrom.addDays(-2);
    const QByteArray document = XadesSigner::sign(Invoice, certificate, before);
    SignatureVerifier::Options options;
    options.trustedCaFiles << m_pki.rootPem;
    const SignatureReport report = SignatureVerifier::verify(document, options);
    QVERIFY2(hasFinding(report, "certificate-validity", Severity::Error),
             qPrintable(describe(report)));
    QCOMPARE(report.signingTime.toSecsSinceEpoch(), before.toSecsSinceEpoch());
}

void tst_XadesSignature::chainToTrustedRoots() {
    const QByteArray document = sign(Invoice);
    SignatureVerifier::Options systemOnly;
    const SignatureReport untrusted = SignatureVerifier::verify(document, systemOnly);
    QVERIFY2(untrusted.valid(), qPrintable(describe(untrusted)));
    QVERIFY2(hasFinding(untrusted, "chain", Severity::Warning), qPrintable(describe(untrusted)));

    // The intermediate authority comes from KeyInfo: trusting the root is enough.
    SignatureVerifier::Options withRoot;
    withRoot.trustedCaFiles << m_pki.rootPem;
    const SignatureReport trusted = SignatureVerifier::verify(document, withRoot);
    QVERIFY2(hasFinding(trusted, "chain", Severity::Info), qPrintable(describe(trusted)));

    // The intermediate alone, with no root above it, is no anchor.
    SignatureVerifier::Options intermediateOnly;
    intermediateOnly.systemRoots = false;
    intermediateOnly.trustedCaFiles << m_pki.intermediatePem;
    QVERIFY(hasFinding(SignatureVerifier::verify(document, intermediateOnly), "chain",
                       Severity::Warning));
}

void tst_XadesSignature::signFileWritesBesideTheInput() {
    const QString input = writeFile(m_work.filePath("F2024-9.xml"), Invoice);
    QFile::remove(m_work.filePath("F2024-9.XSIG"));
    const SigningCertificate certificate = open(m_pki.signer);
    const DocumentSigning::SignResult result = DocumentSigning::signFile(input, certificate);
    QCOMPARE(result.output, m_work.filePath("F2024-9.XSIG"));
    QVERIFY2(result.report.valid(), qPrintable(describe(result.report)));
    const SignatureReport again = DocumentSigning::verifyFile(result.output);
    QVERIFY2(again.valid(), qPrintable(describe(again)));
    QCOMPARE(withoutSignature(BoundedFile::readDocument(result.output)), Invoice);

    const SignatureReport missing = DocumentSigning::verifyFile(m_work.filePath("none.xsig"));
    QVERIFY(hasFinding(missing, "file", Severity::Error));
    const SignatureReport unsignedDocument = DocumentSigning::verifyFile(input);
    QVERIFY(hasFinding(unsignedDocument, "signature-missing", Severity::Error));
}

void tst_XadesSignature::signFileRefusalsWriteNothing_data() {
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");

    QTest::newRow("expired") << m_pki.expired << Invoice << "El certificado caducó el 01/01/2021";
    QTest::newRow("not yet valid")
        << m_pki.notYetValid << Invoice << "El certificado aún no es válido";
    QTest::newRow("already signed") << m_pki.signer << sign(Invoice) << "ya está firmado";
    QTest::newRow("not XML") << m_pki.signer << QByteArray("Factura") << "no es XML";
    QTest::newRow("a certificate not meant for signatures")
        << m_pki.encipherOnly << Invoice << "no sirve para firmar";
}

void tst_XadesSignature::signFileRefusalsWriteNothing() {
    QFETCH(QString, certificate);
    QFETCH(QByteArray, document);
    QFETCH(QString, error);
    const QString input = writeFile(m_work.filePath("refused.xml"), document);
    const QString output = m_work.filePath("refused.XSIG");
    QFile::remove(output);
    const SigningCertificate opened = open(certificate);
    try {
        DocumentSigning::signFile(input, opened);
        QFAIL("signed");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(error), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(output));
    QCOMPARE(BoundedFile::readDocument(input), document);
}

void tst_XadesSignature::issuerTaxIdAgainstCertificate() {
    QCOMPARE(DocumentSigning::issuerTaxId(Invoice), QStringLiteral("B15123458"));
    const QString warning = DocumentSigning::taxIdMismatch(Invoice, open(m_pki.signer).summary());
    QVERIFY2(warning.contains("B15123458") && warning.contains("99999999R"), qPrintable(warning));
    QVERIFY(
        DocumentSigning::taxIdMismatch(Invoice, open(m_pki.representative).summary()).isEmpty());
    // A buyer's tax id is not the issuer's.
    QByteArray buyerOnly = Invoice;
    buyerOnly.replace("SellerParty", "BuyerParty");
    QVERIFY(DocumentSigning::issuerTaxId(buyerOnly).isEmpty());
    QVERIFY(DocumentSigning::taxIdMismatch(buyerOnly, open(m_pki.signer).summary()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_XadesSignature)
#include "tst_XadesSignature.moc"
