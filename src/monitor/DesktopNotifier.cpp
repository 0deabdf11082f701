#include "monitor/DesktopNotifier.h"

#include "data/history/RuleEvent.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QList>
#include <QLoggingCategory>
#include <QVariantMap>

namespace {

Q_LOGGING_CATEGORY(lcNotify, "quillon.notify")

// How long the notification stays, in milliseconds.
constexpr int ShownFor = 10000;

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

void DesktopNotifier::notify(const QString& title, const QList<RuleEvent>& events)
{
    for (qsizetype i = 0; i < events.size() && i < ShownSeparately; ++i) {
        const RuleEvent& event = events[i];
        send(QStringLiteral("%1: %2").arg(event.rule, title),
             event.values.isEmpty() ? event.key : event.key + QLatin1Char('\n') + event.values);
    }
    if (events.size() > ShownSeparately)
        send(title, QStringLiteral("Ещё событий правил: %1").arg(events.size() - ShownSeparately));
}

void DesktopNotifier::send(const QString& summary, const QString& body)
{
    // Without an address the bus library would try to start a bus of its own, which takes long.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Quillon") << uint(0) << QStringLiteral("dialog-warning") << summary << body << QStringList()
         << QVariantMap() << ShownFor;
    // A service that is missing only logs; the answer is waited for nowhere.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* done) {
        if (done->isError())
            qCInfo(lcNotify) << "notification not shown:" << done->error().message();
        done->deleteLater();
    });
}
