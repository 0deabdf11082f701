#pragma once

#include <QString>

class QWidget;

// The login a connection string logs on with: its user, or the operating system's user where it
// logs on with the operating system's authentication.
QString ActionLogin(const QString& connectionString);

// The action log's line of one command run from the command menu, written once, when its outcome
// is known. A log that cannot be written is told once per program run and log file; the command's
// own outcome is shown all the same.
class CommandLog {
public:
    CommandLog(QString server, QString login, QString command, QWidget* parent);

    // The text as it runs, once the row's value is put in.
    void SetCommand(const QString& text) { command_ = text; }

    void Done();
    void Failed(const QString& error);
    void Refused(const QString& why);
    void Cancelled();
    bool Written() const { return written_; }

private:
    void Write(const QString& outcome);

    QString server_;
    QString login_;
    QString command_;
    QWidget* parent_;
    bool written_ = false;
};
