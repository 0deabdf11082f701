#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

enum class MessageType { Error, Warning, Confirmation, Information };

// Every message box of the program goes through ShowMessage. A carriage return in the text starts a
// new line. Returns the button the user pressed.
QMessageBox::StandardButton ShowMessage(MessageType type, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QWidget* parent = nullptr);

// The title a box of the type carries.
QString MessageTitle(MessageType type);

// The general error report: an error box with the error's own text and an OK button.
void ShowErrorReport(const QString& text);

// Tests replace the boxes with a handler that records them and answers for the user.
struct ShownMessage {
    MessageType type;
    QString text;
    QMessageBox::StandardButtons buttons;
};
using MessageHandler = std::function<QMessageBox::StandardButton(const ShownMessage&)>;
void SetMessageHandler(MessageHandler handler);
