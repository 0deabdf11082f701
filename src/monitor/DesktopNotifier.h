#pragma once

#include <QObject>

struct RuleEvent;

// Shows row rules' events as desktop notifications through the freedesktop notification service on
// the session bus. Asynchronous: the call is sent and its answer never waited for. Where no session
// bus or no such service runs, or the service refuses, nothing is shown and nothing else happens.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // title names the window the event happened in.
    void notify(const QString& title, const RuleEvent& event);
};
