#include "LedgerFixture.h"

#include "ledger/ChainListing.h"
#include "ledger/EventLog.h"

#include <QTemporaryDir>
#include <QTest>

using namespace LedgerFixture;

// The rows of the "Registro de facturación" window: each record and event of
// the book with its link and its order in time, as read again from what was
// stored, so that a row changed behind the program's back shows.
class tst_ChainListing : public QObject {
    Q_OBJECT
private slots:
    void init();
    void recordRows_data();
    void recordRows();
    void eventRows();

private:
    QString book() const { return m_home->filePath(QStringLiteral("Libro.db")); }
    QStringList judged(const QList<ListedRow>& rows) const {
        QStringList out;
        for (const ListedRow& row : rows)
            out << QStringLiteral("%1 %2 / %3")
                       .arg(row.sequence)
                       .arg(row.check.linkText(), row.check.orderText());
        return out;
    }

    std::unique_ptr<QTemporaryDir> m_home;
    FakeClock m_clock;
};

void tst_ChainListing::init() {
    m_home = std::make_unique<QTemporaryDir>();
    m_clock = FakeClock();
    const auto db = BookDatabase::open(m_home->path());
    RecordLedger ledger(*db, options(m_clock));
    for (int n = 1; n <= 3; ++n) {
        m_clock.now = m_clock.now.addSecs(60);
        const InvoiceRow row =
            invoice(QString::number(n), {{VatTreatment::S1, "21", "100.00"}}, m_clock.now.date());
        ledger.issue(row, alta(row));
    }
}

void tst_ChainListing::recordRows_data() {
    QTest::addColumn<QString>("sql"); // run on the book with sqlite3; empty: none
    QTest::addColumn<QStringList>("rows");
    const QString ok = QStringLiteral("enlace correcto / orden temporal correcto");
    QTest::newRow("as stored") << QString() << QStringList{"1 " + ok, "2 " + ok, "3 " + ok};
    const QString change = "DROP TRIGGER billing_records_fixed; UPDATE billing_records SET bytes "
                           "= CAST(replace(CAST(bytes AS TEXT), '%1', '%2') AS BLOB) "
                           "WHERE sequence = 2;";
    // The next record no longer names it; its own link back still holds.
    QTest::newRow("an amount changed")
        << change.arg("<sum1:ImporteTotal>121.00<", "<sum1:ImporteTotal>112.00<")
        << QStringList{"1 " + ok, "2 enlace incorrecto / orden temporal correcto",
                       "3 enlace incorrecto / orden temporal correcto"};
    QTest::newRow("generated after the next one")
        << change.arg("T10:02:00", "T11:02:00")
        << QStringList{"1 " + ok, "2 enlace incorrecto / orden temporal incorrecto",
                       "3 enlace incorrecto / orden temporal incorrecto"};
    QTest::newRow("unreadable") << change.arg("<sum1:RegistroAlta", "<sum1:Roto")
                                << QStringList{"1 enlace incorrecto / orden temporal incorrecto",
                                               "2 enlace incorrecto / orden temporal incorrecto",
                                               "3 enlace incorrecto / orden temporal incorrecto"};
}

void tst_ChainListing::recordRows() {
    QFETCH(QString, sql);
    QFETCH(QStringList, rows);
    if (!sql.isEmpty()) {
        const QString out = sqlite(book(), sql + " SELECT changes();");
        QVERIFY2(out.trimmed() == "1", qPrintable(out));
    }
    const auto db = BookDatabase::openExisting(m_home->path());
    const QList<ListedRow> listed = ChainListing::records(*db);
    QCOMPARE(judged(listed), rows);
    QCOMPARE(listed.first().what, QStringLiteral("alta A-1"));
}

void tst_ChainListing::eventRows() {
    const auto db = BookDatabase::open(m_home->path());
    RecordSigner unsignedEvents; // the listing reads events, signed or not
    unsignedEvents.sign = [](const QByteArray& xml, RecordSigner::Kind, const QDateTime&) {
        return xml;
    };
    EventLog log(*db, {IssuerName, Issuer, Territory::Peninsula}, unsignedEvents,
                 {m_clock.clock(), producer()});
    EventRecord event;
    event.type = EventType::ModeStart;
    log.append(event);
    m_clock.now = m_clock.now.addSecs(60);
    log.appendSummary();
    const QList<ListedRow> listed = ChainListing::events(*db);
    QCOMPARE(judged(listed), (QStringList{"1 enlace correcto / orden temporal correcto",
                                          "2 enlace correcto / orden temporal correcto"}));
    QVERIFY2(listed.last().what.contains(QStringLiteral("esumen")), qPrintable(listed.last().what));
}

QTEST_GUILESS_MAIN(tst_ChainListing)
#include "tst_ChainListing.moc"
