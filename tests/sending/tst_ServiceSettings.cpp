#include "common/AppError.h"
#include "sending/ClientSetup.h"
#include "sending/ServiceSettings.h"
#include "storage/IniFile.h"

#include <QTemporaryDir>
#include <QTest>

// Where records go and whom the client trusts, from Registro.Ini.
class tst_ServiceSettings : public QObject {
    Q_OBJECT
private slots:
    void address_data();
    void address();
    void refused_data();
    void refused();
    void extraAuthorities();
};

namespace {

const QString Production = QStringLiteral(
    "https://www1.agenciatributaria.gob.es/wlpl/TIKE-CONT/ws/SistemaFacturacion/VerifactuSOAP");
const QString Test =
    QStringLiteral("https://prewww1.aeat.es/wlpl/TIKE-CONT/ws/SistemaFacturacion/VerifactuSOAP");

ServiceSettings read(const QString& text, const QString& home = QStringLiteral("/home/ana")) {
    IniFile ini(QStringLiteral("/home/ana/Registro.Ini"));
    ini.setText(text);
    return ServiceSettings::read(ini, home);
}

} // namespace

void tst_ServiceSettings::address_data() {
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("authorities");

    QTest::newRow("nothing set") << "" << Production << "";
    QTest::newRow("production") << "[VERIFACTU]\nENTORNO=PRODUCCION\n" << Production << "";
    QTest::newRow("test service, any letter case") << "[verifactu]\nentorno= Pruebas \n"
                                                   << Test << "";
    QTest::newRow("address given")
        << "[VERIFACTU]\nENTORNO=PRODUCCION\nURL=https://127.0.0.1:8443/ws\n"
        << "https://127.0.0.1:8443/ws"
        << "";
    QTest::newRow("authorities beside Registro.Ini") << "[VERIFACTU]\nCA=ac/pruebas.pem\n"
                                                     << Production << "/home/ana/ac/pruebas.pem";
    QTest::newRow("authorities elsewhere") << "[VERIFACTU]\nCA=/etc/orvane/ac.pem\n"
                                           << Production << "/etc/orvane/ac.pem";
}

void tst_ServiceSettings::address() {
    QFETCH(QString, ini);
    QFETCH(QString, address);
    QFETCH(QString, authorities);
    const ServiceSettings settings = read(ini);
    QCOMPARE(settings.address.toString(), address);
    QCOMPARE(settings.extraAuthorities, authorities);
}

void tst_ServiceSettings::refused_data() {
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("messageHas");

    QTest::newRow("unknown environment") << "[VERIFACTU]\nENTORNO=PRUEBA\n"
                                         << "ENTORNO=PRUEBA";
    QTest::newRow("plain http") << "[VERIFACTU]\nURL=http://127.0.0.1:8080/ws\n"
                                << "https://";
    QTest::newRow("not an address") << "[VERIFACTU]\nURL=prewww1.aeat.es\n"
                                    << "URL=";
}

void tst_ServiceSettings::refused() {
    QFETCH(QString, ini);
    QFETCH(QString, messageHas);
    try {
        read(ini);
        QFAIL("the settings were accepted");
    } catch (const AppError& error) {
        QVERIFY2(error.message().contains(messageHas), qPrintable(error.message()));
        QVERIFY2(error.message().contains(u"Registro.Ini"), qPrintable(error.message()));
    }
}

void tst_ServiceSettings::extraAuthorities() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QFile empty(home.filePath("vacio.pem"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();

    for (const QString& name : {QStringLiteral("falta.pem"), QStringLiteral("vacio.pem")}) {
        const ServiceSettings settings = read("[VERIFACTU]\nCA=" + name + "\n", home.path());
        try {
            ClientSetup::make(settings, nullptr, {});
            QFAIL("an unusable file of authorities was accepted");
        } catch (const AppError& error) {
            QVERIFY2(error.message().contains(name), qPrintable(error.message()));
            QVERIFY2(error.message().contains(u"[VERIFACTU] CA"), qPrintable(error.message()));
        }
    }
    // Without CA= only the system's authorities are trusted.
    const ClientSetup system = ClientSetup::make(read(""), nullptr, {});
    QCOMPARE(system.tls.caCertificates().size(), QSslConfiguration::systemCaCertificates().size());
    QVERIFY(system.tls.localCertificate().isNull());
}

QTEST_GUILESS_MAIN(tst_ServiceSettings)
#include "tst_ServiceSettings.moc"
