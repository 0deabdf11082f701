#include "monitor/CommandLog.h"

#include "app/ActionLog.h"
#include "app/MessageBox.h"
#include "data/connection/ConnectionString.h"
#include "platform/QuillonError.h"

#include <QSet>

namespace {

const QString LogUnwritten = QStringLiteral("Журнал действий не записывается: %1");

} // namespace

QString ActionLogin(const QString& connectionString)
{
    const ConnectionSettings settings = ParseConnectionString(connectionString);
    if (!settings.userId.isEmpty() || !settings.integratedSecurity)
        return settings.userId;
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

CommandLog::CommandLog(QString server, QString login, QString command, QWidget* parent)
    : server_(std::move(server))
    , login_(std::move(login))
    , command_(std::move(command))
    , parent_(parent)
{
}

void CommandLog::Done()
{
    Write(QStringLiteral("выполнена"));
}

void CommandLog::Failed(const QString& error)
{
    Write(QStringLiteral("ошибка: ") + error);
}

void CommandLog::Refused(const QString& why)
{
    Write(QStringLiteral("отказано: ") + why);
}

void CommandLog::Cancelled()
{
    Write(QStringLiteral("отменена"));
}

void CommandLog::Write(const QString& outcome)
{
    if (written_)
        return;
    written_ = true;
    const QString path = ActionLogPath();
    try {
        AppendAction(path, {QDateTime::currentDateTime(), server_, login_, command_, outcome});
    } catch (const QuillonError& error) {
        // User-interface thread only.
        static QSet<QString> told;
        if (told.contains(path))
            return;
        told.insert(path);
        ShowMessage(MessageType::Warning, LogUnwritten.arg(error.message()), QMessageBox::Ok, parent_);
    }
}
