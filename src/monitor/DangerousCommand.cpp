#include "monitor/DangerousCommand.h"

#include "app/MessageBox.h"
#include "data/connection/Connection.h"
#include "data/connection/SqlSyntax.h"
#include "data/Query.h"
#include "data/history/RowKeys.h"
#include "data/records/RecordSet.h"
#include "monitor/CommandRun.h"
#include "platform/QuillonError.h"

#include <optional>

namespace {

const QString Question = QStringLiteral("Выполнить команду «%1»?\r\r%2\r\rСтрока: %3");
const QString OwnSession = QStringLiteral("%1 = %2 — сеанс самого монитора");
const QString OwnSessionUnknown = QStringLiteral("не удалось узнать номер сеанса монитора: %1");
const QString NotIdentified = QStringLiteral("строку нельзя опознать: в результате нет столбцов %1");
const QString CheckFailed = QStringLiteral("не удалось проверить, что сеанс %1 ещё есть на сервере: %2");
const QString SessionGone = QStringLiteral("сеанса %1 на сервере больше нет");
const QString SessionRenumbered = QStringLiteral("у сеанса %1 теперь %2 = %3, а не %4");
const QString SessionReused = QStringLiteral("%1 = %2 теперь у другого сеанса (%3), а не у сеанса %4");

CommandVerdict Refused(const QString& reason)
{
    return {CommandVerdict::Kind::Refused, reason};
}

CommandVerdict Cancelled()
{
    return {CommandVerdict::Kind::Cancelled, {}};
}

// Where the command's field is among the key columns: the key's place, else -1.
qsizetype IdKey(const DangerousCommand& command)
{
    for (qsizetype i = 0; i < command.keyColumns.size(); ++i) {
        if (command.keyColumns[i].compare(command.idField, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The server's number of the session of connection; 0 where it cannot tell. Empty when cancelled.
std::optional<qint64> ConnectionSession(Connection& connection, QWidget* parent)
{
    const QString sql = SessionIdQuery(connection.syntax().dialect);
    if (sql.isEmpty())
        return 0;
    Query query;
    query.setConnection(&connection);
    query.setSql({sql});
    if (!OpenCommandQuery(query, parent))
        return std::nullopt;
    return query.fieldText(0).trimmed().toLongLong();
}

// The row's keys in the rows the server lists now, or where another session has its number.
CommandVerdict FindAgain(const DangerousCommand& command, const RecordSet& rows)
{
    const QString session = RowDescription(command.keyColumns, command.row.keys);
    // A row the key cannot name would be found by its place.
    for (const QString& column : command.keyColumns) {
        if (FieldIndexIn(rows, column) < 0)
            return Refused(NotIdentified.arg(column));
    }
    if (const Bookmark found = FindRow(rows, command.row, command.keyColumns); found.valid()) {
        // The key may leave out the command's own field: the session found must still have the
        // number the command names.
        if (command.idField.isEmpty())
            return {};
        const int field = FieldIndexIn(rows, command.idField);
        if (field < 0)
            return Refused(NotIdentified.arg(command.idField));
        const QString now = rows.displayText(found.row, field).trimmed();
        if (now == command.idValue.trimmed())
            return {};
        return Refused(SessionRenumbered.arg(session, command.idField, now, command.idValue.trimmed()));
    }
    const qsizetype id = IdKey(command);
    if (id >= 0) {
        const QString number = command.row.keys[id];
        const Bookmark sameNumber = FindRow(rows, RowIdentity{{number}, 0}, {command.keyColumns[id]});
        if (sameNumber.valid()) {
            QStringList values;
            for (const QString& column : command.keyColumns)
                values << rows.displayText(sameNumber.row, FieldIndexIn(rows, column));
            return Refused(SessionReused.arg(command.keyColumns[id], number.trimmed(),
                                             RowDescription(command.keyColumns, values), session));
        }
    }
    return Refused(SessionGone.arg(session));
}

} // namespace

QString RowDescription(const QStringList& columns, const QStringList& values)
{
    QStringList pairs;
    for (qsizetype i = 0; i < columns.size() && i < values.size(); ++i)
        pairs << columns[i] + QStringLiteral(" = ") + values[i].trimmed();
    return pairs.join(QStringLiteral(", "));
}

CommandVerdict VetDangerousCommand(const DangerousCommand& command, Connection& connection, qint64 workerSession,
                                   QWidget* parent)
{
    if (command.row.keys.size() != command.keyColumns.size() || command.keyColumns.isEmpty())
        return Refused(NotIdentified.arg(command.keyColumns.join(QStringLiteral(", "))));

    bool number = false;
    const qint64 target = command.idValue.trimmed().toLongLong(&number);
    if (number) {
        std::optional<qint64> own;
        try {
            own = ConnectionSession(connection, parent);
        } catch (const QuillonError& error) {
            return Refused(OwnSessionUnknown.arg(error.message()));
        }
        if (!own)
            return Cancelled();
        // 0 stands for a session whose number is not known.
        if ((*own != 0 && target == *own) || (workerSession != 0 && target == workerSession)) {
            const qsizetype id = IdKey(command);
            return Refused(OwnSession.arg(id >= 0 ? command.keyColumns[id] : command.idField).arg(target));
        }
    }

    const QString row = RowDescription(command.keyColumns, command.row.keys);
    if (ShowMessage(MessageType::Confirmation, Question.arg(command.caption, command.text, row),
                    QMessageBox::Yes | QMessageBox::No, parent)
        != QMessageBox::Yes)
        return Cancelled();

    Query check;
    check.setConnection(&connection);
    check.setSql(command.checkSql);
    check.setDecimalsAsFloat(command.decimalsAsFloat);
    try {
        if (!OpenCommandQuery(check, parent))
            return Cancelled();
    } catch (const QuillonError& error) {
        return Refused(CheckFailed.arg(row, error.message()));
    }
    if (!check.records())
        return Refused(SessionGone.arg(row));
    return FindAgain(command, *check.records());
}
