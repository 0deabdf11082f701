#pragma once

#include "data/FieldInfo.h"
#include "data/odbc/OdbcApi.h"

#include <QList>
#include <memory>
#include <vector>

class OdbcConnection;
class RecordColumn;
class RecordSet;

// Reads a result set with bound column-wise block cursors: about 1000 rows a call, each column
// into an array of its C type. Text of unknown or long size is bound with a modest width and
// only the values that do not fit are read again with SQLGetData. A driver that cannot combine
// SQLGetData with block fetches gets single rows read column by column instead.
class OdbcBlockReader {
public:
    OdbcBlockReader(SQLHSTMT stmt, OdbcConnection& connection, bool decimalsAsFloat);
    ~OdbcBlockReader();

    std::unique_ptr<RecordSet> readAll();

private:
    struct Binding {
        FieldType type = FieldType::VarWChar;
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLLEN width = 0;          // bytes per element
        bool mayTruncate = false;  // text or bytes whose length is not bounded by width
        std::vector<char> data;
        std::vector<SQLLEN> indicators;
    };

    QList<FieldInfo> describe();
    void prepareBindings(const QList<FieldInfo>& fields);
    void readBlocks(RecordSet& records);
    void readRows(RecordSet& records);
    void store(RecordColumn& column, Binding& binding, SQLUSMALLINT columnNumber, SQLULEN row, bool positioned);
    void readRest(Binding& binding, SQLUSMALLINT columnNumber, std::vector<char>& value);
    void checkCancel() const;

    SQLHSTMT stmt_;
    OdbcConnection& connection_;
    bool decimalsAsFloat_;
    std::vector<Binding> bindings_;
    SQLULEN rowsetSize_ = 1;
    bool bound_ = false;
};
