#include "connection/StretchMessage.h"

QString StretchedMessage(int setting, int stretched)
{
    return QStringLiteral("Скрипт выполняется дольше половины интервала: обновление раз в %2 с вместо %1 с")
        .arg(setting)
        .arg(stretched);
}

QString StretchEndedMessage(int setting)
{
    return QStringLiteral("Скрипт снова выполняется быстро: обновление раз в %1 с, как задано").arg(setting);
}
