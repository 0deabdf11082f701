#include "monitor/ToolBarFolding.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
#include <QToolBar>

ToolBarFolding::ToolBarFolding(QToolBar* bar) : QObject(bar), bar_(bar)
{
    bar->parentWidget()->installEventFilter(this);
}

void ToolBarFolding::Update()
{
    QWidget* window = bar_->parentWidget();
    bar_->setMinimumWidth(0);
    window->setMinimumHeight(0);
    window->layout()->invalidate();
    // Unfolded at the window's narrowest, the controls take about their whole width over that width
    // in rows; one more row covers what the packing leaves at the row ends.
    const int narrowest = std::max(window->minimumSizeHint().width(), 1);
    const int full = bar_->sizeHint().width();
    const int rows = (full + narrowest - 1) / narrowest + 1;
    window->setMinimumHeight(std::max(window->minimumSizeHint().height(), rows * bar_->sizeHint().height()));
    Rechoose();
}

void ToolBarFolding::Rechoose()
{
    // The bar makes its choice on this event.
    QEvent rejoined(QEvent::ParentChange);
    QCoreApplication::sendEvent(bar_, &rejoined);
}

bool ToolBarFolding::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        Rechoose();
    return false;
}
