#pragma once

#include <QString>
#include <QtGlobal>

// A rule that asks for notification has started to apply to a row.
struct RuleEvent {
    qint64 time = 0;   // the refresh's, milliseconds since the epoch (UTC)
    QString rule;
    // The row's key cells, "53" or "53, master"; without key columns "строка N" (from 1).
    QString key;
    // The columns the rule's expression names, with the row's values: "BlkBy = 52; Status = SUSPENDED".
    QString values;
    friend bool operator==(const RuleEvent&, const RuleEvent&) = default;
};
