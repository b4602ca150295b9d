#include "EventTestKit.h"
#include "common/AppError.h"
#include "records/ChainRows.h"
#include "records/EventReader.h"
#include "records/RecordBuilder.h"
#include "records/RecordReader.h"

#include <QTest>

#include <functional>

using namespace EventTestKit;

namespace {

enum class Kind { Records, Events };

struct Stored {
    qint64 sequence;
    QByteArray bytes;
};
using StoredChain = QList<Stored>;

// Records or events, the n-th generated at 09:00 + minutes[n] UTC; the
// one at restartAt is made as the first of a new chain.
StoredChain made(Kind kind, const QList<int>& minutes, int restartAt = -1) {
    StoredChain out;
    QString previousHuella;
    InvoiceId previousInvoice;
    EventRef previousEvent;
    const EventType types[] = {EventType::ModeStart, EventType::RecordsCheck,
                               EventType::EventsCheck, EventType::Summary, EventType::Summary};
    for (int i = 0; i < minutes.size(); ++i) {
        const QDateTime at = utc(2027, 3, 5, 9, 0).addSecs(60 * minutes[i]);
        const bool first = i == 0 || i == restartAt;
        if (kind == Kind::Records) {
            BillingRecord r = RecordTestKit::alta(QStringLiteral("A-2027-00%1").arg(i + 1));
            r.generatedAt = at;
            if (!first)
                r.chain = ChainLink::after(previousInvoice, previousHuella);
            const BuiltRecord built = RecordBuilder::build(r);
            previousHuella = built.huella;
            previousInvoice = r.invoice;
            out << Stored{i + 1, built.xml};
        } else {
            EventRecord e = anEvent(types[i], at);
            if (!first)
                e.chain = EventLink::after(previousEvent);
            const BuiltEvent built = EventBuilder::build(e);
            previousEvent = built.reference;
            out << Stored{i + 1, withSignature(built.xml)};
        }
    }
    return out;
}

ChainRow rowOf(Kind kind, const Stored& s) {
    try {
        return kind == Kind::Records ? ChainRow::of(s.sequence, RecordReader::read(s.bytes))
                                     : ChainRow::of(s.sequence, EventReader::read(s.bytes));
    } catch (const AppError&) {
        return ChainRow{s.sequence, {}, {}, false, false, {}, {}, {}};
    }
}

// Per row: intact, link back, link forward, order back, order forward;
// "+" correct, "-" not.
QStringList codes(const QList<RowCheck>& checks) {
    QStringList out;
    for (const RowCheck& c : checks) {
        QString code;
        for (const bool b : {c.intact, c.linkBack, c.linkForward, c.orderBack, c.orderForward})
            code += b ? u'+' : u'-';
        out << code;
    }
    return out;
}

void replaceIn(QByteArray& bytes, const QByteArray& from, const QByteArray& to) {
    if (!bytes.contains(from))
        qFatal("fixture lacks %s", from.constData());
    bytes.replace(from, to);
}

} // namespace

using Tamper = std::function<void(Kind, StoredChain&)>;
Q_DECLARE_METATYPE(Tamper)
Q_DECLARE_METATYPE(Kind)

// The chain as its window lists it: per row, whether it links to the row
// before it and the row after it, and whether its generation time is in
// order with theirs, for records and events alike.
class tst_ChainRows : public QObject {
    Q_OBJECT
private slots:
    void rows_data();
    void rows();
    void anchor();
    void texts();
};

