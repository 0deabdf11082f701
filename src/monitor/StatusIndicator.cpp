#include "monitor/StatusIndicator.h"

#include <QPainter>

StatusIndicator::StatusIndicator(std::function<QColor()> colour, QWidget* parent)
    : QWidget(parent)
    , colour_(std::move(colour))
{
    setFixedWidth(10);
    setObjectName(QStringLiteral("StatusIndicator"));
}

void StatusIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), colour_());
}
