#include "app/MessageBox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <bit>
#include <utility>
#include <vector>

namespace {

MessageHandler& handler()
{
    static MessageHandler instance;
    return instance;
}

QMessageBox::Icon iconOf(MessageType type)
{
    switch (type) {
    case MessageType::Error: return QMessageBox::Critical;
    case MessageType::Warning: return QMessageBox::Warning;
    case MessageType::Confirmation: return QMessageBox::Question;
    case MessageType::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The program's boxes set out their buttons in this order whatever the desktop's habit, as the
// operators know them: No before OK in the export's question.
constexpr QMessageBox::StandardButton ButtonOrder[] = {
    QMessageBox::Yes,   QMessageBox::No,     QMessageBox::Ok,       QMessageBox::Cancel,  QMessageBox::Abort,
    QMessageBox::Retry, QMessageBox::Ignore, QMessageBox::YesToAll, QMessageBox::NoToAll, QMessageBox::Help,
};

QMessageBox::StandardButton FirstOf(QMessageBox::StandardButtons buttons,
                                    std::initializer_list<QMessageBox::StandardButton> wanted)
{
    for (const QMessageBox::StandardButton button : wanted) {
        if (buttons.testFlag(button))
            return button;
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButton ExecInOrder(QMessageBox& box, QMessageBox::StandardButtons buttons)
{
    // The platform's text and icon of each button, laid out by the box in the order added.
    QDialogButtonBox platform;
    std::vector<std::pair<QAbstractButton*, QMessageBox::StandardButton>> added;
    for (const QMessageBox::StandardButton standard : ButtonOrder) {
        if (!buttons.testFlag(standard))
            continue;
        const QPushButton* model = platform.addButton(QDialogButtonBox::StandardButton(int(standard)));
        auto* button = new QPushButton(model->icon(), model->text(), &box);
        box.addButton(button, QMessageBox::ActionRole);
        added.emplace_back(button, standard);
    }
    const auto find = [&](QMessageBox::StandardButton standard) -> QPushButton* {
        for (const auto& [button, which] : added) {
            if (which == standard)
                return static_cast<QPushButton*>(button);
        }
        return nullptr;
    };
    const QMessageBox::StandardButton byDefault = FirstOf(buttons, {QMessageBox::Ok, QMessageBox::Yes});
    box.setDefaultButton(byDefault != QMessageBox::NoButton ? find(byDefault) : static_cast<QPushButton*>(added.front().first));
    const QMessageBox::StandardButton escape = FirstOf(buttons, {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok});
    if (escape != QMessageBox::NoButton)
        box.setEscapeButton(find(escape));
    box.exec();
    for (const auto& [button, which] : added) {
        if (box.clickedButton() == button)
            return which;
    }
    return escape;
}

} // namespace

QString MessageTitle(MessageType type)
{
    switch (type) {
    case MessageType::Error: return QStringLiteral("Ошибка");
    case MessageType::Warning: return QStringLiteral("Предупреждение");
    case MessageType::Confirmation: return QStringLiteral("Подтверждение");
    case MessageType::Information: return QStringLiteral("Информация");
    }
    return {};
}

void SetMessageHandler(MessageHandler h)
{
    handler() = std::move(h);
}

QMessageBox::StandardButton ShowMessage(MessageType type, const QString& text,
                                        QMessageBox::StandardButtons buttons, QWidget* parent)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Drivers indent their messages with tabs, which a box shows as wide gaps.
    shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (handler())
        return handler()({type, shown, buttons});

    if (!parent)
        parent = QApplication::activeWindow();
    if (std::popcount(uint(buttons.toInt())) > 1) {
        QMessageBox box(iconOf(type), MessageTitle(type), shown, QMessageBox::NoButton, parent);
        return ExecInOrder(box, buttons);
    }
    QMessageBox box(iconOf(type), MessageTitle(type), shown, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorReport(const QString& text)
{
    ShowMessage(MessageType::Error, text, QMessageBox::Ok);
}
