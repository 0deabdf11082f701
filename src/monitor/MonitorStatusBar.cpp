#include "monitor/MonitorStatusBar.h"

#include <QLabel>

namespace {

// A panel of width pixels; one that stretches takes the rest of the bar, never less than width.
QLabel* addPanel(QStatusBar* bar, int width, Qt::Alignment alignment, const QString& text, int stretch = 0)
{
    auto* panel = new QLabel(text, bar);
    if (stretch > 0)
        panel->setMinimumWidth(width);
    else
        panel->setFixedWidth(width);
    panel->setAlignment(alignment | Qt::AlignVCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    bar->addWidget(panel, stretch);
    return panel;
}

} // namespace

QColor IndicatorColour(Indicator state)
{
    switch (state) {
    case Indicator::Lime: return QColor(0, 255, 0);
    case Indicator::Red: return QColor(255, 0, 0);
    case Indicator::Green: break;
    }
    return QColor(0, 128, 0);
}

MonitorStatusBar::MonitorStatusBar(StatusIndicator::DrawPanel drawIndicator, QWidget* parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(false);
    panels_ << addPanel(this, 50, Qt::AlignHCenter, QStringLiteral("0"));
    panels_ << addPanel(this, 50, Qt::AlignHCenter, QStringLiteral("0"));
    panels_ << addPanel(this, 50, Qt::AlignHCenter, QString());
    indicator_ = new StatusIndicator(std::move(drawIndicator), this);
    addWidget(indicator_);
    panels_ << nullptr;
    panels_ << addPanel(this, 500, Qt::AlignLeft, QString(), 1);
}

QString MonitorStatusBar::PanelText(StatusPanel panel) const
{
    const QLabel* label = panels_.value(static_cast<int>(panel));
    return label ? label->text() : QString();
}

void MonitorStatusBar::SetPanelText(StatusPanel panel, const QString& text)
{
    QLabel* label = panels_.value(static_cast<int>(panel));
    if (!label)
        return;
    label->setText(text);
    // A long Offline message or filter may still not fit: the whole text is the panel's tool tip.
    if (panel == StatusPanel::Message)
        label->setToolTip(text);
}

void MonitorStatusBar::CountRefresh()
{
    int n = PanelText(StatusPanel::CounterLow).toInt();
    if (n == 100000) {
        n = 0;
        SetPanelText(StatusPanel::CounterHigh, QString::number(PanelText(StatusPanel::CounterHigh).toInt() + 1));
    }
    SetPanelText(StatusPanel::CounterLow, QString::number(n + 1));
}

void MonitorStatusBar::ResetCounter()
{
    SetPanelText(StatusPanel::CounterHigh, QStringLiteral("0"));
    SetPanelText(StatusPanel::CounterLow, QStringLiteral("0"));
}

void MonitorStatusBar::ShowPosition(int recNo, int recordCount)
{
    SetPanelText(StatusPanel::Position, QStringLiteral("%1:%2").arg(recNo).arg(recordCount));
}

void MonitorStatusBar::Repaint()
{
    indicator_->update();
    update();
}
