#pragma once

#include "data/view/RecordView.h"

#include <QStringList>
#include <memory>

class Connection;
class RecordSet;

// A data set: runs its SQL text as one batch on a connection and shows the first result set
// through its record view, which orders and narrows the rows without asking the server again.
// Other data sets can adopt what it fetched.
class Query : public RecordView {
    Q_OBJECT

public:
    explicit Query(QObject* parent = nullptr);
    ~Query() override;

    void setConnection(Connection* connection) { connection_ = connection; }
    Connection* connection() const { return connection_; }

    // The script's lines, joined by line breaks and sent as one batch. Never parsed for
    // parameters: a colon is text.
    QStringList& sql() { return sql_; }
    const QStringList& sql() const { return sql_; }
    void setSql(const QStringList& lines) { sql_ = lines; }

    // Decimal and numeric columns as Float (the monitor's choice) or as exact Decimal (default).
    void setDecimalsAsFloat(bool on) { decimalsAsFloat_ = on; }
    bool decimalsAsFloat() const { return decimalsAsFloat_; }

    // Throws DataError ("CommandText does not return a result set", no connection) or
    // DatabaseError (the server's message). A failed open leaves the data set closed.
    void open();
    // Runs the batch as open() does and gives its rows to the caller instead of showing them; the
    // data set is closed afterwards. For a caller that changes the rows before setRecords().
    std::unique_ptr<RecordSet> fetch();

private:
    Connection* connection_ = nullptr;
    QStringList sql_;
    bool decimalsAsFloat_ = false;
};
