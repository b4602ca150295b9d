#include "common/AppError.h"
#include "ledger/RecordSettings.h"
#include "storage/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

Q_DECLARE_METATYPE(RecordSettings::Mode)
Q_DECLARE_METATYPE(Territory)

// [VERIFACTU] MODO and TERRITORIO as the records read them: records only
// once a mode is chosen, the Canary Islands' clock when asked, and a value
// the program does not know refused naming the key rather than guessed.
class tst_RecordSettings : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void otherKeys_data();
    void otherKeys();
    void writeChangesOnlyItsKeys_data();
    void writeChangesOnlyItsKeys();
    void modeNeedsCertificate_data();
    void modeNeedsCertificate();
};

Q_DECLARE_METATYPE(RecordSettings::Environment)
Q_DECLARE_METATYPE(RecordSettings::Legend)

namespace {

// A PKCS#12 file with a fresh key and a certificate of its own.
QByteArray pkcs12() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), 0);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Prueba"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_set_pubkey(cert, key);
    X509_sign(cert, key, EVP_sha256());
    PKCS12* p12 = PKCS12_create("clave", "Prueba", key, cert, nullptr, 0, 0, 0, 0, 0);
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(p12, &der);
    QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    PKCS12_free(p12);
    X509_free(cert);
    EVP_PKEY_free(key);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

void tst_RecordSettings::read_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<RecordSettings::Mode>("mode");
    QTest::addColumn<Territory>("territory");
    QTest::addColumn<QString>("refused"); // the start of the message, or empty
    using M = RecordSettings::Mode;
    QTest::newRow("nothing chosen") << "[MISDATOS]\nNIF=89890001K\n"
                                    << M::None << Territory::Peninsula << "";
    QTest::newRow("VERI*FACTU") << "[VERIFACTU]\nMODO=VERIFACTU\n"
                                << M::Verifactu << Territory::Peninsula << "";
    QTest::newRow("without sending, in the Canaries, in lower case")
        << "[verifactu]\nmodo=noverifactu\nterritorio=canarias\n"
        << M::NoVerifactu << Territory::Canarias << "";
    QTest::newRow("the peninsula said") << "[VERIFACTU]\nMODO=VERIFACTU\nTERRITORIO=PENINSULA\n"
                                        << M::Verifactu << Territory::Peninsula << "";
    QTest::newRow("an unknown mode")
        << "[VERIFACTU]\nMODO=SI\n"
        << M::None << Territory::Peninsula
        << "[VERIFACTU] MODO=SI en Registro.Ini no es válido: escriba VERIFACTU o NOVERIFACTU";
    QTest::newRow("an unknown territory")
        << "[VERIFACTU]\nMODO=VERIFACTU\nTERRITORIO=Baleares\n"
        << M::None << Territory::Peninsula
        << "[VERIFACTU] TERRITORIO=Baleares en Registro.Ini no es válido: escriba PENINSULA o "
           "CANARIAS";
}

void tst_RecordSettings::read() {
    QFETCH(QString, text);
    QFETCH(RecordSettings::Mode, mode);
    QFETCH(Territory, territory);
    QFETCH(QString, refused);
    IniFile ini(QStringLiteral("Registro.Ini"));
    ini.setText(text);
    if (!refused.isEmpty()) {
        try {
            RecordSettings::read(ini);
            QFAIL("read");
        } catch (const AppError& e) {
            QCOMPARE(e.message(), refused);
        }
        return;
    }
    const RecordSettings settings = RecordSettings::read(ini);
    QCOMPARE(settings.mode, mode);
    QCOMPARE(settings.territory, territory);
    QCOMPARE(settings.makesRecords(), mode != RecordSettings::Mode::None);
}

void tst_RecordSettings::otherKeys_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<RecordSettings::Environment>("environment");
    QTest::addColumn<RecordSettings::Legend>("legend");
    QTest::addColumn<QString>("refused");
    using E = RecordSettings::Environment;
    using L = RecordSettings::Legend;
    QTest::newRow("defaults") << "" << E::Production << L::Verifactu << "";
    QTest::newRow("trials, the sede's text, any case")
        << "[VERIFACTU]\nentorno=Pruebas\nLEYENDA=sede\nURL=https://127.0.0.1:8443/x\n"
           "CA=pruebas/ca.pem\n"
        << E::Test << L::Sede << "";
    QTest::newRow("production said") << "[VERIFACTU]\nENTORNO=PRODUCCION\nLEYENDA=VERIFACTU\n"
                                     << E::Production << L::Verifactu << "";
    QTest::newRow("an unknown environment")
        << "[VERIFACTU]\nENTORNO=real\n"
        << E::Production << L::Verifactu
        << "[VERIFACTU] ENTORNO=real en Registro.Ini no es válido: escriba PRODUCCION o PRUEBAS";
    QTest::newRow("an unknown legend")
        << "[VERIFACTU]\nLEYENDA=QR\n"
        << E::Production << L::Verifactu
        << "[VERIFACTU] LEYENDA=QR en Registro.Ini no es válido: escriba VERIFACTU o SEDE";
}

