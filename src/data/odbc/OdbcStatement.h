#pragma once

#include <QString>
#include <memory>

class OdbcConnection;
class RecordSet;

// One batch on a connection: runs it, finds its first result set and reads it whole.
class OdbcStatement {
public:
    explicit OdbcStatement(OdbcConnection& connection);
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    // Seconds; 0 means no limit.
    void setQueryTimeout(int seconds);

    // Runs the batch and walks past row counts and notices to the first result that has
    // columns. False when the batch has none. Throws DatabaseError.
    bool executeToFirstResult(const QString& batch);

    // Reads every row of the current result in blocks and closes the cursor.
    std::unique_ptr<RecordSet> fetchAll(bool decimalsAsFloat);

private:
    OdbcConnection& connection_;
    void* stmt_ = nullptr;
};
