#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// Whether the office in programFolder can show a workbook on this desktop, told before it is
// started. Its window systems come as plugins beside it: "gen" draws on X11, the toolkit ones
// (gtk3, gtk4, kf5, qt5, qt6) on X11 or Wayland. The headless build has none, and an office of
// that build asked to show a document dies.
inline bool OfficeCanShowWorkbooks(const QString& programFolder)
{
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const QStringList plugins =
        QDir(programFolder).entryList({QStringLiteral("libvclplug_*")}, QDir::Files | QDir::Readable);
    for (const QString& plugin : plugins) {
        // The drawing-only backend of old versions shows nothing.
        if (plugin.startsWith(QLatin1StringView("libvclplug_svp")))
            continue;
        if (plugin.startsWith(QLatin1StringView("libvclplug_gen")) ? x11 : x11 || wayland)
            return true;
    }
    return false;
}
