#include "ledger/RecordObligation.h"
#include "ledger/RecordSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The notice that the law asks for records while no mode is chosen: from the
// date that applies to the issuer, never before it, never once a mode is set.
class tst_RecordObligation : public QObject {
    Q_OBJECT
private slots:
    void notice_data();
    void notice();
    void fromRegistroIni_data();
    void fromRegistroIni();
};

namespace {

const LegalDates Dates{QDate(2027, 1, 1), QDate(2027, 7, 1), QDate(2024, 10, 28)};

} // namespace

Q_DECLARE_METATYPE(RecordSettings::Mode)
Q_DECLARE_METATYPE(std::optional<PersonType>)

void tst_RecordObligation::notice_data() {
    QTest::addColumn<RecordSettings::Mode>("mode");
    QTest::addColumn<std::optional<PersonType>>("issuer");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<bool>("shown");
    using M = RecordSettings::Mode;
    const std::optional<PersonType> company = PersonType::LegalEntity;
    const std::optional<PersonType> person = PersonType::NaturalPerson;
    QTest::newRow("company, the day before") << M::None << company << QDate(2026, 12, 31) << false;
    QTest::newRow("company, the day") << M::None << company << QDate(2027, 1, 1) << true;
    QTest::newRow("person, a company's day") << M::None << person << QDate(2027, 1, 1) << false;
    QTest::newRow("person, the day before") << M::None << person << QDate(2027, 6, 30) << false;
    QTest::newRow("person, the day") << M::None << person << QDate(2027, 7, 1) << true;
    QTest::newRow("unknown kind, the earlier day")
        << M::None << std::optional<PersonType>() << QDate(2027, 1, 1) << true;
    QTest::newRow("a mode chosen") << M::Verifactu << company << QDate(2028, 1, 1) << false;
    QTest::newRow("the other mode") << M::NoVerifactu << person << QDate(2028, 1, 1) << false;
}

void tst_RecordObligation::notice() {
    QFETCH(RecordSettings::Mode, mode);
    QFETCH(std::optional<PersonType>, issuer);
    QFETCH(QDate, today);
    QFETCH(bool, shown);
    RecordSettings settings;
    settings.mode = mode;
    const QString text = RecordObligation::notice(settings, issuer, today, Dates);
    QCOMPARE(!text.isEmpty(), shown);
    if (shown) {
        QVERIFY2(text.contains(Dates.obligationDate(issuer.value_or(PersonType::LegalEntity))
                                   .toString(QStringLiteral("dd/MM/yyyy"))),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Configuración > Registro de facturación")));
    }
}

void tst_RecordObligation::fromRegistroIni_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("notice"); // part of it, or empty for none
    QTest::newRow("no file") << QString() << "Desde el 01/01/2027";
    QTest::newRow("a person") << "[MISDATOS]\nPERSONA=F\n"
                              << "Desde el 01/07/2027";
    QTest::newRow("a mode") << "[MISDATOS]\nPERSONA=J\n[VERIFACTU]\nMODO=VERIFACTU\n"
                            << "";
    QTest::newRow("a mode the program does not know") << "[VERIFACTU]\nMODO=SI\n"
                                                      << "[VERIFACTU] MODO=SI en";
}

void tst_RecordObligation::fromRegistroIni() {
    QFETCH(QString, text);
    QFETCH(QString, notice);
    QTemporaryDir dir;
    if (!text.isNull()) {
        QFile file(dir.filePath(QStringLiteral("Registro.Ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }
    // Well after both dates of the built-in data.
    const QString found = RecordObligation::notice(dir.path(), QDate(2040, 1, 1));
    if (notice.isEmpty())
        QVERIFY2(found.isEmpty(), qPrintable(found));
    else
        QVERIFY2(found.contains(notice), qPrintable(found));
}

QTEST_GUILESS_MAIN(tst_RecordObligation)
#include "tst_RecordObligation.moc"
