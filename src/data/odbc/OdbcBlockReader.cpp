#include "data/odbc/OdbcBlockReader.h"

#include "data/records/BlockStorer.h"
#include "data/DataErrors.h"
#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"
#include "data/records/TemporalText.h"
#include "data/records/TemporalValue.h"
#include "data/odbc/OdbcConnection.h"
#include "data/odbc/OdbcDiagnostics.h"
#include "data/odbc/OdbcFieldTypes.h"

#include <cstring>

namespace {

constexpr SQLULEN BlockRows = 1000;
constexpr qsizetype BlockBytes = 16 * 1024 * 1024;
// Text up to this many characters is bound at its full width; longer or unknown sizes get the
// chunk width, and the rare longer value is read again alone.
constexpr SQLLEN MaxBoundChars = 4000;
constexpr SQLLEN LongChunkChars = 512;
constexpr SQLLEN MaxBoundBytes = 8000;
constexpr SQLLEN LongChunkBytes = 1024;
// Times and date-times with offsets are read as the driver's text, which carries the whole fraction
// (the driver's structure for a time has none) and the offset.
constexpr SQLLEN TimeTextChars = 32;
constexpr SQLLEN OffsetDateTimeTextChars = 48;

template <typename T>
T Read(const char* cell)
{
    T value;
    std::memcpy(&value, cell, sizeof(T));
    return value;
}

// Julian days of dates, remembering the last: the rows of a block mostly share their date.
class JulianDays {
public:
    qint64 of(int year, int month, int day)
    {
        if (year != year_ || month != month_ || day != day_ || !known_) {
            julian_ = QDate(year, month, day).toJulianDay();
            year_ = year;
            month_ = month;
            day_ = day;
            known_ = true;
        }
        return julian_;
    }

private:
    int year_ = 0;
    int month_ = 0;
    int day_ = 0;
    qint64 julian_ = 0;
    bool known_ = false;
};

// The fraction kept to the digits the column has: the driver's nanoseconds of a datetime's 1/300
// second (.003 is 3.333 ms) stand for the three digits the server shows.
qint64 TimestampTicks(const SQL_TIMESTAMP_STRUCT& ts, JulianDays& days, qint64 tickUnit)
{
    const qint64 fraction = (qint64(ts.fraction) / 100 + tickUnit / 2) / tickUnit * tickUnit;
    return JulianDayToTicks(days.of(ts.year, ts.month, ts.day), TimeToTicks(ts.hour, ts.minute, ts.second, fraction));
}

qint64 TickUnitOf(int fractionDigits)
{
    qint64 unit = 1;
    for (int digits = fractionDigits > 0 ? fractionDigits : 7; digits < 7; ++digits)
        unit *= 10;
    return unit;
}

// Stores a block's cells of one column that append reads from its bound element, nulls as nulls.
template <typename Append>
void StoreCells(RecordColumn& column, const char* cell, SQLLEN width, const SQLLEN* indicator, SQLULEN rows, Append append)
{
    for (const SQLLEN* const end = indicator + rows; indicator != end; ++indicator, cell += width) {
        if (*indicator == SQL_NULL_DATA)
            column.appendNull();
        else
            append(cell);
    }
}

void AppendHex(RecordColumn& column, const char* bytes, qsizetype length)
{
    const QString hex = QString::fromLatin1(QByteArray::fromRawData(bytes, length).toHex().toUpper());
    column.appendText(reinterpret_cast<const char16_t*>(hex.utf16()), hex.size());
}

} // namespace

OdbcBlockReader::OdbcBlockReader(SQLHSTMT stmt, OdbcConnection& connection, bool decimalsAsFloat)
    : stmt_(stmt), connection_(connection), decimalsAsFloat_(decimalsAsFloat)
{
}

