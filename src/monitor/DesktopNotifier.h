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

    // title names the window the events happened in. Past a few events of one refresh, the rest
    // make one notification that counts them: a rule met by many rows at once must not flood the desktop.
    void notify(const QString& title, const QList<RuleEvent>& events);

    static constexpr int ShownSeparately = 3;

private:
    void send(const QString& summary, const QString& body);
};