void tst_ChainRows::rows_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QList<int>>("minutes");
    QTest::addColumn<int>("restartAt");
    QTest::addColumn<Tamper>("tamper");
    QTest::addColumn<QStringList>("expected");

    const QList<int> inOrder{1, 2, 3, 4, 5};
    const Tamper none = [](Kind, StoredChain&) {};
    const QString good = QStringLiteral("+++++");
    for (const Kind kind : {Kind::Records, Kind::Events}) {
        const QByteArray k = kind == Kind::Records ? "records: " : "events: ";
        QTest::newRow(k + "sound")
            << kind << inOrder << -1 << none << QStringList{good, good, good, good, good};
        QTest::newRow(k + "third's data edited, its stored fingerprint kept")
            << kind << inOrder << -1 << Tamper([](Kind kind, StoredChain& c) {
                   if (kind == Kind::Records)
                       replaceIn(c[2].bytes, "<sum1:ImporteTotal>121.00<",
                                 "<sum1:ImporteTotal>112.00<");
                   else
                       replaceIn(c[2].bytes, "<sf:NIF>89890001K<", "<sf:NIF>89890002E<");
               })
            << QStringList{good, good, "-+-++", "+-+++", good};
        QTest::newRow(k + "third's stored fingerprint changed")
            << kind << inOrder << -1 << Tamper([](Kind kind, StoredChain& c) {
                   QByteArray& bytes = c[2].bytes;
                   const qsizetype at =
                       bytes.lastIndexOf(kind == Kind::Records ? "<sum1:Huella>"
                                                               : "<sf:HuellaEvento>") +
                       (kind == Kind::Records ? 13 : 17);
                   bytes[at] = bytes[at] == 'A' ? 'B' : 'A';
               })
            << QStringList{good, good, "-++++", good, good};
        QTest::newRow(k + "third removed")
            << kind << inOrder << -1 << Tamper([](Kind, StoredChain& c) { c.removeAt(2); })
            << QStringList{good, "++-++", "+-+++", good};
        QTest::newRow(k + "third and fourth swapped")
            << kind << inOrder << -1 << Tamper([](Kind, StoredChain& c) { c.swapItemsAt(2, 3); })
            << QStringList{good, "++-++", "+--+-", "+---+", "+-+++"};
        QTest::newRow(k + "third unreadable")
            << kind << inOrder << -1
            << Tamper([](Kind, StoredChain& c) { c[2].bytes = "<sin cerrar"; })
            << QStringList{good, "++-+-", "-----", "+-+-+", good};
        QTest::newRow(k + "third dated before the second, all linked")
            << kind << QList<int>{1, 3, 2, 4, 5} << -1 << none
            << QStringList{good, "++++-", "+++-+", good, good};
        QTest::newRow(k + "third starts a chain of its own")
            << kind << inOrder << 2 << none << QStringList{good, "++-++", "+-+++", good, good};
        QTest::newRow(k + "first removed, nothing before it")
            << kind << inOrder << -1 << Tamper([](Kind, StoredChain& c) { c.removeFirst(); })
            << QStringList{"+-+++", good, good, good};
    }
}

void tst_ChainRows::rows() {
    QFETCH(Kind, kind);
    QFETCH(QList<int>, minutes);
    QFETCH(int, restartAt);
    QFETCH(Tamper, tamper);
    QFETCH(QStringList, expected);
    StoredChain chain = made(kind, minutes, restartAt);
    tamper(kind, chain);
    QList<ChainRow> rows;
    for (const Stored& s : chain)
        rows << rowOf(kind, s);
    QCOMPARE(codes(ChainRows::check(rows)), expected);
}

void tst_ChainRows::anchor() {
    // The oldest exported and removed: the row before the first is given.
    for (const Kind kind : {Kind::Records, Kind::Events}) {
        const StoredChain chain = made(kind, {1, 2, 3, 4, 5});
        QList<ChainRow> rows;
        for (const Stored& s : chain)
            rows << rowOf(kind, s);
        const QStringList good(3, QStringLiteral("+++++"));
        QCOMPARE(codes(ChainRows::check(rows.mid(2), rows[1])), good);
        QCOMPARE(codes(ChainRows::check(rows.mid(2), rows[0])).first(), QStringLiteral("+-+++"));
        QCOMPARE(codes(ChainRows::check(rows.mid(2))).first(), QStringLiteral("+-+++"));
    }
}

void tst_ChainRows::texts() {
    RowCheck c{true, true, true, true, true};
    QCOMPARE(c.linkText(), QStringLiteral("enlace correcto"));
    QCOMPARE(c.orderText(), QStringLiteral("orden temporal correcto"));
    c.linkForward = false;
    c.orderBack = false;
    QCOMPARE(c.linkText(), QStringLiteral("enlace incorrecto"));
    QCOMPARE(c.orderText(), QStringLiteral("orden temporal incorrecto"));
}

QTEST_GUILESS_MAIN(tst_ChainRows)
#include "tst_ChainRows.moc"
