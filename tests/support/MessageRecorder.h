#pragma once

// Records the message boxes the program shows instead of showing them, answering for the user.

#include "app/MessageBox.h"

#include <QList>
#include <functional>

class MessageRecorder {
public:
    using Answer = std::function<QMessageBox::StandardButton(const ShownMessage&)>;

    explicit MessageRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : MessageRecorder([answer](const ShownMessage&) { return answer; })
    {
    }
    // The answer may depend on the box.
    explicit MessageRecorder(Answer answer)
    {
        SetMessageHandler([this, answer = std::move(answer)](const ShownMessage& message) {
            messages.append(message);
            return answer(message);
        });
    }
    ~MessageRecorder() { SetMessageHandler({}); }

    QList<ShownMessage> messages;
};
