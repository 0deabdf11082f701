#include "data/pg/PgResultReader.h"

#include "data/records/BlockStorer.h"
#include "data/records/RecordSet.h"
#include "data/pg/PgFieldTypes.h"
#include "data/pg/PgText.h"

#include <libpq-fe.h>

#include <optional>
#include <utility>

namespace {

// SQLSTATE and native code of the driver's errors.
const QString LinkFailure = QStringLiteral("08S01");
constexpr int ServerErrorCode = 1;
// Rows handed to the storing thread at a time; a cancel is looked for after each block.
constexpr std::size_t BlockRows = 512;

class ResultHolder {
public:
    explicit ResultHolder(PGresult* result) : result_(result) {}
    ~ResultHolder() { PQclear(result_); }
    ResultHolder(const ResultHolder&) = delete;
    ResultHolder& operator=(const ResultHolder&) = delete;

private:
    PGresult* result_;
};

// Reads what is left of the batch and drops it, so the session can take the next one; a cancel
// first, so that a long result is not read to its end.
void Abandon(PGconn* conn)
{
    if (PGcancel* canceller = PQgetCancel(conn)) {
        char error[256];
        PQcancel(canceller, error, sizeof(error));
        PQfreeCancel(canceller);
    }
    while (PGresult* result = PQgetResult(conn)) {
        const ExecStatusType status = PQresultStatus(result);
        PQclear(result);
        if (status == PGRES_COPY_OUT || status == PGRES_COPY_IN || status == PGRES_COPY_BOTH)
            break;
    }
}

void AppendUpper(RecordColumn& column, const char* value, int length)
{
    QVarLengthArray<char16_t, 64> upper(length);
    for (int i = 0; i < length; ++i) {
        const char c = value[i];
        upper[i] = char16_t(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    column.appendText(upper.data(), length);
}

// bytea in the server's hex form ("\x00ff") or, should a script have chosen it, its escape form;
// held as upper-case hexadecimal digits, as the driver's bytes are.
void AppendBytes(RecordColumn& column, const char* value, int length)
{
    if (length >= 2 && value[0] == '\\' && value[1] == 'x') {
        AppendUpper(column, value + 2, length - 2);
        return;
    }
    size_t size = 0;
    unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &size);
    if (!bytes)
        throw std::bad_alloc();
    const QByteArray hex = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), qsizetype(size)).toHex();
    PQfreemem(bytes);
    AppendUpper(column, hex.constData(), int(hex.size()));
}

} // namespace

DatabaseError PgResultError(const pg_result* result, const pg_conn* conn)
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (!state || !primary) {
        QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : "").trimmed();
        if (message.isEmpty())
            message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        return DatabaseError(message, LinkFailure, ServerErrorCode);
    }
    // Worded as the driver words the server's errors.
    QString message = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_SEVERITY)) + QStringLiteral(": ")
        + QString::fromUtf8(primary);
    if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
        message += QStringLiteral("\nDETAIL: ") + QString::fromUtf8(detail);
    message += QStringLiteral(";\nError while executing the query");
    return DatabaseError(message, QString::fromLatin1(state), ServerErrorCode);
}

PgResultReader::PgResultReader(pg_conn* conn, bool decimalsAsFloat, const std::atomic<bool>& cancelRequested)
    : conn_(conn), decimalsAsFloat_(decimalsAsFloat), cancelRequested_(cancelRequested)
{
}

PgResultReader::~PgResultReader() = default;

