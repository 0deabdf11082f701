#include "data/Query.h"

#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/records/RecordSet.h"

Query::Query(QObject* parent) : RecordView(parent) {}

Query::~Query() = default;

void Query::open()
{
    setRecords(fetch());
}

std::unique_ptr<RecordSet> Query::fetch()
{
    if (!connection_ || !connection_->connected())
        throw DataError(QStringLiteral("%1: The connection is not open").arg(displayName()));
    close();
    std::unique_ptr<RecordSet> records;
    try {
        records = connection_->execute(sql_.join(u'\n'), decimalsAsFloat_);
    } catch (const DatabaseError&) {
        connection_->checkAlive();
        throw;
    }
    if (!records)
        throw DataError(QStringLiteral("CommandText does not return a result set"));
    return records;
}
