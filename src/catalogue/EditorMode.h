#pragma once

#include <QString>

// The mode in which the entry editor and the item editor are opened, numbered as they always were.
enum class EditorMode : int {
    Add = 0,
    View = 1,
    Edit = 2,
    Delete = 3,
};

// The mode a command asks for, by the name of the component that gave it: "acEdit" and a double
// click on the grid ("strGrid") edit, "acIns" adds, "acDel" deletes, anything else views.
EditorMode ModeOfSender(const QString& senderName);

// The editor's caption in the mode: "Добавить", "Просмотр", "Редактировать" or "Удалить".
QString ModeCaption(EditorMode mode);
