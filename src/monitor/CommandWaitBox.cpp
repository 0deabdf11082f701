#include "monitor/CommandWaitBox.h"

#include "app/Guarded.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CommandWaitBox::CommandWaitBox(QWidget* parent) : WaitBox(parent)
{
    setObjectName(QStringLiteral("CommandWaitBox"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Выполняется команда..."), this);
    text->setObjectName(QStringLiteral("WaitText"));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancelButton_ = buttons->button(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ConnectGuarded(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    ConnectGuarded(this, &WaitBox::cancelRequested, this, [this] { cancelButton_->setEnabled(false); });
}
