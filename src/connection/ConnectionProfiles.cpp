#include "connection/ConnectionProfiles.h"

#include "app/ServiceClasses.h"
#include "app/Utils.h"
#include "connection/Connect.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LineFile.h"

bool LoadServerList(QStringList& servers)
{
    const QString path = ExpandAppPath(App->ServerList);
    if (!FileExists(path))
        return false;
    servers = ReadLines(path);
    return true;
}

void SaveServerList(const QStringList& servers)
{
    // The server list and the profiles tell who logs on where: readable by their owner only.
    WriteLines(ExpandAppPath(App->ServerList), servers, FileAccess::OwnerOnly);
}

bool LoadProfile(const QString& server, TConnect& connect, LogonChoice& choice)
{
    const IniFile ini(ExpandAppPath(App->ConnectionList));
    if (!FileExists(ini.FileName()))
        return false;
    choice.WindowsAuth = ini.ReadBool(server, QStringLiteral("Authorization"), true);
    choice.LastUser = ini.ReadString(server, QStringLiteral("LastUser"), QString());
    connect.Sleep = ini.ReadInteger(server, QStringLiteral("Sleep"), 3);
    connect.ConnectionTimeout = ini.ReadInteger(server, QStringLiteral("ConnectionTimeout"), 15);
    connect.CommandTimeout = ini.ReadInteger(server, QStringLiteral("CommandTimeout"), 30);
    connect.QueryIndex = ini.ReadInteger(server, QStringLiteral("QueryIndex"), 0);
    connect.Height = ini.ReadInteger(server, QStringLiteral("Height"), 0);
    connect.Width = ini.ReadInteger(server, QStringLiteral("Width"), 0);
    connect.WindowState = static_cast<std::uint8_t>(ini.ReadInteger(server, QStringLiteral("WindowState"), 2));
    connect.TemplateDir = ini.ReadString(server, QStringLiteral("TemplateDir"), QStringLiteral("Tempates\\"));
    connect.Encrypt = ini.ReadBool(server, QStringLiteral("Encrypt"), false);
    return true;
}

void SaveLogonChoice(const QString& server, const LogonChoice& choice)
{
    IniFile ini(ExpandAppPath(App->ConnectionList), FileAccess::OwnerOnly);
    ini.WriteBool(server, QStringLiteral("Authorization"), choice.WindowsAuth);
    ini.WriteString(server, QStringLiteral("LastUser"), choice.LastUser);
}

void SaveMonitorProfile(const TConnect& connect, const MonitorPlacement& placement)
{
    IniFile ini(ExpandAppPath(App->ConnectionList), FileAccess::OwnerOnly);
    const QString& server = connect.Server;
    ini.WriteInteger(server, QStringLiteral("Sleep"), placement.Sleep);
    ini.WriteInteger(server, QStringLiteral("ConnectionTimeout"), connect.ConnectionTimeout);
    ini.WriteInteger(server, QStringLiteral("CommandTimeout"), connect.CommandTimeout);
    ini.WriteInteger(server, QStringLiteral("Height"), placement.Height);
    ini.WriteInteger(server, QStringLiteral("Width"), placement.Width);
    ini.WriteInteger(server, QStringLiteral("WindowState"), placement.WindowState);
    ini.WriteInteger(server, QStringLiteral("QueryIndex"), placement.QueryIndex);
    ini.WriteString(server, QStringLiteral("TemplateDir"), connect.TemplateDir);
}
