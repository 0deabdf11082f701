#pragma once

#include "data/history/IntegerKeys.h"
#include "data/history/KeyedValues.h"
#include "data/history/ResultChanges.h"

#include <QStringList>
#include <vector>

class RecordSet;

// Compares results as CompareResults does, keeping the room its tables of keys took for the next
// comparison: for a large result they are megabytes, and fresh pages cost more to fault in than
// the comparison itself.
class ResultComparer {
public:
    ResultChanges compare(const RecordSet& before, const RecordSet& after, const QStringList& keyColumns);

private:
    template <typename RowKeys>
    void matchByKey(const RecordSet& before, const RecordSet& after, RowKeys& earlier, RowKeys& fresh,
                    ResultChanges& changes);

    IntegerKeys earlierNumbers_;
    IntegerKeys freshNumbers_;
    KeyedValues earlierTexts_;
    KeyedValues freshTexts_;
    // Per entry of the earlier table: its first row, whether the key repeats in before, how many
    // rows of after have it.
    std::vector<int> firstRow_;
    std::vector<char> repeatedBefore_;
    std::vector<int> uses_;
    // Per row of after: its entry of the earlier table, or -1 - its entry of the fresh one.
    std::vector<int> entries_;
    std::vector<char> repeatedFresh_;
};
