#include "app/ConnectWaitBox.h"

#include "app/Guarded.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ConnectWaitBox::ConnectWaitBox(QWidget* parent)
    : WaitBox(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("DriverWaitBox"));
    auto* text = new QLabel(QStringLiteral("Подключение к серверу ..."), this);
    seconds_ = new QLabel(this);
    seconds_->setObjectName(QStringLiteral("Seconds"));
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    auto* row = new QHBoxLayout;
    row->addWidget(text);
    row->addWidget(seconds_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    ConnectGuarded(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void ConnectWaitBox::ShowElapsed(std::chrono::milliseconds elapsed)
{
    seconds_->setText(QStringLiteral("%1 с").arg(elapsed.count() / 1000));
}
