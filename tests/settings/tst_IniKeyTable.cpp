#include "storage/IniKeyTable.h"

#include <QString>
#include <QTest>

#include <bit>
#include <cmath>

// The key table must keep every lookup cheap whatever names a file holds:
// names that all collide, by a broken hash or by names prepared against a
// known seed, cost at most the probe window plus a logarithmic tree search.
class tst_IniKeyTable : public QObject {
    Q_OBJECT
private slots:
    void boundedWhateverTheHash_data();
    void boundedWhateverTheHash();
    void seedSpreadsNamesPreparedForAnother();
};

namespace {

enum class Names { Ordinary, AllSameHash, CollidingUnderKnownSeed };

constexpr std::uint64_t KnownSeed = 0x5eed5eed12345678ull;
constexpr std::uint32_t Section = 3;

std::uint64_t sameForAll(std::uint64_t, std::uint32_t, QStringView) {
    return 0;
}

// Names whose slot in a table of `slotCount` slotCount is 0 under KnownSeed, found by
// trying names in turn as someone knowing the seed would.
QString collidingNames(int count, std::size_t slotCount) {
    QString text;
    for (quint64 candidate = 0; count > 0; ++candidate) {
        const QString name = QStringLiteral("K") + QString::number(candidate, 36);
        if ((IniKeyTable::keyedHash(KnownSeed, Section, name) & (slotCount - 1)) == 0) {
            text += name + u'\n';
            --count;
        }
    }
    return text;
}

QString ordinaryNames(int count) {
    QString text;
    for (int n = 0; n < count; ++n)
        text += QStringLiteral("NOMBRE%1\n").arg(n);
    return text;
}

// Spans of the names in a text of one name per line.
QList<QPair<int, int>> spans(const QString& text) {
    QList<QPair<int, int>> out;
    int start = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            out.append({start, i - start});
            start = i + 1;
        }
    }
    return out;
}

} // namespace

void tst_IniKeyTable::boundedWhateverTheHash_data() {
    QTest::addColumn<Names>("names");
    QTest::addColumn<int>("count");
    QTest::newRow("ordinary names, keyed hash") << Names::Ordinary << 50000;
    QTest::newRow("every name the same hash") << Names::AllSameHash << 50000;
    QTest::newRow("names colliding under a known seed") << Names::CollidingUnderKnownSeed << 1500;
}

void tst_IniKeyTable::boundedWhateverTheHash() {
    QFETCH(Names, names);
    QFETCH(int, count);
    const std::size_t slotCount = std::bit_ceil(std::size_t(count) * 2);
    IniKeyTable table = names == Names::AllSameHash
                            ? IniKeyTable(&sameForAll, 0)
                            : IniKeyTable(&IniKeyTable::keyedHash, KnownSeed);
    const QString text = names == Names::CollidingUnderKnownSeed ? collidingNames(count, slotCount)
                                                                 : ordinaryNames(count);
    const auto where = spans(text);
    QCOMPARE(where.size(), count);
    table.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        QVERIFY(table.insert(text.constData(), Section, where[i].first, where[i].second,
                             IniKeyTable::Entry{i, 0, 0}));
    // The same names again in another letter case: the first entry stays.
    const QString lower = text.toLower();
    for (int i = 0; i < count; ++i)
        QVERIFY(!table.insert(lower.constData(), Section, where[i].first, where[i].second,
                              IniKeyTable::Entry{-1, 0, 0}));
    // Looked up out of file order, so the shortcut for the next key is no help.
    for (int i = count - 1; i >= 0; i -= 2) {
        const IniKeyTable::Entry* entry =
            table.find(Section, QStringView(lower).mid(where[i].first, where[i].second));
        QVERIFY(entry);
        QCOMPARE(entry->lineStart, i);
    }
    QVERIFY(!table.find(Section, u"NO_EXISTE"));
    QVERIFY(!table.find(Section + 1, QStringView(text).mid(where[0].first, where[0].second)));
    QCOMPARE(table.size(), std::size_t(count));

    const IniKeyTable::Cost cost = table.worstCost();
    const auto treeBound = std::size_t(2 * std::log2(double(count) + 1) + 2);
    qInfo("%d names: at most %zu slots and %zu tree comparisons per operation (bounds %zu, %zu); "
          "%zu names in the tree",
          count, cost.probes, cost.treeComparisons, IniKeyTable::ProbeWindow, treeBound,
          table.treeSize());
    QVERIFY(cost.probes <= IniKeyTable::ProbeWindow);
    QVERIFY(cost.treeComparisons <= treeBound);
    if (names != Names::Ordinary)
        QCOMPARE(table.treeSize(), std::size_t(count) - IniKeyTable::ProbeWindow);
}

// Names prepared against one seed are ordinary names for a table with
// another: they spread over the slotCount instead of piling up.
void tst_IniKeyTable::seedSpreadsNamesPreparedForAnother() {
    const int count = 1500;
    const QString text = collidingNames(count, std::bit_ceil(std::size_t(count) * 2));
    const auto where = spans(text);
    IniKeyTable table; // a seed of its own
    table.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        QVERIFY(table.insert(text.constData(), Section, where[i].first, where[i].second,
                             IniKeyTable::Entry{i, 0, 0}));
    QVERIFY2(table.treeSize() < std::size_t(count) / 10,
             qPrintable(QString::number(table.treeSize())));
}

QTEST_APPLESS_MAIN(tst_IniKeyTable)
#include "tst_IniKeyTable.moc"
