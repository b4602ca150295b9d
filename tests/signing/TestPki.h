#pragma once

// Test certificates, made with the openssl command into a temporary folder
// each time the tests run: a root authority, an intermediate one, and signers
// issued by the intermediate with made-up names and tax ids. No key is kept.
// The one file the command cannot make (two private keys) is made with the
// library.

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestPki {
public:
    static constexpr char Password[] = "Clave de prueba 1ñ";

    // Names of the PKCS#12 files made; each holds its key (except NoKey) and
    // the intermediate authority.
    QString signer;         // natural person, serialNumber IDCES-99999999R
    QString representative; // company representative, organizationIdentifier VATES-B15123458
    QString legacy;         // the signer exported with the old RC2/3DES ciphers
    QString expired;        // valid 2020-2021
    QString notYetValid;    // valid from 2090
    QString noKey;          // the signer's certificate without its key
    QString ecKey;          // an elliptic-curve key
    QString twoKeys;        // the signer's and the representative's keys and certificates
    QString otherPerson;    // the signer with the representative's certificate besides
    QString encipherOnly;   // keyUsage keyEncipherment alone: not for signatures
    QString noKeyUsage;     // no keyUsage extension: every use allowed
    QString smallKey;       // a 1024-bit RSA key
    QString selfSigned;     // its own authority (CA:TRUE), no file besides
    QString rootPem;        // the root authority, to be trusted
    QString intermediatePem;

    QString problem; // why create() failed

    static bool available() { return !QStandardPaths::findExecutable("openssl").isEmpty(); }

    bool create() {
        if (!m_dir.isValid())
            return fail("no temporary folder");
        const QString conf = path("openssl.cnf");
        QFile file(conf);
        if (!file.open(QIODevice::WriteOnly))
            return fail("cannot write openssl.cnf");
        file.write("[ca]\ndefault_ca = test\n"
                   "[test]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\n"
                   "default_md = sha256\npolicy = any\nunique_subject = no\n"
                   "[any]\ncommonName = supplied\n"
                   "[authority]\nbasicConstraints = critical,CA:TRUE\n"
                   "keyUsage = critical,keyCertSign,cRLSign\nsubjectKeyIdentifier = hash\n"
                   "authorityKeyIdentifier = keyid\n"
                   "[person]\nbasicConstraints = CA:FALSE\n"
                   "keyUsage = critical,digitalSignature,nonRepudiation\n"
                   "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid\n"
                   "[encipher]\nbasicConstraints = CA:FALSE\n"
                   "keyUsage = critical,keyEncipherment\n"
                   "[plain]\nbasicConstraints = CA:FALSE\n");
        file.close();
        QFile::remove(path("index.txt"));
        QFile index(path("index.txt"));
        index.open(QIODevice::WriteOnly);
        index.close();
        QFile serial(path("serial"));
        serial.open(QIODevice::WriteOnly);
        serial.write("1000\n");
        serial.close();

        rootPem = path("root.pem");
        intermediatePem = path("intermediate.pem");
        if (!rsaKey("root.key") ||
            !run({"req", "-x509", "-utf8", "-new", "-key", path("root.key"), "-out", rootPem,
                  "-days", "7300", "-subj",
                  "/C=ES/O=Autoridad de Certificación Ficticia/CN=AC Raíz Ficticia", "-addext",
                  "basicConstraints=critical,CA:TRUE", "-addext",
                  "keyUsage=critical,keyCertSign,cRLSign"}))
            return false;
        if (!rsaKey("intermediate.key") ||
            !request("intermediate", "/C=ES/O=Autoridad de Certificación Ficticia/CN=AC "
                                     "Intermedia Ficticia") ||
            !issue("intermediate", rootPem, "root.key", "authority", {"-days", "3650"}))
            return false;

        signer = path("signer.p12");
        if (!person("signer",
                    "/C=ES/serialNumber=IDCES-99999999R/GN=ANA/SN=PRUEBA/"
                    "CN=ANA PRUEBA FICTICIA - 99999999R",
                    true, {"-days", "365"}) ||
            !exportP12("signer", signer, {}))
            return false;
        representative = path("representative.p12");
        if (!person("representative",
                    "/C=ES/serialNumber=IDCES-88888888Y/GN=LUIS/SN=EJEMPLO/"
                    "CN=88888888Y LUIS EJEMPLO (R: B15123458)/"
                    "O=Talleres Mecánicos Íñiguez S.L./organizationIdentifier=VATES-B15123458",
                    true, {"-days", "365"}) ||
            !exportP12("representative", representative, {}))
            return false;
        QFile chain(path("chain-and-person.pem"));
        if (!chain.open(QIODevice::WriteOnly))
            return fail("cannot write chain-and-person.pem");
        for (const QString& pem : {intermediatePem, path("representative.pem")}) {
            QFile part(pem);
            part.open(QIODevice::ReadOnly);
            chain.write(part.readAll());
        }
        chain.close();
        legacy = path("legacy.p12");
        if (!exportP12("signer", legacy, {"-legacy"}))
            return false;
        expired = path("expired.p12");
        if (!person("expired", "/C=ES/serialNumber=IDCES-99999999R/CN=ANA CADUCADA - 99999999R",
                    true, {"-startdate", "20200101000000Z", "-enddate", "20210101000000Z"}) ||
            !exportP12("expired", expired, {}))
            return false;
        notYetValid = path("future.p12");
        if (!person("future", "/C=ES/serialNumber=IDCES-99999999R/CN=ANA FUTURA - 99999999R", true,
                    {"-startdate", "20900101000000Z", "-enddate", "20910101000000Z"}) ||
            !exportP12("future", notYetValid, {}))
            return false;
        noKey = path("nokey.p12");
        if (!run({"pkcs12", "-export", "-nokeys", "-in", path("signer.pem"), "-certfile",
                  intermediatePem, "-out", noKey, "-passout",
                  QStringLiteral("pass:") + QString::fromUtf8(Password)}))
            return false;
        ecKey = path("ec.p12");
        if (!person("ec", "/C=ES/serialNumber=IDCES-99999999R/CN=ANA CURVA - 99999999R", false,
                    {"-days", "365"}) ||
            !exportP12("ec", ecKey, {}))
            return false;
        twoKeys = path("twokeys.p12");
        if (!twoKeyFile(twoKeys))
            return false;
        otherPerson = path("otherperson.p12");
        if (!run({"pkcs12", "-export", "-inkey", path("signer.key"), "-in", path("signer.pem"),
                  "-certfile", path("chain-and-person.pem"), "-out", otherPerson, "-passout",
                  QStringLiteral("pass:") + QString::fromUtf8(Password)}))
            return false;
        encipherOnly = path("encipher.p12");
        if (!person("encipher", "/C=ES/serialNumber=IDCES-99999999R/CN=ANA CIFRADO - 99999999R",
                    true, {"-days", "365"}, "encipher") ||
            !exportP12("encipher", encipherOnly, {}))
            return false;
        noKeyUsage = path("nousage.p12");
        if (!person("nousage", "/C=ES/serialNumber=IDCES-99999999R/CN=ANA SIN USO - 99999999R",
                    true, {"-days", "365"}, "plain") ||
            !exportP12("nousage", noKeyUsage, {}))
            return false;
        smallKey = path("small.p12");
        if (!person("small", "/C=ES/serialNumber=IDCES-99999999R/CN=ANA CORTA - 99999999R", true,
                    {"-days", "365"}, "person", 1024) ||
            !exportP12("small", smallKey, {}))
            return false;
        selfSigned = path("selfsigned.p12");
        if (!rsaKey("selfsigned.key") ||
            !run({"req", "-x509", "-utf8", "-new", "-key", path("selfsigned.key"), "-out",
                  path("selfsigned.pem"), "-days", "365", "-subj",
                  "/C=ES/serialNumber=IDCES-99999999R/CN=ANA AUTOFIRMADA - 99999999R", "-addext",
                  "basicConstraints=critical,CA:TRUE"}) ||
            !run({"pkcs12", "-export", "-inkey", path("selfsigned.key"), "-in",
                  path("selfsigned.pem"), "-out", selfSigned, "-passout",
                  QStringLiteral("pass:") + QString::fromUtf8(Password)}))
            return false;
        // Keys are not needed past this point.
        for (const QString& key : QDir(m_dir.path()).entryList({"*.key"}))
            QFile::remove(path(key));
        return true;
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A file holding the certificates' password as a person would write it
    // (a line), for the tool's --password-file; empty when it cannot be made.
    QString passwordFile() const {
        QFile file(path(QStringLiteral("password.txt")));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(QByteArray(Password) + '\n') != qint64(sizeof Password))
            return QString();
        return file.fileName();
    }

    // Runs the xmlsec1 command on a signed document, trusting the test root.
    // Returns 1 accepted, 0 refused, -1 when xmlsec1 is not there.
    int xmlsec1Accepts(const QString& file) const {
        if (QStandardPaths::findExecutable("xmlsec1").isEmpty())
            return -1;
        QProcess process;
        process.start("xmlsec1",
                      {"--verify", "--trusted-pem", rootPem, "--id-attr:Id",
                       "http://uri.etsi.org/01903/v1.3.2#:SignedProperties", "--id-attr:Id",
                       "http://www.w3.org/2000/09/xmldsig#:KeyInfo", file});
        if (!process.waitForFinished(60000))
            return 0;
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? 1 : 0;
    }

private:
    bool fail(const QString& text) {
        problem = text;
        return false;
    }

    bool run(const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("openssl"), arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            return fail(QStringLiteral("openssl %1: %2")
                            .arg(arguments.join(u' '),
                                 QString::fromLocal8Bit(process.readAllStandardError())));
        return true;
    }

    bool rsaKey(const QString& name, int bits = 2048) {
        return run({"genpkey", "-algorithm", "RSA", "-pkeyopt",
                    QStringLiteral("rsa_keygen_bits:%1").arg(bits), "-out", path(name)});
    }

    bool request(const QString& name, const QString& subject) {
        return run({"req", "-new", "-utf8", "-key", path(name + ".key"), "-out",
                    path(name + ".csr"), "-subj", subject});
    }

    bool issue(const QString& name, const QString& caPem, const QString& caKey,
               const QString& extensions, const QStringList& dates) {
        return run(QStringList{"ca", "-batch", "-utf8", "-preserveDN", "-notext", "-config",
                               path("openssl.cnf"), "-cert", caPem, "-keyfile", path(caKey),
                               "-extensions", extensions, "-in", path(name + ".csr"), "-out",
                               path(name + ".pem")} +
                   dates);
    }

    bool person(const QString& name, const QString& subject, bool rsa, const QStringList& dates,
                const QString& extensions = QStringLiteral("person"), int bits = 2048) {
        const bool key = rsa ? rsaKey(name + ".key", bits)
                             : run({"genpkey", "-algorithm", "EC", "-pkeyopt",
                                    "ec_paramgen_curve:P-256", "-out", path(name + ".key")});
        return key && request(name, subject) &&
               issue(name, intermediatePem, "intermediate.key", extensions, dates);
    }

    // The signer's and the representative's keys with their certificates in
    // one file, as a careless export can make it.
    bool twoKeyFile(const QString& target) {
        auto readPem = [this](const QString& name, bool key) -> void* {
            BIO* bio = BIO_new_file(QFile::encodeName(path(name)).constData(), "r");
            void* read =
                !bio  ? nullptr
                : key ? static_cast<void*>(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr))
                      : static_cast<void*>(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
            BIO_free(bio);
            return read;
        };
        STACK_OF(PKCS12_SAFEBAG)* bags = nullptr;
        bool ok = true;
        for (const char* name : {"signer", "representative"}) {
            auto* key = static_cast<EVP_PKEY*>(readPem(QString::fromLatin1(name) + ".key", true));
            auto* cert = static_cast<X509*>(readPem(QString::fromLatin1(name) + ".pem", false));
            ok = ok && key && cert && PKCS12_add_cert(&bags, cert) &&
                 PKCS12_add_key(&bags, key, 0, PKCS12_DEFAULT_ITER, -1, nullptr);
            EVP_PKEY_free(key);
            X509_free(cert);
        }
        STACK_OF(PKCS7)* safes = nullptr;
        ok = ok && PKCS12_add_safe(&safes, bags, -1, 0, nullptr);
        PKCS12* p12 = ok ? PKCS12_add_safes(safes, 0) : nullptr;
        ok = p12 && PKCS12_set_mac(p12, Password, -1, nullptr, 0, PKCS12_DEFAULT_ITER, nullptr);
        BIO* out = ok ? BIO_new_file(QFile::encodeName(target).constData(), "wb") : nullptr;
        ok = out && i2d_PKCS12_bio(out, p12) == 1;
        BIO_free(out);
        PKCS12_free(p12);
        sk_PKCS7_pop_free(safes, PKCS7_free);
        sk_PKCS12_SAFEBAG_pop_free(bags, PKCS12_SAFEBAG_free);
        return ok || fail("cannot make the file with two keys");
    }

    bool exportP12(const QString& name, const QString& target, const QStringList& extra) {
        return run(QStringList{"pkcs12", "-export", "-inkey", path(name + ".key"), "-in",
                               path(name + ".pem"), "-certfile", intermediatePem, "-out", target,
                               "-passout", QStringLiteral("pass:") + QString::fromUtf8(Password)} +
                   extra);
    }

    QTemporaryDir m_dir;
};
