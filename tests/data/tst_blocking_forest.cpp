#include "RecordSets.h"

#include "data/view/BlockingForest.h"
#include "data/view/RowMarks.h"

#include <QtTest>

namespace {

const BlockingColumns Columns{QStringLiteral("spid"), QStringLiteral("blocked_by"), QStringLiteral("wait_ms")};

// Sessions as (spid, blocked_by, wait_ms).
std::unique_ptr<RecordSet> Sessions(const QList<QVariantList>& rows)
{
    return RecordsOf({{"spid", FieldType::Integer}, {"blocked_by", FieldType::Integer}, {"wait_ms", FieldType::BigInt}},
                     rows);
}

// The forest a line a node, indented by depth: its key, "~" for a cycle, and for a node with
// waiters "(count, key of the longest waiter)".
QStringList Outline(const BlockingForest& forest)
{
    QStringList lines;
    const auto add = [&](const auto& self, int node, int depth) -> void {
        const BlockingForest::Node& n = forest.nodes[std::size_t(node)];
        QString line = QString(depth * 2, u' ') + forest.keyOf(node) + (n.cycle ? QStringLiteral("~") : QString());
        if (n.waiting > 0) {
            const QString longest = n.longestWaitRow < 0 ? QStringLiteral("-")
                                                         : forest.records->displayText(n.longestWaitRow, forest.keyColumn);
            line += QStringLiteral(" (%1, %2)").arg(n.waiting).arg(longest);
        }
        lines << line;
        for (int i = 0; i < n.childCount; ++i) {
            const int child = forest.children[std::size_t(n.firstChild + i)];
            QCOMPARE(forest.nodes[std::size_t(child)].parent, node);
            QCOMPARE(forest.nodes[std::size_t(child)].position, i);
            self(self, child, depth + 1);
        }
    };
    for (const int node : forest.top)
        add(add, node, 0);
    return lines;
}

QStringList OutlineOf(const RecordSet& records, const BlockingColumns& columns = Columns, const RowMarks& marks = {})
{
    const auto forest = BuildBlockingForest(records, marks, columns);
    return forest ? Outline(*forest) : QStringList{QStringLiteral("none")};
}

} // namespace

// Who waits for whom, built from rows made by hand.
class TestBlockingForest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void chainsUnderTheirHeadsWithCountAndLongestWait()
    {
        const auto records = Sessions({{51, {}, {}}, {52, 51, 100}, {53, 52, 300}, {54, 51, 50}, {60, 0, {}},
                                       {70, {}, {}}, {71, 70, 900}});
        QCOMPARE(OutlineOf(*records), (QStringList{"51 (3, 53)", "  52 (1, 53)", "    53", "  54", "70 (1, 71)", "  71"}));
        const auto forest = BuildBlockingForest(*records, {}, Columns);
        QCOMPARE(forest->nodeOfRow[4], -1);
        QCOMPARE(forest->nodes[std::size_t(forest->nodeOfRow[2])].row, 2);
        // Without a wait column the longest wait is not known.
        QCOMPARE(OutlineOf(*records, {Columns.key, Columns.blockedBy, {}}).first(), QStringLiteral("51 (3, -)"));
    }

    void cycleShownOnceAndMarked()
    {
        const auto records = Sessions({{61, 62, 10}, {62, 61, 20}, {63, 62, 5}, {64, 65, 1}, {65, 66, 1}, {66, 64, 1}});
        QCOMPARE(OutlineOf(*records),
                 (QStringList{"61~ (2, 62)", "  62~ (1, 63)", "    63", "64~ (2, 66)", "  66~ (1, 65)", "    65~"}));
    }

    void sessionsWaitingForOneNotInTheResultHangUnderIt()
    {
        const auto records = Sessions({{70, 99, 10}, {71, 70, 20}, {72, 98, 5}, {80, {}, {}}, {81, 80, 1}});
        QCOMPARE(OutlineOf(*records), (QStringList{"80 (1, 81)", "  81", "99 (2, 71)", "  70 (1, 71)", "    71",
                                                   "98 (1, 72)", "  72"}));
        const auto forest = BuildBlockingForest(*records, {}, Columns);
        QCOMPARE(forest->nodes[std::size_t(forest->top[1])].row, -1);
    }

    void sp_who2TextsSelfBlockAndRepeatedKeys()
    {
        // sp_who2 pads its numbers and shows "  ." for no one; a session shown blocked by itself
        // waits on its own work.
        const auto who = RecordsOf({{"SPID", FieldType::Char}, {"BlkBy", FieldType::Char}},
                                   {{"52   ", "  .  "}, {"53   ", "52   "}, {"54   ", "54   "}, {"55   ", "  0"},
                                    {"56   ", {}}, {"57   ", ""}});
        QCOMPARE(OutlineOf(*who, {QStringLiteral("spid"), QStringLiteral("blkby"), {}}),
                 (QStringList{"52 (1, -)", "  53"}));
        // A repeated key: its waiters hang under the first row that has it; each row waits on its own.
        const auto repeated = Sessions({{90, {}, 0}, {90, 92, 7}, {91, 90, 3}, {92, {}, 0}});
        QCOMPARE(OutlineOf(*repeated), (QStringList{"90 (1, 91)", "  91", "92 (1, 90)", "  90"}));
    }

    void vanishedRowsAndMissingColumnsAreLeftOut()
    {
        const auto records = Sessions({{51, {}, {}}, {52, 51, 1}, {53, 51, 2}});
        RowMarks marks;
        marks.rows = {RowChange::Same, RowChange::Same, RowChange::Vanished};
        QCOMPARE(OutlineOf(*records, Columns, marks), (QStringList{"51 (1, 52)", "  52"}));
        QCOMPARE(OutlineOf(*records, {Columns.key, QStringLiteral("blocker"), {}}), QStringList{"none"});
        QCOMPARE(OutlineOf(*records, {{}, Columns.blockedBy, {}}), QStringList{"none"});
    }
};

QTEST_GUILESS_MAIN(TestBlockingForest)
#include "tst_blocking_forest.moc"
