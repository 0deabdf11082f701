#pragma once

// Monitor windows of a test: a descriptor as the logon dialog fills it, a window shown alone
// (kept when closed, so the test owns it) and one started that holds its first result.

#include "connection/Connect.h"
#include "data/Query.h"
#include "monitor/FormMon.h"

#include <QTest>
#include <memory>

struct MonitorSettings {
    QString connectionString{};
    QString server = QStringLiteral("srv");
    int interval = 0;
    int queryIndex = 0;
    int width = 900;
    int height = 500;
    QString templateDir{};
};

inline TConnect* MonitorDescriptor(const MonitorSettings& settings)
{
    auto* descriptor = new TConnect;
    descriptor->ConnectionString = settings.connectionString;
    descriptor->Server = settings.server;
    descriptor->Sleep = settings.interval;
    descriptor->QueryIndex = settings.queryIndex;
    descriptor->Width = settings.width;
    descriptor->Height = settings.height;
    descriptor->TemplateDir = settings.templateDir;
    return descriptor;
}

inline std::unique_ptr<TFormMon> ShowMonitor(const MonitorSettings& settings)
{
    TConnect* descriptor = MonitorDescriptor(settings);
    auto monitor = std::make_unique<TFormMon>(descriptor);
    monitor->setAttribute(Qt::WA_DeleteOnClose, false);
    monitor->show();
    return monitor;
}

// Started and holding the first result of its script; warns when that did not arrive.
inline std::unique_ptr<TFormMon> StartMonitor(const MonitorSettings& settings)
{
    auto monitor = ShowMonitor(settings);
    monitor->acStart->trigger();
    if (!QTest::qWaitFor([&monitor] { return monitor->Query->active(); }, 10000))
        qWarning("the monitor's first result did not arrive");
    return monitor;
}