void tst_RecordSettings::otherKeys() {
    QFETCH(QString, text);
    QFETCH(RecordSettings::Environment, environment);
    QFETCH(RecordSettings::Legend, legend);
    QFETCH(QString, refused);
    IniFile ini(QStringLiteral("Registro.Ini"));
    ini.setText(text);
    if (!refused.isEmpty()) {
        try {
            RecordSettings::read(ini);
            QFAIL("read");
        } catch (const AppError& e) {
            QCOMPARE(e.message(), refused);
        }
        return;
    }
    const RecordSettings settings = RecordSettings::read(ini);
    QCOMPARE(settings.environment, environment);
    QCOMPARE(settings.legend, legend);
    QCOMPARE(settings.url,
             text.contains(u"URL") ? QStringLiteral("https://127.0.0.1:8443/x") : QString());
    QCOMPARE(settings.ca, text.contains(u"CA=") ? QStringLiteral("pruebas/ca.pem") : QString());
}

void tst_RecordSettings::writeChangesOnlyItsKeys_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<RecordSettings::Mode>("mode");
    QTest::addColumn<Territory>("territory");
    QTest::addColumn<RecordSettings::Environment>("environment");
    QTest::addColumn<QString>("after");
    using M = RecordSettings::Mode;
    using E = RecordSettings::Environment;
    const QString other = QStringLiteral("; comentario\r\n[MISDATOS]\r\nNIF = 89890001K \r\n"
                                         "[FIRMA]\r\nCERTIFICADO=\"c:\\cert.p12\"\r\n");
    QTest::newRow("a new section at the end")
        << other << M::Verifactu << Territory::Canarias << E::Production
        << other + "[VERIFACTU]\r\nMODO=VERIFACTU\r\nTERRITORIO=CANARIAS\r\n";
    QTest::newRow("values the same in other words stay as written")
        << "[VERIFACTU]\nmodo = verifactu\nURL=https://x.example/\nENTORNO=produccion\n"
        << M::Verifactu << Territory::Peninsula << E::Test
        << "[VERIFACTU]\nmodo = verifactu\nURL=https://x.example/\nENTORNO=PRUEBAS\n";
    QTest::newRow("no mode empties it")
        << "[VERIFACTU]\nMODO=NOVERIFACTU\nCA=ca.pem\n"
        << M::None << Territory::Peninsula << E::Production << "[VERIFACTU]\nMODO=\nCA=ca.pem\n";
    QTest::newRow("a value the program does not know is replaced")
        << "[VERIFACTU]\nMODO=SI\nTERRITORIO=Baleares\n"
        << M::Verifactu << Territory::Peninsula << E::Production
        << "[VERIFACTU]\nMODO=VERIFACTU\nTERRITORIO=PENINSULA\n";
    QTest::newRow("nothing to change")
        << other << M::None << Territory::Peninsula << E::Production << other;
}

void tst_RecordSettings::writeChangesOnlyItsKeys() {
    QFETCH(QString, before);
    QFETCH(RecordSettings::Mode, mode);
    QFETCH(Territory, territory);
    QFETCH(RecordSettings::Environment, environment);
    QFETCH(QString, after);
    IniFile ini(QStringLiteral("Registro.Ini"));
    ini.setText(before);
    RecordSettings settings;
    settings.mode = mode;
    settings.territory = territory;
    settings.environment = environment;
    settings.write(ini);
    QCOMPARE(ini.text(), after);
    const RecordSettings back = RecordSettings::read(ini);
    QCOMPARE(back.mode, mode);
    QCOMPARE(back.territory, territory);
    QCOMPARE(back.environment, environment);
}

void tst_RecordSettings::modeNeedsCertificate_data() {
    QTest::addColumn<RecordSettings::Mode>("mode");
    QTest::addColumn<QString>("certificate"); // [FIRMA] CERTIFICADO
    QTest::addColumn<QString>("problem");     // part of the reason, or empty
    using M = RecordSettings::Mode;
    QTest::newRow("sending needs none") << M::Verifactu << ""
                                        << "";
    QTest::newRow("no mode needs none") << M::None << ""
                                        << "";
    QTest::newRow("none chosen") << M::NoVerifactu << ""
                                 << "firma cada registro de facturación con su certificado, y no "
                                    "hay ninguno elegido";
    QTest::newRow("a PKCS#12 file beside Registro.Ini") << M::NoVerifactu << "firma.p12"
                                                        << "";
    QTest::newRow("a file that is not one") << M::NoVerifactu << "firma.pem"
                                            << "no es un certificado PKCS#12";
    QTest::newRow("a file that is not there") << M::NoVerifactu << "falta.p12"
                                              << "No se puede leer el certificado";
}

void tst_RecordSettings::modeNeedsCertificate() {
    QFETCH(RecordSettings::Mode, mode);
    QFETCH(QString, certificate);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("firma.p12")), pkcs12());
    writeFile(dir.filePath(QStringLiteral("firma.pem")), "-----BEGIN CERTIFICATE-----\n");
    IniFile ini(dir.filePath(QStringLiteral("Registro.Ini")));
    ini.setText(QStringLiteral("[FIRMA]\nCERTIFICADO=%1\n").arg(certificate));
    const QString found = RecordSettings::modeProblem(mode, ini);
    if (problem.isEmpty())
        QVERIFY2(found.isEmpty(), qPrintable(found));
    else
        QVERIFY2(found.contains(problem), qPrintable(found));
}

QTEST_GUILESS_MAIN(tst_RecordSettings)
#include "tst_RecordSettings.moc"
