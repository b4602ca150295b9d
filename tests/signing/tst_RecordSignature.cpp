#include "../records/EventTestKit.h"
#include "CliRunner.h"
#include "TestPki.h"

#include "common/AppError.h"
#include "records/RecordBuilder.h"
#include "signing/DocumentSigning.h"
#include "signing/SignatureVerifier.h"
#include "signing/SigningCertificate.h"
#include "signing/XadesNames.h"

#include <QTest>

// Billing records and events signed under the general policy of the State's
// administration: checked by the xmlsec1 command and against the tax
// agency's schemas; the tax agency's own signed record checked at a fixed
// time and refused after any change.
class tst_RecordSignature : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void signedDocuments_data();
    void signedDocuments();
    void signingRefusals();
    void aeatExampleAtAFixedTime();
    void aeatExampleChanged_data();
    void aeatExampleChanged();
    void aeatExampleByTheTool_data();
    void aeatExampleByTheTool();

private:
    SigningCertificate open(const QString& p12) const {
        QByteArray password(TestPki::Password);
        return SigningCertificate::open(p12, password);
    }
    int xmlsec1Accepts(const QByteArray& bytes, const QString& name);

    TestPki m_pki;
    QTemporaryDir m_work;
};

namespace {

using namespace RecordTestKit;
using CliRunner::Run;

// The test certificates are made valid from the moment the suite starts.
QDateTime signingTime() {
    return QDateTime::currentDateTime();
}

QByteArray aeatExample() {
    return readFile(verifactuPath("examples/ejemploRegistro-firmado-epes-xades4j.xml"));
}

SignatureVerifier::Options at(const QDateTime& moment) {
    SignatureVerifier::Options options;
    options.at = moment;
    return options;
}

const QDateTime BeforeExpiry(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC);

} // namespace

void tst_RecordSignature::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY(m_work.isValid());
}

// 1 accepted, 0 refused, -1 without xmlsec1. Only the attribute the brief's
// command names: the record's signature needs no other id registered.
int tst_RecordSignature::xmlsec1Accepts(const QByteArray& bytes, const QString& name) {
    if (QStandardPaths::findExecutable("xmlsec1").isEmpty())
        return -1;
    const QString file = CliRunner::writeFile(m_work, name, bytes);
    const Run run = CliRunner::run("xmlsec1", {"--verify", "--trusted-pem", m_pki.rootPem,
                                               "--untrusted-pem", m_pki.intermediatePem,
                                               "--id-attr:Id", "SignedProperties", file});
    return run.status == 0 ? 1 : 0;
}

void tst_RecordSignature::signedDocuments_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("event");
    QTest::newRow("alta") << RecordBuilder::build(alta()).xml << false;
    QTest::newRow("anulación") << RecordBuilder::build(anulacion()).xml << false;
    QTest::newRow("event: start of the mode")
        << EventBuilder::build(EventTestKit::anEvent(EventType::ModeStart)).xml << true;
    QTest::newRow("event: summary")
        << EventBuilder::build(EventTestKit::anEvent(EventType::Summary)).xml << true;
}

void tst_RecordSignature::signedDocuments() {
    QFETCH(QByteArray, document);
    QFETCH(bool, event);
    const SignatureProfile profile =
        event ? SignatureProfile::event() : SignatureProfile::billingRecord();
    const QByteArray signedBytes =
        DocumentSigning::signRecord(document, open(m_pki.signer), profile, signingTime());

    // The record's bytes stay; the signature goes in last, in the root or
    // in the event's Evento.
    const QByteArray end = event ? "</sf:Evento>" : document.mid(document.lastIndexOf("</"));
    const qsizetype signatureAt = signedBytes.indexOf("<ds:Signature ");
    QVERIFY(signatureAt > 0);
    QCOMPARE(signedBytes.left(signatureAt), document.left(signatureAt));
    QVERIFY(signedBytes.indexOf(end, signatureAt) > signedBytes.indexOf("</ds:Signature>"));
    QCOMPARE(signedBytes.count("<ds:Signature "), 1);

    QVERIFY(signedBytes.contains("<xades:Identifier>urn:oid:2.16.724.1.3.1.1.2.1.9"
                                 "</xades:Identifier>"));
    QVERIFY(signedBytes.contains("<ds:DigestValue>G7roucf600+f03r/o0bAOQ6WAs0=</ds:DigestValue>"));
    QVERIFY(signedBytes.contains("xmldsig-more#rsa-sha256"));
    QVERIFY(signedBytes.contains("<ds:Reference Id=\"") && signedBytes.contains("URI=\"\""));
    QVERIFY(!signedBytes.contains(XadesNames::PolicyIdentifier));

    const QStringList errors = schemaErrors(signedBytes);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));

    SignatureVerifier::Options options;
    options.trustedCaFiles << m_pki.rootPem;
    const SignatureReport report = SignatureVerifier::verify(signedBytes, options);
    QVERIFY2(report.valid(), qPrintable(report.findings.first().message));

    const int xmlsec = xmlsec1Accepts(signedBytes, QString::fromLatin1(QTest::currentDataTag()));
    if (xmlsec < 0)
        QSKIP("xmlsec1 is not installed: the independent check was not run");
    QCOMPARE(xmlsec, 1);
    // A changed character is refused by both.
    QByteArray changed = signedBytes;
    const qsizetype nif = changed.indexOf("89890001K");
    changed[nif] = '7';
    QVERIFY(!SignatureVerifier::verify(changed, options).valid());
    QCOMPARE(xmlsec1Accepts(changed, QString::fromLatin1(QTest::currentDataTag()) + "-changed"), 0);
}

