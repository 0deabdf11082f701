#include "catalogue/EditorMode.h"

EditorMode ModeOfSender(const QString& senderName)
{
    if (senderName == QLatin1String("acEdit") || senderName == QLatin1String("strGrid"))
        return EditorMode::Edit;
    if (senderName == QLatin1String("acIns"))
        return EditorMode::Add;
    if (senderName == QLatin1String("acDel"))
        return EditorMode::Delete;
    return EditorMode::View;
}

QString ModeCaption(EditorMode mode)
{
    switch (mode) {
    case EditorMode::Add: return QStringLiteral("Добавить");
    case EditorMode::View: return QStringLiteral("Просмотр");
    case EditorMode::Edit: return QStringLiteral("Редактировать");
    case EditorMode::Delete: return QStringLiteral("Удалить");
    }
    return {};
}