OdbcBlockReader::~OdbcBlockReader()
{
    // The statement outlives this reader's buffers: leave it no pointers into them.
    if (bound_) {
        SQLFreeStmt(stmt_, SQL_UNBIND);
        SQLSetStmtAttrW(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
        SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
    }
}

QList<FieldInfo> OdbcBlockReader::describe()
{
    SQLSMALLINT count = 0;
    CheckOdbc(SQLNumResultCols(stmt_, &count), SQL_HANDLE_STMT, stmt_, "SQLNumResultCols");
    QList<FieldInfo> fields;
    fields.reserve(count);
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(count); ++i) {
        std::vector<SQLWCHAR> name(256);
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT decimals = 0;
        SQLSMALLINT nullable = 0;
        CheckOdbc(SQLDescribeColW(stmt_, i, name.data(), SQLSMALLINT(name.size()), &nameLength, &sqlType, &size,
                                  &decimals, &nullable),
                  SQL_HANDLE_STMT, stmt_, "SQLDescribeCol");
        if (nameLength >= SQLSMALLINT(name.size())) {
            name.resize(std::size_t(nameLength) + 1);
            CheckOdbc(SQLDescribeColW(stmt_, i, name.data(), SQLSMALLINT(name.size()), &nameLength, &sqlType, &size,
                                      &decimals, &nullable),
                      SQL_HANDLE_STMT, stmt_, "SQLDescribeCol");
        }
        SQLWCHAR typeName[128] = {};
        SQLSMALLINT typeNameBytes = 0;
        SQLColAttributeW(stmt_, i, SQL_DESC_TYPE_NAME, typeName, sizeof(typeName), &typeNameBytes, nullptr);

        FieldInfo field;
        field.name = FromSqlWide(name.data(), nameLength);
        field.sqlType = sqlType;
        field.typeName = FromSqlWide(typeName, qMin<qsizetype>(typeNameBytes / 2, 127));
        field.size = qint64(size);
        field.decimals = decimals;
        field.type = FieldTypeOf(sqlType, field.typeName, decimalsAsFloat_);
        fields.append(field);
    }
    return fields;
}

void OdbcBlockReader::prepareBindings(const QList<FieldInfo>& fields)
{
    qsizetype rowBytes = 0;
    for (const FieldInfo& field : fields) {
        Binding b;
        const FieldKind& kind = FieldKindOf(field.type);
        b.form = kind.form;
        const bool unbounded = kind.longText || field.size <= 0;
        switch (kind.storage) {
        case RecordColumn::Storage::Integer:
            switch (kind.form) {
            case ValueForm::DateTime:
                b.cType = SQL_C_TYPE_TIMESTAMP;
                b.width = sizeof(SQL_TIMESTAMP_STRUCT);
                b.tickUnit = TickUnitOf(field.decimals);
                break;
            case ValueForm::Date:
                b.cType = SQL_C_TYPE_DATE;
                b.width = sizeof(SQL_DATE_STRUCT);
                break;
            case ValueForm::Time:
                b.cType = SQL_C_WCHAR;
                b.width = (TimeTextChars + 1) * SQLLEN(sizeof(SQLWCHAR));
                break;
            case ValueForm::DateTimeOffset:
                b.cType = SQL_C_WCHAR;
                b.width = (OffsetDateTimeTextChars + 1) * SQLLEN(sizeof(SQLWCHAR));
                break;
            default:
                b.cType = SQL_C_SBIGINT;
                b.width = sizeof(qint64);
            }
            break;
        case RecordColumn::Storage::Real:
            b.cType = SQL_C_DOUBLE;
            b.width = sizeof(double);
            break;
        case RecordColumn::Storage::Text:
            b.mayTruncate = true;
            if (kind.form == ValueForm::Bytes) {
                b.cType = SQL_C_BINARY;
                b.width = unbounded || field.size > MaxBoundBytes ? LongChunkBytes : SQLLEN(field.size);
            } else {
                b.cType = SQL_C_WCHAR;
                SQLLEN chars = unbounded || field.size > MaxBoundChars ? LongChunkChars : SQLLEN(field.size);
                if (kind.form == ValueForm::Decimal)
                    chars += 3;   // sign, point, leading zero
                else if (kind.form == ValueForm::Guid)
                    chars = qMax<SQLLEN>(chars, 38);
                b.width = (chars + 1) * SQLLEN(sizeof(SQLWCHAR));
            }
            break;
        }
        rowBytes += b.width + qsizetype(sizeof(SQLLEN));
        bindings_.push_back(std::move(b));
    }
    rowsetSize_ = qBound<SQLULEN>(1, SQLULEN(BlockBytes / qMax<qsizetype>(rowBytes, 1)), BlockRows);
}

std::unique_ptr<RecordSet> OdbcBlockReader::readAll()
{
    QList<FieldInfo> fields = describe();
    prepareBindings(fields);
    auto records = std::make_unique<RecordSet>(std::move(fields));
    bool hasLong = false;
    for (int i = 0; i < records->fieldCount(); ++i)
        hasLong = hasLong || FieldKindOf(records->field(i).type).longText || records->field(i).size <= 0;
    if (hasLong && !connection_.getDataAfterBlockFetch())
        readRows(*records);
    else
        readBlocks(*records);
    records->squeeze();
    return records;
}

void OdbcBlockReader::bindSlot(int slot)
{
    Block& block = blocks_[slot];
    SQLSetStmtAttrW(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &block.fetched, 0);
    SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_STATUS_PTR, block.status.data(), 0);
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        Binding& b = bindings_[i];
        CheckOdbc(SQLBindCol(stmt_, SQLUSMALLINT(i + 1), b.cType, b.data[slot].data(), b.width, b.indicators[slot].data()),
                  SQL_HANDLE_STMT, stmt_, "SQLBindCol");
    }
}

