#include "monitor/StatusIndicator.h"

#include <QPainter>

StatusIndicator::StatusIndicator(DrawPanel draw, QWidget* parent)
    : QWidget(parent)
    , draw_(std::move(draw))
{
    setFixedWidth(10);
    setObjectName(QStringLiteral("StatusIndicator"));
}

void StatusIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw_(painter, rect());
}
