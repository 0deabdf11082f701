#pragma once

#include <QWidget>
#include <functional>

// The owner-drawn panel of a status bar: its owner paints it.
class StatusIndicator : public QWidget {
    Q_OBJECT
public:
    using DrawPanel = std::function<void(QPainter& painter, const QRect& rect)>;

    explicit StatusIndicator(DrawPanel draw, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DrawPanel draw_;
};
