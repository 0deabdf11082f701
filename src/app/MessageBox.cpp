#include "app/MessageBox.h"

#include <QApplication>

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
    QMessageBox box(iconOf(type), MessageTitle(type), shown, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorReport(const QString& text)
{
    ShowMessage(MessageType::Error, text, QMessageBox::Ok);
}
