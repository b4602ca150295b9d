#include "pdf/AeatQrAddress.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// A tax QR address found in another program's document is shown only when it
// leads to the tax agency's own check page: every published example passes,
// and every way of pointing somewhere else while looking official fails.
class tst_AeatQrAddress : public QObject {
    Q_OBJECT
private slots:
    void publishedExamplesAccepted();
    void addresses_data();
    void addresses();
};

namespace {

const QString Production = QStringLiteral("https://www2.agenciatributaria.gob.es");
const QString Page = QStringLiteral("/wlpl/TIKE-CONT/ValidarQR");
const QString Query =
    QStringLiteral("?nif=89890001K&numserie=12345678-G33&fecha=01-09-2024&importe=241.4");

} // namespace

void tst_AeatQrAddress::publishedExamplesAccepted() {
    QFile file(QStringLiteral(ORVANE_THIRD_PARTY_DIR "/verifactu/vectors/qr.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray valid = QJsonDocument::fromJson(file.readAll()).object()[u"valid"].toArray();
    QVERIFY(valid.size() >= 4);
    for (const QJsonValue& v : valid)
        QVERIFY2(AeatQrAddress::accepts(v.toString()), qPrintable(v.toString()));
}

void tst_AeatQrAddress::addresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("production, VERI*FACTU") << Production + Page + Query << true;
    QTest::newRow("test host, other mode")
        << QStringLiteral("https://prewww2.aeat.es") + Page + QStringLiteral("NoVerifactu") + Query
        << true;
    QTest::newRow("series with & and /")
        << Production + Page +
               QStringLiteral("?nif=89890001K&numserie=A%26B%2F7&fecha=02-01-2027&importe=10")
        << true;

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("http") << QStringLiteral("http://www2.agenciatributaria.gob.es") + Page + Query
                          << false;
    QTest::newRow("other host") << QStringLiteral("https://www.example.com") + Page + Query
                                << false;
    QTest::newRow("host ending like the agency's")
        << QStringLiteral("https://evilwww2.agenciatributaria.gob.es") + Page + Query << false;
    QTest::newRow("agency's name as a subdomain")
        << QStringLiteral("https://www2.agenciatributaria.gob.es.example.com") + Page + Query
        << false;
    QTest::newRow("user name before another host")
        << QStringLiteral("https://www2.agenciatributaria.gob.es@example.com") + Page + Query
        << false;
    QTest::newRow("port") << Production + QStringLiteral(":8443") + Page + Query << false;
    QTest::newRow("other page") << Production + QStringLiteral("/wlpl/TIKE-CONT/Otra") + Query
                                << false;
    QTest::newRow("page with more after it")
        << Production + Page + QStringLiteral("/../../../redirect") + Query << false;
    QTest::newRow("page name escaped")
        << Production + QStringLiteral("/wlpl/TIKE-CONT/Validar%51R") + Query << false;
    QTest::newRow("upper-case host")
        << QStringLiteral("https://WWW2.AGENCIATRIBUTARIA.GOB.ES") + Page + Query << false;
    QTest::newRow("no parameters") << Production + Page << false;
    QTest::newRow("empty parameters") << Production + Page + u'?' << false;
    QTest::newRow("fragment") << Production + Page + Query + QStringLiteral("#x") << false;
    QTest::newRow("blank inside") << Production + Page + QStringLiteral("?nif=1 2") << false;
    QTest::newRow("line break inside")
        << Production + Page + QStringLiteral("?nif=1\nhttps://example.com") << false;
    QTest::newRow("look-alike letter") // Cyrillic a in "agencia"
        << QStringLiteral("https://www2.\u0430genciatributaria.gob.es") + Page + Query << false;
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)//") + Page + Query << false;
    QTest::newRow("data") << QStringLiteral("data:text/html,") + Production + Page + Query << false;
}

void tst_AeatQrAddress::addresses() {
    QFETCH(QString, address);
    QFETCH(bool, accepted);
    QCOMPARE(AeatQrAddress::accepts(address), accepted);
}

QTEST_APPLESS_MAIN(tst_AeatQrAddress)
#include "tst_AeatQrAddress.moc"
