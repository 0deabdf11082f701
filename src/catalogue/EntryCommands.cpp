#include "catalogue/EntryCommands.h"

#include "app/ImageList.h"
#include "app/PopupAccessibility.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace {

// A key sequence with Return also answers to the keypad's Enter.
void AddKeypadEnter(QAction* action)
{
    QList<QKeySequence> keys = action->shortcuts();
    for (const QKeySequence& key : action->shortcuts()) {
        if (key.count() == 1 && key[0].key() == Qt::Key_Return)
            keys.append(QKeySequence(QKeyCombination(key[0].keyboardModifiers(), Qt::Key_Enter)));
    }
    action->setShortcuts(keys);
}

} // namespace

QMenu* SetUpEntryCommands(const EntryCommands& commands, QWidget* scope)
{
    const std::pair<QAction*, ImageSlot> images[] = {
        {commands.acIns, ImageSlot::Add},
        {commands.acView, ImageSlot::View},
        {commands.acEdit, ImageSlot::Edit},
        {commands.acDel, ImageSlot::Delete},
        {commands.acExit, ImageSlot::Exit},
    };
    auto* popup = new QMenu(scope);
    popup->setObjectName(QStringLiteral("PopupMenu"));
    for (const auto& [action, image] : images) {
        action->setIcon(ImageListIcon(image));
        AddKeypadEnter(action);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        scope->addAction(action);
        if (action == commands.acExit)
            popup->addSeparator();
        popup->addAction(action);
    }
    ExposePopup(popup);
    return popup;
}