void OdbcBlockReader::readBlocks(RecordSet& records)
{
    for (int slot = 0; slot < Slots; ++slot) {
        blocks_[slot].status.resize(rowsetSize_);
        for (Binding& b : bindings_) {
            b.data[slot].resize(std::size_t(b.width) * rowsetSize_);
            b.indicators[slot].resize(rowsetSize_);
        }
    }
    bound_ = true;
    CheckOdbc(SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_BIND_BY_COLUMN)), 0),
              SQL_HANDLE_STMT, stmt_, "SQLSetStmtAttr");
    CheckOdbc(SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowsetSize_), 0),
              SQL_HANDLE_STMT, stmt_, "SQLSetStmtAttr");

    BlockStorer storer([&](int slot) { storeBlock(records, slot); });
    for (int slot = 0;; slot = (slot + 1) % Slots) {
        storer.waitFor(slot);
        bindSlot(slot);
        if (!fetch())
            break;
        const Block& block = blocks_[slot];
        for (SQLULEN row = 0; row < block.fetched; ++row) {
            if (block.status[row] == SQL_ROW_ERROR)
                throw DiagnosticsError(SQL_HANDLE_STMT, stmt_, QStringLiteral("A row could not be read"));
        }
        readOverflow(slot);
        checkCancel();
        // A short block is the last: a result of one block is stored here, without a thread.
        if (!storer.started() && block.fetched < rowsetSize_)
            storeBlock(records, slot);
        else
            storer.hand(slot);
    }
    storer.finish();
}

bool OdbcBlockReader::truncated(const Binding& b, SQLLEN indicator) const
{
    const SQLLEN terminator = b.cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : 0;
    return b.mayTruncate && indicator != SQL_NULL_DATA && (indicator == SQL_NO_TOTAL || indicator > b.width - terminator);
}

void OdbcBlockReader::readOverflow(int slot)
{
    Block& block = blocks_[slot];
    block.overflow.resize(bindings_.size());
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        Binding& b = bindings_[i];
        block.overflow[i].clear();
        if (!b.mayTruncate)
            continue;
        for (SQLULEN row = 0; row < block.fetched; ++row) {
            if (!truncated(b, b.indicators[slot][row]))
                continue;
            if (!connection_.getDataAfterBlockFetch())
                throw DataError(QStringLiteral("The driver cannot read values longer than %1 bytes in a block").arg(b.width));
            CheckOdbc(SQLSetPos(stmt_, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_HANDLE_STMT, stmt_,
                      "SQLSetPos");
            std::vector<char> value;
            readRest(b, SQLUSMALLINT(i + 1), value);
            block.overflow[i].push_back(std::move(value));
        }
    }
}

void OdbcBlockReader::storeBlock(RecordSet& records, int slot)
{
    // Column by column, the commonest kinds each in a loop of their own: one bound array read and
    // one column's storage grown at a time, with no choice of kind per cell.
    const Block& block = blocks_[slot];
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        const Binding& b = bindings_[i];
        RecordColumn& column = records.column(int(i));
        const char* const cells = b.data[slot].data();
        const SQLLEN* const indicators = b.indicators[slot].data();
        switch (b.cType) {
        case SQL_C_SBIGINT:
            StoreCells(column, cells, b.width, indicators, block.fetched,
                       [&](const char* cell) { column.appendInteger(Read<qint64>(cell)); });
            break;
        case SQL_C_DOUBLE:
            StoreCells(column, cells, b.width, indicators, block.fetched,
                       [&](const char* cell) { column.appendReal(Read<double>(cell)); });
            break;
        case SQL_C_TYPE_TIMESTAMP: {
            JulianDays days;
            StoreCells(column, cells, b.width, indicators, block.fetched, [&](const char* cell) {
                column.appendInteger(TimestampTicks(Read<SQL_TIMESTAMP_STRUCT>(cell), days, b.tickUnit));
            });
            break;
        }
        default: {
            auto overflow = block.overflow[i].begin();
            for (SQLULEN row = 0; row < block.fetched; ++row) {
                const SQLLEN indicator = indicators[row];
                store(column, b, cells + std::size_t(b.width) * row, indicator,
                      truncated(b, indicator) ? &*overflow++ : nullptr);
            }
        }
        }
    }
}

