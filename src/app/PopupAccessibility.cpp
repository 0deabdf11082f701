#include "app/PopupAccessibility.h"

#include <QAccessibleObject>
#include <QApplication>
#include <QMenu>
#include <QWindow>

namespace {

constexpr char PopupProperty[] = "quillonExposedPopup";

// The application's node: its top-level windows, as Qt lists them, and the exposed popups shown.
class ApplicationAccessible : public QAccessibleObject {
public:
    ApplicationAccessible() : QAccessibleObject(qApp) {}

    QWindow* window() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return nullptr; }
    int childCount() const override { return static_cast<int>(children().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QObjectList list = children();
        return index >= 0 && index < list.size() ? QAccessible::queryAccessibleInterface(list.at(index)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(children().indexOf(child->object())) : -1;
    }

    QAccessibleInterface* focusChild() const override
    {
        QWindow* window = QGuiApplication::focusWindow();
        return window ? window->accessibleRoot() : nullptr;
    }

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name: return QGuiApplication::applicationName();
        case QAccessible::Description: return QGuiApplication::applicationFilePath();
        default: return {};
        }
    }

    QAccessible::Role role() const override { return QAccessible::Application; }
    QAccessible::State state() const override { return {}; }

private:
    static QObjectList children()
    {
        QObjectList list;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (window->type() == Qt::Popup || window->type() == Qt::Desktop)
                continue;
            QAccessibleInterface* root = window->accessibleRoot();
            if (root && root->object())
                list.append(root->object());
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* popup = qobject_cast<QMenu*>(widget);
            if (popup && popup->isVisible() && popup->property(PopupProperty).toBool())
                list.append(popup);
        }
        return list;
    }
};

QAccessibleInterface* applicationFactory(const QString&, QObject* object)
{
    return object && object == qApp ? new ApplicationAccessible : nullptr;
}

} // namespace

void InstallPopupAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(applicationFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void ExposePopup(QMenu* popup)
{
    InstallPopupAccessibility();
    popup->setProperty(PopupProperty, true);
}
