#pragma once

// Looking up a form's widgets by object name, and comparing its captions and tab order with a
// table: one comparison lists every widget that differs.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <utility>

template <typename T = QWidget>
T* Child(const QObject* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

// Object name and the caption the widget shows.
using CaptionTable = QList<std::pair<const char*, QString>>;

// A label's or a button's text, a group box's title.
inline QString CaptionOf(const QObject* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    return QStringLiteral("<no caption>");
}

// "name: shown, not wanted" for each widget of the table that shows another caption or is missing.
inline QStringList CaptionMismatches(const QWidget* form, const CaptionTable& table)
{
    QStringList wrong;
    for (const auto& [name, caption] : table) {
        const QObject* widget = Child<QObject>(form, name);
        const QString shown = widget ? CaptionOf(widget) : QStringLiteral("<missing>");
        if (shown != caption)
            wrong << QStringLiteral("%1: %2, not %3").arg(QString::fromLatin1(name), shown, caption);
    }
    return wrong;
}

// The object names that Tab visits from first on, first included, count steps. Widgets on a page
// not shown count; widgets hidden themselves (a tab bar's scroll buttons) do not.
inline QStringList TabOrder(QWidget* first, int count)
{
    QWidget* next = first;
    QStringList order{next->objectName()};
    for (int i = 0; i < count; ++i) {
        next = next->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus) || next->isHidden())
            next = next->nextInFocusChain();
        order << next->objectName();
    }
    return order;
}
