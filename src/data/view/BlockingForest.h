#pragma once

#include <QString>
#include <memory>
#include <vector>

class RecordSet;
struct RowMarks;

// The columns of a result that tell who waits for whom.
struct BlockingColumns {
    // Names a session: the script's first key column.
    QString key;
    // Names, by its key, the session this one waits for. Null, blank, "0" and "." (sp_who2's "  .")
    // mean it waits for no one; so does its own key.
    QString blockedBy;
    // How long it has waited, a number; empty when the script has none.
    QString wait;

    bool empty() const { return key.isEmpty() || blockedBy.isEmpty(); }
};

// The chains of blocked sessions in one result. Only sessions that wait or are waited for are in
// it: at the top the head blockers (waited for, waiting for no one), most waiters first, then one
// session of each cycle of sessions waiting for each other, then a node for each session waited for
// that is not in the result; under each node the sessions waiting for it, in result order.
struct BlockingForest {
    struct Node {
        // Its record row; -1 for a session that is not in the result.
        int row = -1;
        // The node it waits for; -1 at the top.
        int parent = -1;
        // Its place among its parent's children, or at the top.
        int position = 0;
        // Its children: children[firstChild] on, childCount of them.
        int firstChild = 0;
        int childCount = 0;
        // The sessions of its whole subtree below it.
        int waiting = 0;
        // Of those, the record row of the one that has waited longest; -1 without a wait column.
        int longestWaitRow = -1;
        // It waits, through others, for itself.
        bool cycle = false;
        // The key that names a session not in the result.
        QString absentKey;
    };

    // The rows it was built on: the forest belongs to them alone.
    const RecordSet* records = nullptr;
    int keyColumn = -1;
    int waitColumn = -1;
    std::vector<Node> nodes;
    std::vector<int> top;
    std::vector<int> children;
    // By record row: its node, or -1 for a row that neither waits nor is waited for.
    std::vector<int> nodeOfRow;

    // A node's session as its key names it, blanks trimmed.
    QString keyOf(int node) const;
};

// The forest of records, without the rows marks tell have vanished; none when the columns are not
// named or records lacks the key or the blocked-by column.
std::shared_ptr<const BlockingForest> BuildBlockingForest(const RecordSet& records, const RowMarks& marks,
                                                          const BlockingColumns& columns);
