#include "data/view/BlockingForest.h"

#include "data/history/RowKeys.h"
#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"
#include "data/view/RowMarks.h"

#include <algorithm>
#include <unordered_map>

namespace {

constexpr int NotBlocked = -1;

// What a row's blocked-by value leads to: NotBlocked, the record row of the session it names, or
// -2 - i for the i-th key that no row of the result has.
struct Blockers {
    std::vector<int> of;
    QStringList absent;
};

bool Vanished(const RowMarks& marks, int row)
{
    return marks.row(row) == RowChange::Vanished;
}

// Reads a cell as Token through read (false for a null) and tells the values that mean "waits for
// no one" with idle; text names the token in a node of a session not in the result.
template <typename Token, typename Read, typename Idle, typename Text>
Blockers FindBlockers(const RecordSet& records, const RowMarks& marks, int keyColumn, int blockedByColumn, Read read,
                      Idle idle, Text text)
{
    const int count = records.rowCount();
    std::unordered_map<Token, int> rowOfKey;
    rowOfKey.reserve(std::size_t(count));
    std::vector<Token> keys(static_cast<std::size_t>(count));
    std::vector<bool> keyed(static_cast<std::size_t>(count), false);
    for (int row = 0; row < count; ++row) {
        if (Vanished(marks, row) || !read(row, keyColumn, keys[std::size_t(row)]))
            continue;
        keyed[std::size_t(row)] = true;
        // A repeated key names the first row that has it.
        rowOfKey.try_emplace(keys[std::size_t(row)], row);
    }
    Blockers blockers;
    blockers.of.assign(std::size_t(count), NotBlocked);
    std::unordered_map<Token, int> absentIndex;
    Token blocker{};
    for (int row = 0; row < count; ++row) {
        if (Vanished(marks, row) || !read(row, blockedByColumn, blocker) || idle(blocker))
            continue;
        // A session shown blocked by itself waits on its own work, not on another session.
        if (keyed[std::size_t(row)] && keys[std::size_t(row)] == blocker)
            continue;
        if (const auto found = rowOfKey.find(blocker); found != rowOfKey.end()) {
            blockers.of[std::size_t(row)] = found->second;
            continue;
        }
        const auto [absent, added] = absentIndex.try_emplace(blocker, int(blockers.absent.size()));
        if (added)
            blockers.absent << text(blocker);
        blockers.of[std::size_t(row)] = -2 - absent->second;
    }
    return blockers;
}

Blockers FindBlockers(const RecordSet& records, const RowMarks& marks, int keyColumn, int blockedByColumn)
{
    const auto integral = [&records](int column) {
        return FieldKindOf(records.field(column).type).form == ValueForm::Integer;
    };
    if (integral(keyColumn) && integral(blockedByColumn)) {
        return FindBlockers<qint64>(
            records, marks, keyColumn, blockedByColumn,
            [&records](int row, int column, qint64& value) {
                if (records.isNull(row, column))
                    return false;
                value = records.column(column).integer(row);
                return true;
            },
            [](qint64 value) { return value == 0; }, [](qint64 value) { return QString::number(value); });
    }
    // Text as it shows, blanks trimmed: sp_who2 pads its session numbers.
    return FindBlockers<QString>(
        records, marks, keyColumn, blockedByColumn,
        [&records](int row, int column, QString& value) {
            if (records.isNull(row, column))
                return false;
            value = records.displayText(row, column).trimmed();
            return true;
        },
        [](const QString& value) {
            return value.isEmpty() || value == QLatin1String("0") || value == QLatin1String(".");
        },
        [](const QString& value) { return value; });
}

// A row's wait as a number; -1 for a null or a text that is no number.
double WaitOf(const RecordSet& records, int row, int column)
{
    const RecordColumn& cells = records.column(column);
    if (cells.isNull(row))
        return -1.0;
    if (FieldKindOf(records.field(column).type).form == ValueForm::Integer)
        return double(cells.integer(row));
    if (cells.storage() == RecordColumn::Storage::Real)
        return cells.real(row);
    bool number = false;
    const double value = records.displayText(row, column).trimmed().toDouble(&number);
    return number ? value : -1.0;
}

// Cuts each cycle of parents once, where the walk first comes back to it; marks its members.
void CutCycles(std::vector<int>& parent, std::vector<bool>& cycle)
{
    enum : char { Unseen, OnPath, Done };
    std::vector<char> state(parent.size(), Unseen);
    std::vector<int> path;
    for (std::size_t start = 0; start < parent.size(); ++start) {
        path.clear();
        int at = int(start);
        while (at >= 0 && state[std::size_t(at)] == Unseen) {
            state[std::size_t(at)] = OnPath;
            path.push_back(at);
            at = parent[std::size_t(at)];
        }
        if (at >= 0 && state[std::size_t(at)] == OnPath) {
            for (auto member = std::find(path.begin(), path.end(), at); member != path.end(); ++member)
                cycle[std::size_t(*member)] = true;
            parent[std::size_t(at)] = -1;
        }
        for (const int member : path)
            state[std::size_t(member)] = Done;
    }
}

} // namespace