void tst_RecordSignature::signingRefusals() {
    const QByteArray record = RecordBuilder::build(alta()).xml;
    // An expired certificate signs nothing.
    QVERIFY_THROWS_EXCEPTION(
        AppError, DocumentSigning::signRecord(record, open(m_pki.expired),
                                              SignatureProfile::billingRecord(), signingTime()));
    // Nor is a record signed twice.
    const QByteArray once = DocumentSigning::signRecord(
        record, open(m_pki.signer), SignatureProfile::billingRecord(), signingTime());
    QVERIFY_THROWS_EXCEPTION(
        AppError, DocumentSigning::signRecord(once, open(m_pki.signer),
                                              SignatureProfile::billingRecord(), signingTime()));
    // An event's signature needs its Evento last.
    QVERIFY_THROWS_EXCEPTION(AppError,
                             DocumentSigning::signRecord(record, open(m_pki.signer),
                                                         SignatureProfile::event(), signingTime()));
    // A record signed under the invoices' policy is not a record's signature.
    SignatureVerifier::Options options;
    options.profile = SignatureProfile::billingRecord();
    QByteArray facturaePolicy = once;
    facturaePolicy.replace("urn:oid:2.16.724.1.3.1.1.2.1.9", XadesNames::PolicyIdentifier);
    const SignatureReport report = SignatureVerifier::verify(facturaePolicy, options);
    QVERIFY(!report.valid());
    bool policyNamed = false;
    for (const SignatureFinding& f : report.findings)
        policyNamed = policyNamed || f.code == u"policy";
    QVERIFY(policyNamed);
}

void tst_RecordSignature::aeatExampleAtAFixedTime() {
    const SignatureReport report = SignatureVerifier::verify(aeatExample(), at(BeforeExpiry));
    QStringList lines;
    for (const SignatureFinding& f : report.findings)
        lines << findingLine(f);
    QVERIFY2(report.valid(), qPrintable(lines.join(u'\n')));
    QVERIFY(report.signer.validTo.isValid());
    QCOMPARE(report.signer.validTo.date(), QDate(2026, 4, 19));
    QCOMPARE(report.signingTime.toUTC(),
             QDateTime(QDate(2025, 2, 3), QTime(15, 15, 55, 105), Qt::UTC));
    // Checked before its signing time, it is a signature from the future.
    const SignatureReport early = SignatureVerifier::verify(
        aeatExample(), at(QDateTime(QDate(2025, 1, 1), QTime(), Qt::UTC)));
    QVERIFY(!early.valid());
}

void tst_RecordSignature::aeatExampleChanged_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("an amount") << QByteArray("<sum1:ImporteTotal>241.4<")
                               << QByteArray("<sum1:ImporteTotal>241.5<");
    QTest::newRow("the fingerprint") << QByteArray(">FF954378B6") << QByteArray(">FF954378B7");
    QTest::newRow("the signing time")
        << QByteArray("2025-02-03T16:15:55.105") << QByteArray("2025-02-03T16:15:56.105");
    QTest::newRow("the signature value")
        << QByteArray("ruvN8lGx0knq") << QByteArray("ruvN8lGx0kmq");
}

void tst_RecordSignature::aeatExampleChanged() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QByteArray changed = aeatExample();
    QCOMPARE(changed.count(from), 1);
    QCOMPARE(from.size(), to.size());
    changed.replace(from, to);
    QVERIFY(!SignatureVerifier::verify(changed, at(BeforeExpiry)).valid());
}

void tst_RecordSignature::aeatExampleByTheTool_data() {
    QTest::addColumn<QString>("when");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("status");
    QTest::newRow("its day, as dd/mm/aaaa") << "03/02/2025" << false << 0;
    QTest::newRow("before expiry, ISO day") << "2026-04-18" << false << 0;
    QTest::newRow("a moment with its offset") << "2025-02-03T17:00:00+01:00" << false << 0;
    QTest::newRow("one character changed") << "2025-03-01" << true << 1;
    QTest::newRow("before it was signed") << "2025-02-02" << false << 1;
    QTest::newRow("not a date") << "ayer" << false << 2;
}

void tst_RecordSignature::aeatExampleByTheTool() {
    QFETCH(QString, when);
    QFETCH(bool, changed);
    QFETCH(int, status);
    QByteArray bytes = aeatExample();
    if (changed)
        bytes.replace("<sum1:CuotaTotal>41.4<", "<sum1:CuotaTotal>41.5<");
    const QString file = CliRunner::writeFile(m_work, "ejemplo.xml", bytes);
    const Run run = CliRunner::run(ORVANE_CLI_PATH, {"verify", "--at", when, file});
    QVERIFY2(run.status == status, qPrintable(run.out + run.err));
    if (status == 0) {
        QVERIFY2(run.out.startsWith(file + ": INFO valid "), qPrintable(run.out));
        QVERIFY(!run.out.contains("certificate-expired"));
    }
    if (status == 2)
        QVERIFY(run.err.contains("--at"));
}

QTEST_GUILESS_MAIN(tst_RecordSignature)
#include "tst_RecordSignature.moc"