void OdbcBlockReader::readRows(RecordSet& records)
{
    for (Binding& b : bindings_) {
        b.data[0].resize(std::size_t(b.width));
        b.indicators[0].resize(1);
    }
    while (fetch()) {
        for (std::size_t i = 0; i < bindings_.size(); ++i) {
            Binding& b = bindings_[i];
            SQLLEN& indicator = b.indicators[0][0];
            const SQLRETURN got = SQLGetData(stmt_, SQLUSMALLINT(i + 1), b.cType, b.data[0].data(), b.width, &indicator);
            if (got == SQL_NO_DATA)
                indicator = SQL_NULL_DATA;
            else
                CheckOdbc(got, SQL_HANDLE_STMT, stmt_, "SQLGetData");
            std::vector<char> whole;
            const bool cut = truncated(b, indicator);
            if (cut) {
                // SQLGetData carries on where the first part ended.
                const SQLLEN terminator = b.cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : 0;
                whole.assign(b.data[0].data(), b.data[0].data() + (b.width - terminator));
                readRest(b, SQLUSMALLINT(i + 1), whole);
            }
            store(records.column(int(i)), b, b.data[0].data(), indicator, cut ? &whole : nullptr);
        }
        if ((records.rowCount() & 1023) == 0)
            checkCancel();
    }
}

void OdbcBlockReader::store(RecordColumn& column, const Binding& b, const char* cell, SQLLEN indicator,
                            const std::vector<char>* whole)
{
    if (indicator == SQL_NULL_DATA) {
        column.appendNull();
        return;
    }
    switch (b.cType) {
    case SQL_C_SBIGINT:
        column.appendInteger(Read<qint64>(cell));
        return;
    case SQL_C_DOUBLE:
        column.appendReal(Read<double>(cell));
        return;
    case SQL_C_TYPE_DATE: {
        const auto d = Read<SQL_DATE_STRUCT>(cell);
        column.appendInteger(QDate(d.year, d.month, d.day).toJulianDay());
        return;
    }
    case SQL_C_TYPE_TIMESTAMP: {
        JulianDays days;
        column.appendInteger(TimestampTicks(Read<SQL_TIMESTAMP_STRUCT>(cell), days, b.tickUnit));
        return;
    }
    default:
        break;
    }
    const char* bytes = whole ? whole->data() : cell;
    const SQLLEN length = whole ? SQLLEN(whole->size()) : indicator;
    if (b.form == ValueForm::Time || b.form == ValueForm::DateTimeOffset) {
        const QStringView text(reinterpret_cast<const char16_t*>(bytes), qMin(length, b.width) / SQLLEN(sizeof(SQLWCHAR)));
        if (b.form == ValueForm::Time) {
            if (const std::optional<qint64> ticks = ReadTimeText(text)) {
                column.appendInteger(*ticks);
                return;
            }
        } else if (const std::optional<OffsetDateTime> value = ReadOffsetDateTimeText(text)) {
            column.appendOffsetDateTime(*value);
            return;
        }
        throw DataError(QStringLiteral("The driver gave \"%1\" for a %2").arg(text.toString(),
            b.form == ValueForm::Time ? QStringLiteral("time") : QStringLiteral("date and time with an offset")));
    }
    if (b.cType == SQL_C_WCHAR)
        column.appendText(reinterpret_cast<const char16_t*>(bytes), length / SQLLEN(sizeof(SQLWCHAR)));
    else
        AppendHex(column, bytes, length);
}

void OdbcBlockReader::readRest(Binding& b, SQLUSMALLINT columnNumber, std::vector<char>& value)
{
    const SQLLEN terminator = b.cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : 0;
    std::vector<char> chunk(64 * 1024);
    while (true) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt_, columnNumber, b.cType, chunk.data(), SQLLEN(chunk.size()), &indicator);
        if (rc == SQL_NO_DATA || indicator == SQL_NULL_DATA)
            return;
        CheckOdbc(rc, SQL_HANDLE_STMT, stmt_, "SQLGetData");
        const SQLLEN room = SQLLEN(chunk.size()) - terminator;
        const SQLLEN bytes = indicator == SQL_NO_TOTAL || indicator > room ? room : indicator;
        value.insert(value.end(), chunk.data(), chunk.data() + bytes);
        if (rc == SQL_SUCCESS)
            return;
    }
}

bool OdbcBlockReader::fetch()
{
    const SQLRETURN rc = SQLFetch(stmt_);
    // A cancel that lands between two fetches closes the cursor, so that the next fetch fails with
    // a sequence error or finds no more rows: either way the query was cancelled, not read whole.
    if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc))
        checkCancel();
    if (rc == SQL_NO_DATA)
        return false;
    CheckOdbc(rc, SQL_HANDLE_STMT, stmt_, "SQLFetch");
    return true;
}

void OdbcBlockReader::checkCancel() const
{
    if (connection_.cancelRequested())
        throw DataError(QStringLiteral("The query was cancelled"));
}
