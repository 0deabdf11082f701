#include "data/pg/PgConnection.h"

#include "data/DataErrors.h"
#include "data/records/RecordSet.h"
#include "data/pg/PgLogin.h"
#include "data/pg/PgResultReader.h"

#include <libpq-fe.h>

#include <vector>

namespace {

// SQLSTATE of a failed connect, as the driver reports it.
const QString ConnectFailed = QStringLiteral("08001");
// SQLSTATE of a session lost in the middle of a call.
const QString LinkFailure = QStringLiteral("08S01");

QString ConnectionMessage(const PGconn* conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

} // namespace

PgConnection::~PgConnection()
{
    disconnect();
}

void PgConnection::connect(const PgLogin& login, int loginTimeout)
{
    disconnect();
    std::vector<QByteArray> texts;
    texts.reserve(std::size_t(login.options.size() + 1) * 2);
    for (const auto& [keyword, value] : login.options) {
        texts.push_back(keyword.toUtf8());
        texts.push_back(value.toUtf8());
    }
    // Without a time-out a server that accepts TCP and never answers holds the caller for ever.
    if (loginTimeout > 0) {
        texts.push_back(QByteArrayLiteral("connect_timeout"));
        texts.push_back(QByteArray::number(loginTimeout));
    }
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (std::size_t i = 0; i < texts.size(); i += 2) {
        keywords.push_back(texts[i].constData());
        values.push_back(texts[i + 1].constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);

    PGconn* conn = PQconnectdbParams(keywords.data(), values.data(), 0);
    if (!conn)
        throw DatabaseError(QStringLiteral("libpq could not allocate a connection"), ConnectFailed, 0);
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString message = ConnectionMessage(conn);
        PQfinish(conn);
        throw DatabaseError(message, ConnectFailed, 0);
    }
    // Notices are passed over, as the driver's information records are; libpq would print them.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    PGcancel* canceller = PQgetCancel(conn);
    std::lock_guard lock(runningMutex_);
    conn_ = conn;
    canceller_ = canceller;
}

void PgConnection::disconnect()
{
    if (!conn_)
        return;
    {
        std::lock_guard lock(runningMutex_);
        PQfreeCancel(canceller_);
        canceller_ = nullptr;
    }
    PQfinish(conn_);
    conn_ = nullptr;
}

bool PgConnection::isDead() const
{
    return !conn_ || PQstatus(conn_) == CONNECTION_BAD;
}

void PgConnection::cancel()
{
    std::lock_guard lock(runningMutex_);
    if (!running_ || !canceller_)
        return;
    cancelRequested_ = true;
    char error[256];
    PQcancel(canceller_, error, sizeof(error));
}

SqlSyntax PgConnection::syntax(int)
{
    SqlSyntax syntax{SqlDialect::PostgreSql, std::nullopt};
    const char* setting = conn_ ? PQparameterStatus(conn_, "standard_conforming_strings") : nullptr;
    if (setting && (qstrcmp(setting, "on") == 0 || qstrcmp(setting, "off") == 0))
        syntax.standardStrings = qstrcmp(setting, "on") == 0;
    return syntax;
}

void PgConnection::applyStatementTimeout(int seconds)
{
    // Before every batch, as the driver does: a script may have set another time-out itself.
    const QByteArray command = "SET statement_timeout = " + QByteArray::number(qint64(qMax(0, seconds)) * 1000);
    PGresult* result = PQexec(conn_, command.constData());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok) {
        const DatabaseError error = PgResultError(result, conn_);
        PQclear(result);
        throw error;
    }
    PQclear(result);
}

std::unique_ptr<RecordSet> PgConnection::execute(const QString& batch, int queryTimeout, bool decimalsAsFloat)
{
    if (!conn_)
        throw DatabaseError(QStringLiteral("The connection is not open"), LinkFailure, 0);
    {
        std::lock_guard lock(runningMutex_);
        running_ = true;
        cancelRequested_ = false;
    }
    struct Finish {
        PgConnection& self;
        ~Finish()
        {
            std::lock_guard lock(self.runningMutex_);
            self.running_ = false;
        }
    } finish{*this};

    applyStatementTimeout(queryTimeout);
    if (!PQsendQuery(conn_, batch.toUtf8().constData()))
        throw DatabaseError(ConnectionMessage(conn_), LinkFailure, 0);
    PQsetSingleRowMode(conn_);
    // A cancel that came before the batch reached the server found nothing to stop there.
    if (cancelRequested_)
        cancel();
    return PgResultReader(conn_, decimalsAsFloat, cancelRequested_).readBatch();
}
