#pragma once

#include <QString>
#include <QStringList>

class TConnect;

// The server list file (most recently used first) and the connections file with one profile
// section per server. Paths come from App and are resolved at each use.

// The list, or nothing when the file does not exist.
bool LoadServerList(QStringList& servers);
void SaveServerList(const QStringList& servers);

// What the logon dialog takes from a profile besides the descriptor fields.
struct LogonChoice {
    bool WindowsAuth = true;
    QString LastUser;
};

// Reads the profile section into the descriptor and the logon choice; false when the connections
// file does not exist (nothing is read then).
bool LoadProfile(const QString& server, TConnect& connect, LogonChoice& choice);

// The two keys the logon dialog writes when it closes.
void SaveLogonChoice(const QString& server, const LogonChoice& choice);

// What a monitor window leaves in its server's profile when it is destroyed.
struct MonitorPlacement {
    int Sleep = 0;
    int Height = 0;
    int Width = 0;
    int WindowState = 0;
    int QueryIndex = -1;
};
void SaveMonitorProfile(const TConnect& connect, const MonitorPlacement& placement);
