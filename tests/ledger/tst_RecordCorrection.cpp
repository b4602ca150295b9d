#include "../records/RecordTestKit.h"
#include "LedgerFixture.h"

#include "book/InvoiceBook.h"
#include "common/AppError.h"
#include "ledger/RecordCorrection.h"
#include "ledger/RecordStore.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace LedgerFixture;

// A record the tax agency rejected or accepted is never edited: the corrected
// invoice gets a new record whose flags say what it corrects, or is refused.
class tst_RecordCorrection : public QObject {
    Q_OBJECT
private slots:
    void init();
    void nextRecord_data();
    void nextRecord();
    void correctedInvoiceKeptWithItsRecord();

private:
    void setLastState(const char* state) {
        SqlStatement(*m_db, QByteArray("UPDATE billing_records SET state = '") + state +
                                "' WHERE sequence = (SELECT max(sequence) FROM billing_records)")
            .run();
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<BookDatabase> m_db;
    FakeClock m_clock;
};

namespace {

// "Subsanacion=S RechazoPrevio=X": the correction flags the record carries.
QString flagsOf(const QByteArray& bytes) {
    static const QRegularExpression Flag(
        QStringLiteral("<sum1:(Subsanacion|RechazoPrevio|SinRegistroPrevio)>(.)<"));
    QStringList flags;
    for (const QRegularExpressionMatch& m : Flag.globalMatch(QString::fromUtf8(bytes)))
        flags.append(m.captured(1) + u'=' + m.captured(2));
    return flags.join(u' ');
}

const QList<Part> Doubled = {{VatTreatment::S1, "21", "200.00"}};

} // namespace

void tst_RecordCorrection::init() {
    m_db.reset();
    m_home = std::make_unique<QTemporaryDir>();
    m_db = BookDatabase::open(m_home->path());
    m_clock = FakeClock();
}

void tst_RecordCorrection::nextRecord_data() {
    QTest::addColumn<QStringList>("earlier"); // "alta STATE", "anulacion STATE"; none: no record
    QTest::addColumn<QString>("next");        // alta, alta with other amounts, anulacion
    QTest::addColumn<QString>("expected");    // the flags, or "error: part of the message"

    QTest::newRow("alta after a rejected alta") << QStringList{"alta rechazado"} << "alta importes"
                                                << "Subsanacion=S RechazoPrevio=X";
    QTest::newRow("fixing an accepted alta") << QStringList{"alta aceptado"} << "alta"
                                             << "Subsanacion=S";
    QTest::newRow("fixing an alta accepted with errors")
        << QStringList{"alta aceptado con errores"} << "alta"
        << "Subsanacion=S";
    QTest::newRow("accepted alta, other amounts") << QStringList{"alta aceptado"} << "alta importes"
                                                  << "error: factura rectificativa";
    QTest::newRow("alta still waiting") << QStringList{"alta enviado"} << "alta"
                                        << "error: aún no tiene respuesta";
    QTest::newRow("invoice without a record") << QStringList{} << "alta"
                                              << "error: no tiene registro de facturación";
    QTest::newRow("cancelled invoice")
        << QStringList{"alta aceptado", "anulacion aceptado"} << "alta"
        << "error: está anulada";
    QTest::newRow("anulación after a rejected anulación")
        << QStringList{"alta aceptado", "anulacion rechazado"} << "anulacion"
        << "RechazoPrevio=S";
    QTest::newRow("anulación with no earlier record") << QStringList{} << "anulacion"
                                                      << "SinRegistroPrevio=S";
    QTest::newRow("anulación after an alta") << QStringList{"alta aceptado"} << "anulacion"
                                             << "";
    QTest::newRow("anulación already accepted")
        << QStringList{"alta aceptado", "anulacion aceptado"} << "anulacion"
        << "error: ya está anulada";
    QTest::newRow("anulación still waiting")
        << QStringList{"alta aceptado", "anulacion pendiente"} << "anulacion"
        << "error: ya está anulada";
}

void tst_RecordCorrection::nextRecord() {
    QFETCH(QStringList, earlier);
    QFETCH(QString, next);
    QFETCH(QString, expected);

    RecordLedger ledger(*m_db, options(m_clock));
    const InvoiceRow row = invoice(QStringLiteral("1"));
    if (earlier.isEmpty())
        QCOMPARE(InvoiceBook(*m_db).issue(row).outcome, InvoiceBook::IssueResult::Outcome::Issued);
    for (const QString& step : earlier) {
        m_clock.now = m_clock.now.addSecs(60);
        if (step.startsWith(u"alta"))
            ledger.issue(row, alta(row));
        else
            ledger.cancel(Issuer, QStringLiteral("A-1"), Territory::Peninsula);
        setLastState(step.section(u' ', 1).toUtf8().constData());
    }
    const qint64 before = count(*m_db, "SELECT count(*) FROM billing_records");
    m_clock.now = m_clock.now.addSecs(60);

    try {
        StoredRecord made;
        if (next == u"anulacion") {
            made = ledger.cancel(Issuer, QStringLiteral("A-1"), Territory::Peninsula);
        } else {
            const QList<Part> parts = next == u"alta importes"
                                          ? Doubled
                                          : QList<Part>{{VatTreatment::S1, "21", "100.00"}};
            InvoiceRow corrected = invoice(QStringLiteral("1"), parts);
            corrected.document += "<!-- corregida -->";
            BillingRecord draft = alta(corrected, parts);
            draft.description = QStringLiteral("Tornillos y tuercas");
            made = RecordCorrection::correct(*m_db, ledger, corrected, draft);
        }
        QVERIFY2(!expected.startsWith(u"error:"), qPrintable(expected));
        QCOMPARE(flagsOf(made.bytes), expected);
        QCOMPARE(made.sequence, before + 1);
        const QStringList errors = RecordTestKit::schemaErrors(made.bytes);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    } catch (const AppError& e) {
        QVERIFY2(expected.startsWith(u"error:") && e.message().contains(expected.mid(7)),
                 qPrintable(e.message()));
        QCOMPARE(count(*m_db, "SELECT count(*) FROM billing_records"), before);
    }
}

// The corrected invoice replaces the book's version together with its record;
// the rejected record stays as it was, and the chain goes on from it.
void tst_RecordCorrection::correctedInvoiceKeptWithItsRecord() {
    RecordLedger ledger(*m_db, options(m_clock));
    const InvoiceRow row = invoice(QStringLiteral("1"));
    const StoredRecord rejected = *ledger.issue(row, alta(row)).record;
    setLastState("rechazado");

    m_clock.now = m_clock.now.addSecs(60);
    InvoiceRow corrected = invoice(QStringLiteral("1"), Doubled);
    const StoredRecord made =
        RecordCorrection::correct(*m_db, ledger, corrected, alta(corrected, Doubled));
    QCOMPARE(made.previousHuella, rejected.huella);
    QVERIFY(made.invoiceId.has_value());

    const std::optional<BookEntry> entry = InvoiceBook(*m_db).find(Issuer, QStringLiteral("A-1"));
    QVERIFY(entry);
    QCOMPARE(*made.invoiceId, entry->id);
    QCOMPARE(entry->summary.baseCents, 20000);
    const QList<StoredRecord> records = RecordStore(*m_db).ofInvoice(QStringLiteral("A-1"));
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.first().bytes, rejected.bytes);
    QCOMPARE(records.first().state, QStringLiteral("rechazado"));
    QCOMPARE(records.last().state, QStringLiteral("pendiente"));
}

QTEST_GUILESS_MAIN(tst_RecordCorrection)
#include "tst_RecordCorrection.moc"