QString BlockingForest::keyOf(int node) const
{
    const Node& n = nodes[std::size_t(node)];
    return n.row < 0 ? n.absentKey : records->displayText(n.row, keyColumn).trimmed();
}

std::shared_ptr<const BlockingForest> BuildBlockingForest(const RecordSet& records, const RowMarks& marks,
                                                          const BlockingColumns& columns)
{
    if (columns.empty())
        return {};
    const int keyColumn = FieldIndexIn(records, columns.key);
    const int blockedByColumn = FieldIndexIn(records, columns.blockedBy);
    if (keyColumn < 0 || blockedByColumn < 0)
        return {};
    auto forest = std::make_shared<BlockingForest>();
    forest->records = &records;
    forest->keyColumn = keyColumn;
    forest->waitColumn = columns.wait.isEmpty() ? -1 : FieldIndexIn(records, columns.wait);

    const int count = records.rowCount();
    Blockers blockers = FindBlockers(records, marks, keyColumn, blockedByColumn);
    // Rows first, then one slot for each absent session: parents among all of them.
    const int slots = count + int(blockers.absent.size());
    std::vector<int> parent(std::size_t(slots), -1);
    std::vector<bool> waitedFor(std::size_t(slots), false);
    for (int row = 0; row < count; ++row) {
        const int to = blockers.of[std::size_t(row)];
        if (to == NotBlocked)
            continue;
        const int slot = to >= 0 ? to : count + (-2 - to);
        parent[std::size_t(row)] = slot;
        waitedFor[std::size_t(slot)] = true;
    }
    std::vector<bool> cycle(std::size_t(slots), false);
    CutCycles(parent, cycle);

    auto& nodes = forest->nodes;
    forest->nodeOfRow.assign(std::size_t(count), -1);
    std::vector<int> nodeOfSlot(std::size_t(slots), -1);
    std::vector<int> slotOfNode;
    for (int slot = 0; slot < slots; ++slot) {
        if (parent[std::size_t(slot)] < 0 && !waitedFor[std::size_t(slot)])
            continue;
        BlockingForest::Node node;
        if (slot < count) {
            node.row = slot;
            forest->nodeOfRow[std::size_t(slot)] = int(nodes.size());
        } else {
            node.absentKey = blockers.absent[slot - count];
        }
        node.cycle = cycle[std::size_t(slot)];
        nodeOfSlot[std::size_t(slot)] = int(nodes.size());
        slotOfNode.push_back(slot);
        nodes.push_back(std::move(node));
    }

    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const int parentSlot = parent[std::size_t(slotOfNode[i])];
        nodes[i].parent = parentSlot < 0 ? -1 : nodeOfSlot[std::size_t(parentSlot)];
        if (nodes[i].parent >= 0)
            ++nodes[std::size_t(nodes[i].parent)].childCount;
    }
    int first = 0;
    for (auto& node : nodes) {
        node.firstChild = first;
        first += node.childCount;
        node.childCount = 0;
    }
    forest->children.resize(std::size_t(first));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].parent < 0) {
            forest->top.push_back(int(i));
            continue;
        }
        BlockingForest::Node& up = nodes[std::size_t(nodes[i].parent)];
        nodes[i].position = up.childCount;
        forest->children[std::size_t(up.firstChild + up.childCount++)] = int(i);
    }

    // Parents before children, so that each subtree is summed before the node above it.
    std::vector<int> order = forest->top;
    for (std::size_t at = 0; at < order.size(); ++at) {
        const BlockingForest::Node& node = nodes[std::size_t(order[at])];
        for (int child = 0; child < node.childCount; ++child)
            order.push_back(forest->children[std::size_t(node.firstChild + child)]);
    }
    const int waitColumn = forest->waitColumn;
    const auto waitOf = [&](int row) { return row < 0 || waitColumn < 0 ? -1.0 : WaitOf(records, row, waitColumn); };
    std::vector<double> longest(nodes.size(), -1.0);
    for (auto at = order.rbegin(); at != order.rend(); ++at) {
        const BlockingForest::Node& node = nodes[std::size_t(*at)];
        if (node.parent < 0)
            continue;
        BlockingForest::Node& up = nodes[std::size_t(node.parent)];
        up.waiting += node.waiting + 1;
        const std::size_t u = std::size_t(node.parent);
        for (const auto& [wait, row] : {std::pair{waitOf(node.row), node.row},
                                        std::pair{longest[std::size_t(*at)], node.longestWaitRow}}) {
            if (row >= 0 && wait > longest[u]) {
                longest[u] = wait;
                up.longestWaitRow = row;
            }
        }
    }

    // Sessions of the result before those it lacks; among them most waiters first.
    std::stable_sort(forest->top.begin(), forest->top.end(), [&nodes](int a, int b) {
        const BlockingForest::Node& x = nodes[std::size_t(a)];
        const BlockingForest::Node& y = nodes[std::size_t(b)];
        if ((x.row < 0) != (y.row < 0))
            return y.row < 0;
        return x.waiting > y.waiting;
    });
    for (std::size_t i = 0; i < forest->top.size(); ++i)
        nodes[std::size_t(forest->top[i])].position = int(i);
    return forest;
}
