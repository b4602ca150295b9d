#include "common/AppError.h"
#include "pdf/TaxQrCode.h"

#include <QTest>

// The symbol holds the address as bytes (8-bit mode, whatever the characters)
// at error correction M, and a text no symbol can hold is refused in Spanish.
class tst_TaxQrCode : public QObject {
    Q_OBJECT
private slots:
    void eightBitModeAtLevelM_data();
    void eightBitModeAtLevelM();
    void refused_data();
    void refused();
};

namespace {

// The error correction level written in the symbol's format information
// (both copies), as the two bits of its indicator: L 01, M 00, Q 11, H 10.
int levelBits(const TaxQrCode& code, bool secondCopy) {
    const int n = code.size();
    // Bits 14 and 13 of the format, masked with 101010000010010.
    const bool b14 = secondCopy ? code.isDark(8, n - 1) : code.isDark(0, 8);
    const bool b13 = secondCopy ? code.isDark(8, n - 2) : code.isDark(1, 8);
    return (int(!b14) << 1) | int(b13);
}

} // namespace

void tst_TaxQrCode::eightBitModeAtLevelM_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("size");
    // Digits or capitals alone would fit a smaller symbol in their own modes
    // (numeric: 21 modules; alphanumeric: 25); as bytes they need these.
    QTest::newRow("20 digits") << QStringLiteral("12345678901234567890") << 25;
    QTest::newRow("27 capitals") << QStringLiteral("HTTPS://PREWWW2.AEAT.ES/ABC") << 29;
    QTest::newRow("address")
        << QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?"
                          "nif=89890001K&numserie=12345678%26G33&fecha=01-09-2024&importe=241.4")
        << 49;
    // Each of ñ and € takes its UTF-8 bytes: 14 bytes fill version 1, 15 do not.
    QTest::newRow("14 bytes") << QStringLiteral("Año 2027 ÑÑ") << 21;
    QTest::newRow("15 bytes") << QStringLiteral("Año 2027 € ok") << 25;
    QTest::newRow("largest") << QString(TaxQrCode::MaxBytes, u'a') << 177;
}

void tst_TaxQrCode::eightBitModeAtLevelM() {
    QFETCH(QString, text);
    QFETCH(int, size);
    const TaxQrCode code(text);
    QCOMPARE(code.size(), size);
    QCOMPARE(levelBits(code, false), 0b00);
    QCOMPARE(levelBits(code, true), 0b00);
    // The three finder patterns stand in their corners.
    for (const auto& [x, y] : {std::pair{0, 0}, {size - 7, 0}, {0, size - 7}}) {
        QVERIFY(code.isDark(x, y) && code.isDark(x + 6, y + 6) && code.isDark(x + 3, y + 3));
        QVERIFY(!code.isDark(x + 1, y + 1) && !code.isDark(x + 5, y + 5));
    }
}

void tst_TaxQrCode::refused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << "La dirección del QR tributario está vacía";
    QTest::newRow("one byte too many") << QString(TaxQrCode::MaxBytes + 1, u'a')
                                       << "demasiado larga para un código QR (2332 bytes";
    QTest::newRow("too many once in UTF-8")
        << QString(TaxQrCode::MaxBytes / 2 + 1, u'ñ') << "(2332 bytes; caben 2331)";
}

void tst_TaxQrCode::refused() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    try {
        const TaxQrCode code(text);
        QFAIL("encoded");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
}

QTEST_APPLESS_MAIN(tst_TaxQrCode)
#include "tst_TaxQrCode.moc"
