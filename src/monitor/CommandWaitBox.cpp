#include "monitor/CommandWaitBox.h"

#include "app/Guarded.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How often the box looks whether the statement has ended.
constexpr int PollInterval = 50;

} // namespace

CommandWaitBox::CommandWaitBox(std::function<bool()> ended, std::function<void()> cancel, QWidget* parent)
    : QDialog(parent)
    , ended_(std::move(ended))
    , cancel_(std::move(cancel))
{
    setObjectName(QStringLiteral("CommandWaitBox"));
    setModal(true);
    setWindowTitle(QStringLiteral("Quillon"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Выполняется команда..."), this);
    text->setObjectName(QStringLiteral("WaitText"));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancelButton_ = buttons->button(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ConnectGuarded(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });

    auto* timer = new QTimer(this);
    ConnectGuarded(timer, &QTimer::timeout, this, [this] { TimerTick(); });
    timer->start(PollInterval);
}

void CommandWaitBox::reject()
{
    if (cancelled_)
        return;
    cancelled_ = true;
    cancelButton_->setEnabled(false);
    cancel_();
}

void CommandWaitBox::TimerTick()
{
    if (ended_())
        accept();
}
