#include "common/AppError.h"
#include "ledger/RecordSettings.h"
#include "settings/IniFile.h"

#include <QTest>

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
};

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

QTEST_GUILESS_MAIN(tst_RecordSettings)
#include "tst_RecordSettings.moc"
