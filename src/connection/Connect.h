#pragma once

#include <QString>
#include <cstdint>

// The connection descriptor: filled by the logon dialog, handed to the monitor window it opens.
class TConnect {
public:
    QString ConnectionString;
    QString Password;
    QString Server;
    QString TemplateDir;
    int Sleep = 0;
    int ConnectionTimeout = 0;
    int CommandTimeout = 0;
    int QueryIndex = 0;
    int Height = 0;
    int Width = 0;
    std::uint8_t WindowState = 0;
    std::uint8_t WindowsAuth = 0;
    // Profile key "Encrypt": the whole session encrypted, not the login alone, and no server that
    // cannot encrypt. Edited by hand in the profile, like the time-outs.
    bool Encrypt = false;
};

// The descriptor of the connect action in progress; empty outside it.
extern TConnect* Connect;