std::unique_ptr<RecordSet> PgResultReader::readBatch()
{
    std::optional<DatabaseError> failure;
    bool firstComplete = false;
    bool cancelled = false;
    BlockStorer storer([this](int slot) { storeBlock(slot); });
    int slot = 0;
    try {
        while (PGresult* result = PQgetResult(conn_)) {
            const ResultHolder holder(result);
            switch (PQresultStatus(result)) {
            case PGRES_SINGLE_TUPLE:
                // A result without columns ("select" alone) still has its rows.
                if (firstComplete || cancelled || failure || PQnfields(result) == 0)
                    break;
                if (!records_)
                    begin(result);
                copyRow(result, blocks_[slot]);
                if (blocks_[slot].rows == BlockRows) {
                    storer.hand(slot);
                    slot = (slot + 1) % Slots;
                    storer.waitFor(slot);
                    blocks_[slot].clear();
                    cancelled = cancelRequested_.load();
                }
                break;
            case PGRES_TUPLES_OK:
                if (!firstComplete && PQnfields(result) > 0) {
                    if (!records_)
                        begin(result);
                    firstComplete = true;
                    // A result of less than a block is stored here, without a thread.
                    if (storer.started())
                        storer.hand(slot);
                    else
                        storeBlock(slot);
                }
                break;
            case PGRES_COMMAND_OK:
            case PGRES_EMPTY_QUERY:
                break;
            case PGRES_COPY_IN:
                // A data set has no rows to send: the server ends the copy with this as its error.
                PQputCopyEnd(conn_, "COPY FROM STDIN is not supported");
                break;
            case PGRES_COPY_OUT: {
                char* buffer = nullptr;
                while (PQgetCopyData(conn_, &buffer, 0) > 0)
                    PQfreemem(buffer);
                if (!failure)
                    failure = DatabaseError(QStringLiteral("COPY TO STDOUT is not supported"), QStringLiteral("HY000"), 0);
                break;
            }
            default:
                if (!failure)
                    failure = PgResultError(result, conn_);
                break;
            }
        }
        storer.finish();
    } catch (...) {
        Abandon(conn_);
        throw;
    }
    if (failure)
        throw *failure;
    if (cancelled)
        throw DataError(QStringLiteral("The query was cancelled"));
    if (records_)
        records_->squeeze();
    return std::move(records_);
}

void PgResultReader::copyRow(const pg_result* row, Block& block)
{
    for (int i = 0; i < int(forms_.size()); ++i) {
        if (PQgetisnull(row, 0, i)) {
            block.lengths.push_back(-1);
            continue;
        }
        const int length = PQgetlength(row, 0, i);
        const char* value = PQgetvalue(row, 0, i);
        block.values.insert(block.values.end(), value, value + length);
        block.lengths.push_back(length);
    }
    ++block.rows;
}

void PgResultReader::storeBlock(int slot)
{
    const Block& block = blocks_[slot];
    const char* value = block.values.data();
    const int* length = block.lengths.data();
    for (std::size_t row = 0; row < block.rows; ++row) {
        for (int i = 0; i < int(forms_.size()); ++i, ++length) {
            if (*length < 0) {
                records_->column(i).appendNull();
                continue;
            }
            store(records_->column(i), forms_[std::size_t(i)], value, *length);
            value += *length;
        }
    }
}

void PgResultReader::begin(const pg_result* result)
{
    const int count = PQnfields(result);
    QList<FieldInfo> fields;
    fields.reserve(count);
    forms_.clear();
    for (int i = 0; i < count; ++i) {
        const PgColumnKind kind = PgColumnKindOf(QString::fromUtf8(PQfname(result, i)), PQftype(result, i),
                                                 PQfmod(result, i), decimalsAsFloat_);
        fields.append(kind.field);
        forms_.push_back(kind.form);
    }
    records_ = std::make_unique<RecordSet>(std::move(fields));
}

void PgResultReader::store(RecordColumn& column, Form form, const char* value, int length)
{
    switch (form) {
    case Form::Integer:
        column.appendInteger(PgInteger(value, length));
        break;
    case Form::Real:
        column.appendReal(PgReal(value, length));
        break;
    case Form::Money:
        column.appendReal(PgMoney(value, length));
        break;
    case Form::Boolean:
        column.appendText(length > 0 && value[0] == 't' ? u"1" : u"0", 1);
        break;
    case Form::Date:
        column.appendInteger(PgDateJulianDay(value, length));
        break;
    case Form::Time:
        column.appendInteger(PgTimeTicks(value, length));
        break;
    case Form::DateTime:
        column.appendInteger(PgDateTimeTicks(value, length));
        break;
    case Form::Bytes:
        AppendBytes(column, value, length);
        break;
    case Form::Guid:
        AppendUpper(column, value, length);
        break;
    case Form::Text:
        column.appendUtf8(value, length);
        break;
    }
}
