#pragma once

#include <QToolBar>

class QLabel;
class QSlider;

// The controls of a window's history: a slider over the refreshes kept, the time of the one shown,
// "Сейчас" back to the newest, and the switches of change marking and of its pinned comparison;
// in a live window also "Записывать" and "Дерево блокировок".
class HistoryBar : public QToolBar {
    Q_OBJECT
public:
    HistoryBar(bool recordable, QWidget* parent = nullptr);

    QAction* acMark;
    QAction* acPin;
    QAction* acNow;
    // Null where nothing is recorded (a recording's own window).
    QAction* acRecord = nullptr;
    // The blocking tree in place of the grid; null where nothing is recorded.
    QAction* acBlocking = nullptr;
    // Shows the window's list of row rules' events; null with acRecord.
    QAction* acEvents = nullptr;
    QSlider* Slider;
    QLabel* TimeLabel;

    // count refreshes kept, shown the one at that index (the newest when live), at time
    // (milliseconds since the epoch). No signal comes of it.
    void ShowPlace(int count, int shown, bool live, qint64 time);
    // Whether rows were matched by position, as the marking switch says.
    void ShowMatching(bool byPosition);

Q_SIGNALS:
    // The operator moved the slider to this refresh.
    void frameChosen(int index);
};
