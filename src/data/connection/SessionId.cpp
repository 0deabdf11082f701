#include "data/connection/SessionId.h"

#include "data/connection/Connection.h"
#include "data/connection/SqlSyntax.h"
#include "data/records/RecordSet.h"

qint64 OwnSessionId(Connection& connection)
{
    const QString query = SessionIdQuery(connection.syntax().dialect);
    if (query.isEmpty())
        return 0;
    const std::unique_ptr<RecordSet> rows = connection.execute(query, false);
    if (!rows || rows->rowCount() == 0 || rows->fieldCount() == 0)
        return 0;
    return rows->displayText(0, 0).trimmed().toLongLong();
}
