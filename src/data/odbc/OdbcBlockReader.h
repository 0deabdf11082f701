#pragma once

#include "data/records/FieldInfo.h"
#include "data/records/FieldKinds.h"
#include "data/odbc/OdbcApi.h"

#include <QList>
#include <memory>
#include <vector>

class OdbcConnection;
class RecordColumn;
class RecordSet;

// Reads a result set with bound column-wise block cursors: about 1000 rows a call, each column
// into an array of its C type. Text of unknown or long size is bound with a modest width and
// only the values that do not fit are read again with SQLGetData. Bindings are double-buffered:
// while the driver fetches a block into one set of arrays, a second thread stores the block
// before it from the other. A driver that cannot combine SQLGetData with block fetches gets
// single rows read column by column instead.
class OdbcBlockReader {
public:
    OdbcBlockReader(SQLHSTMT stmt, OdbcConnection& connection, bool decimalsAsFloat);
    ~OdbcBlockReader();

    std::unique_ptr<RecordSet> readAll();

private:
    static constexpr int Slots = 2;

    struct Binding {
        ValueForm form = ValueForm::Text;
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLLEN width = 0;          // bytes per element
        bool mayTruncate = false;  // text or bytes whose length is not bounded by width
        qint64 tickUnit = 1;       // the finest fraction a date-time column keeps
        std::vector<char> data[Slots];
        std::vector<SQLLEN> indicators[Slots];
    };

    // One block as fetched: the rows' status and, for each column in row order, the whole values
    // that did not fit their bound width, read on the fetching thread while the cursor is on the block.
    struct Block {
        SQLULEN fetched = 0;
        std::vector<SQLUSMALLINT> status;
        std::vector<std::vector<std::vector<char>>> overflow;
    };

    QList<FieldInfo> describe();
    void prepareBindings(const QList<FieldInfo>& fields);
    void bindSlot(int slot);
    void readBlocks(RecordSet& records);
    void readOverflow(int slot);
    void storeBlock(RecordSet& records, int slot);
    void readRows(RecordSet& records);
    bool truncated(const Binding& binding, SQLLEN indicator) const;
    void store(RecordColumn& column, const Binding& binding, const char* cell, SQLLEN indicator,
               const std::vector<char>* whole);
    void readRest(Binding& binding, SQLUSMALLINT columnNumber, std::vector<char>& value);
    // Fetches the next block or row; false after the last.
    bool fetch();
    void checkCancel() const;

    SQLHSTMT stmt_;
    OdbcConnection& connection_;
    bool decimalsAsFloat_;
    std::vector<Binding> bindings_;
    Block blocks_[Slots];
    SQLULEN rowsetSize_ = 1;
    bool bound_ = false;
};
