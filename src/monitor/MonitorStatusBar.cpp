#include "monitor/MonitorStatusBar.h"

#include "monitor/CostText.h"

#include <QLabel>

namespace {

QLabel* newPanel(QStatusBar* bar, Qt::Alignment alignment, const QString& text)
{
    auto* panel = new QLabel(text, bar);
    panel->setAlignment(alignment | Qt::AlignVCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    return panel;
}

QLabel* addPanel(QStatusBar* bar, int width, Qt::Alignment alignment, const QString& text)
{
    QLabel* panel = newPanel(bar, alignment, text);
    panel->setFixedWidth(width);
    bar->addWidget(panel);
    return panel;
}

// The message field takes the rest of the bar (500 pixels in a window of the usual size) and, in a
// narrow window, yields its room rather than hold the window wide: its whole text is its tool tip.
QLabel* addMessagePanel(QStatusBar* bar)
{
    QLabel* panel = newPanel(bar, Qt::AlignLeft, QString());
    panel->setSizePolicy(QSizePolicy::Ignored, panel->sizePolicy().verticalPolicy());
    bar->addWidget(panel, 1);
    return panel;
}

// After the message field, at the bar's right end, as wide as its text. In a window too narrow for
// it, it yields its room before the panels of the original do: its tool tip tells the figures.
// Hidden until the first refresh, it keeps its place, so that the window's narrowest size holds it.
QLabel* addCostPanel(QStatusBar* bar)
{
    QLabel* panel = newPanel(bar, Qt::AlignHCenter, QString());
    panel->setMinimumWidth(1);
    QSizePolicy policy = panel->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    panel->setSizePolicy(policy);
    panel->hide();
    bar->addWidget(panel);
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
    panels_ << addMessagePanel(this);
    panels_ << addCostPanel(this);
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

void MonitorStatusBar::ShowCost(const RefreshCost& cost)
{
    QLabel* panel = panels_.value(static_cast<int>(StatusPanel::Cost));
    panel->setText(CostPanelText(cost));
    panel->setToolTip(CostToolTip(cost));
    panel->show();
}

void MonitorStatusBar::Repaint()
{
    indicator_->update();
    update();
}
