#pragma once

#include "connection/MonitorPort.h"
#include "monitor/StatusIndicator.h"

#include <QColor>
#include <QList>
#include <QStatusBar>

class QLabel;
struct RefreshCost;

// The panels of a monitor window's status bar, left to right.
enum class StatusPanel : int {
    CounterHigh = 0,   // how often the low part has run past 100000
    CounterLow = 1,    // completed refreshes, 1 to 100000
    Position = 2,      // "record number:record count"
    Indicator = 3,     // the owner-drawn state indicator
    Message = 4,       // the filter text or an Offline message
    Cost = 5,          // what the last refresh cost the server; hidden until the first
};

// The colour the state indicator is filled with.
QColor IndicatorColour(Indicator state);

// A monitor window's status bar: the refresh counter, the position in the result set, the state
// indicator that its owner draws, the message field, and what the last refresh cost the server.
class MonitorStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit MonitorStatusBar(StatusIndicator::DrawPanel drawIndicator, QWidget* parent = nullptr);

    QString PanelText(StatusPanel panel) const;
    void SetPanelText(StatusPanel panel, const QString& text);

    // n := the low part; at 100000 it starts again from 0 and the high part grows; then n + 1.
    void CountRefresh();
    // Both parts of the counter back to "0".
    void ResetCounter();
    void ShowPosition(int recNo, int recordCount);
    void ShowCost(const RefreshCost& cost);
    // Repaints the whole bar, the indicator with it.
    void Repaint();

private:
    QList<QLabel*> panels_;
    StatusIndicator* indicator_ = nullptr;
};
