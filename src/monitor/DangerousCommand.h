#pragma once

#include "data/history/RowIdentity.h"

#include <QString>
#include <QStringList>

class Connection;
class QWidget;

// A command marked dangerous, aimed at the operator's row.
struct DangerousCommand {
    QString caption;
    // The text that runs, the row's value put in.
    QString text;
    QString idField;
    QString idValue;
    // What tells the row's session from any other: the script's key columns, else idField; and
    // their values in the row as the operator chose it.
    QStringList keyColumns;
    RowIdentity row;
    // The script that lists the rows on the server now, idField's mark put in.
    QStringList checkSql;
    bool decimalsAsFloat = false;
};

struct CommandVerdict {
    enum class Kind { Run, Refused, Cancelled };
    Kind kind = Kind::Run;
    // Why it was refused, as the operator is told.
    QString reason;
};

// A dangerous command runs only when it is not aimed at a session of the monitor itself (the
// window's connection, or the worker's session workerSession, 0 when unknown), the operator confirms
// it with the row's values before him, and, asked just after that, the server still has the row's
// session: the same key, not a new session that got its number. Every question to the server runs
// on connection, aside, and can be cancelled.
CommandVerdict VetDangerousCommand(const DangerousCommand& command, Connection& connection, qint64 workerSession,
                                   QWidget* parent);

// The row's identifying columns with their values, "SPID = 52, Login = sa".
QString RowDescription(const QStringList& columns, const QStringList& values);
