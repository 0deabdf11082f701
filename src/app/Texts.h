#pragma once

#include <QString>

// Texts that several windows share.
namespace Texts {

inline const QString ScriptLoadError = QStringLiteral("Ошибка загрузки SQL-скрипта");
inline const QString ServerSentencePrefix = QStringLiteral("Сервер '");
inline const QString ServerSentenceSuffix = QStringLiteral("' завершил текущее соединение.");
inline const QString OfflineScriptLoad = QStringLiteral("Offline - Ошибка загрузки SQL-скрипта");
inline const QString OfflineRun = QStringLiteral("Offline - Ошибки исполнения скрипта или соединения с сервером.");
inline const QString ConnectFailed = QStringLiteral("Невозможно произвести соединение с базой данных.");
inline const QString TryAgain = QStringLiteral("Повторите попытку.");
inline const QString WorkEnded = QStringLiteral("Работа завершена.");

} // namespace Texts

// "yyyy-mm-dd hh:nn:ss - " in local time, the stamp of status and warning messages.
QString TimeStamp();
