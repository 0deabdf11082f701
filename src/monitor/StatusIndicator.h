#pragma once

#include <QWidget>
#include <functional>

// The owner-drawn panel of a status bar: a square filled with the colour its owner gives.
class StatusIndicator : public QWidget {
    Q_OBJECT
public:
    StatusIndicator(std::function<QColor()> colour, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<QColor()> colour_;
};
