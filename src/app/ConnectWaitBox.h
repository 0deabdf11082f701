#pragma once

#include "app/WaitBox.h"

class QLabel;

// Shown while a connect takes longer than a moment: "Подключение к серверу ..." with the seconds
// waited and a Cancel button; there is no close box.
class ConnectWaitBox : public WaitBox {
    Q_OBJECT
public:
    explicit ConnectWaitBox(QWidget* parent);

    void ShowElapsed(std::chrono::milliseconds elapsed) override;

private:
    QLabel* seconds_;
};
