// Gives a program folder without a server list the demo's two servers, "demo" first, each with a
// profile that opens its monitor window on the demo's own script every 2 seconds; a folder that
// has a server list, and a profile that exists, are left as they are.
// Usage: quillon_demo_seed PROGRAM_FOLDER LOGIN    (LOGIN: the SQL Server login of "demo-mssql")
#include "app/ServiceClasses.h"
#include "app/Utils.h"
#include "connection/ConnectionProfiles.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/QuillonError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

// The executable's name, which names the main settings file Config/quillon.ini.
const QString ProgramName = QStringLiteral("quillon");

// The script's position in the monitor window's script box, which lists the catalogue as the
// program orders it; the first script where the catalogue lacks it.
int ScriptIndex(const TApp& app, const QString& id)
{
    for (std::size_t i = 0; i < app.Sensors.size(); ++i) {
        if (app.Sensors[i]->Id == id)
            return static_cast<int>(i);
    }
    return 0;
}

void AddProfile(IniFile& profiles, const QString& server, const QList<IniValue>& values)
{
    if (!profiles.SectionExists(server))
        profiles.WriteSection(server, values, {});
}

void Seed(TApp& app, const QString& login)
{
    const QString serversPath = ExpandAppPath(app.ServerList);
    if (FileExists(serversPath))
        return;
    const QString profilesPath = ExpandAppPath(app.ConnectionList);
    QDir().mkpath(QFileInfo(FileSystemPath(serversPath)).absolutePath());
    QDir().mkpath(QFileInfo(FileSystemPath(profilesPath)).absolutePath());
    SaveServerList({QStringLiteral("demo"), QStringLiteral("demo-mssql")});
    if (FileExists(ExpandAppPath(app.SensorsFile)))
        app.LoadSensors();
    IniFile profiles(profilesPath, FileAccess::OwnerOnly);
    AddProfile(profiles, QStringLiteral("demo"),
               {{QStringLiteral("Authorization"), QStringLiteral("1")},
                {QStringLiteral("Sleep"), QStringLiteral("2")},
                {QStringLiteral("QueryIndex"), QString::number(ScriptIndex(app, QStringLiteral("PGACTIVITY")))}});
    // The stand-in takes SQL Server logins only: the demo's own.
    AddProfile(profiles, QStringLiteral("demo-mssql"),
               {{QStringLiteral("Authorization"), QStringLiteral("0")},
                {QStringLiteral("LastUser"), login},
                {QStringLiteral("Sleep"), QStringLiteral("2")},
                {QStringLiteral("QueryIndex"), QString::number(ScriptIndex(app, QStringLiteral("WHO")))}});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (args.size() != 3) {
        err << "usage: quillon_demo_seed PROGRAM_FOLDER LOGIN\n";
        return 2;
    }
    try {
        int left = 0, top = 0, height = 0, width = 0, windowState = 0;
        TApp app(QDir(args[1]).absoluteFilePath(ProgramName), left, top, height, width, windowState);
        App = &app;
        Seed(app, args[2]);
        App = nullptr;
    } catch (const QuillonError& error) {
        App = nullptr;
        err << "quillon_demo_seed: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
