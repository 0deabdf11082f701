#pragma once

// Records the message boxes the program shows instead of showing them, answering for the user.

#include "app/MessageBox.h"

#include <QList>

class MessageRecorder {
public:
    explicit MessageRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        SetMessageHandler([this, answer](const ShownMessage& message) {
            messages.append(message);
            return answer;
        });
    }
    ~MessageRecorder() { SetMessageHandler({}); }

    QList<ShownMessage> messages;
};
