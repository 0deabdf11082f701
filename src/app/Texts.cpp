#include "app/Texts.h"

#include <QDateTime>

QString TimeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral(" - ");
}
