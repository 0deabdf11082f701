#include "app/ServiceClasses.h"

#include "app/UserFolder.h"
#include "app/Utils.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LineFile.h"
#include "platform/TextCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

TApp* App = nullptr;

namespace {

const QString MainSection = QStringLiteral("Main");
const QString WindowSection = QStringLiteral("Window");

// A default path as the settings file can keep it: absolute, or, where the code page cannot hold
// the program folder's name, relative to the program folder, which resolves to the same file.
QString StorableDefault(const QString& absolute, const QString& relative)
{
    return FitsCp1251(absolute) ? absolute : relative;
}

} // namespace

TApp::TApp(int& Left, int& Top, int& Height, int& Width, int& WindowState)
    : TApp(QCoreApplication::applicationFilePath(), Left, Top, Height, Width, WindowState)
{
}

TApp::TApp(const QString& executablePath, int& Left, int& Top, int& Height, int& Width, int& WindowState)
{
    const QFileInfo exe(executablePath);
    executableName_ = exe.completeBaseName();
    // An installed program keeps its configuration in the user's own folder.
    AppPath = ConfigurationFolder(exe.absolutePath() + QLatin1Char('/'),
                                  QStringLiteral("Config/") + executableName_ + QStringLiteral(".ini"));
    create(Left, Top, Height, Width, WindowState);
}

QString TApp::MainSettingsFile() const
{
    return AppPath + QStringLiteral("Config/") + executableName_ + QStringLiteral(".ini");
}

void TApp::create(int& Left, int& Top, int& Height, int& Width, int& WindowState)
{
    ServerList = AppPath + QStringLiteral("Config/Servers.lst");
    ConnectionList = AppPath + QStringLiteral("Config/Connections.ini");
    MenuFile = AppPath + QStringLiteral("Config/Menus.ini");
    SensorsFile = AppPath + QStringLiteral("Config/Sensors.ini");
    OptionsFile = AppPath + QStringLiteral("Config/Options.ini");
    ShowCaptions = true;
    IniDelimiter = QStringLiteral(";");
    SleepInterval = 200;

    const IniFile ini(MainSettingsFile());
    if (FileExists(ini.FileName())) {
        ServerList = ini.ReadString(MainSection, QStringLiteral("ServerList"), ServerList);
        ConnectionList = ini.ReadString(MainSection, QStringLiteral("ConnectionList"), ConnectionList);
        SensorsFile = ini.ReadString(MainSection, QStringLiteral("SensorsFile"), SensorsFile);
        MenuFile = ini.ReadString(MainSection, QStringLiteral("MenuFile"), MenuFile);
        OptionsFile = ini.ReadString(MainSection, QStringLiteral("OptionsFile"), OptionsFile);
        ShowCaptions = ini.ReadBool(WindowSection, QStringLiteral("ShowCaptions"), ShowCaptions);
        WindowState = ini.ReadInteger(WindowSection, QStringLiteral("WindowState"), WindowState);
        // Only normal, minimized and maximized mean something; anything else opens a normal window.
        if (WindowState < 0 || WindowState > 2)
            WindowState = 0;
        IniDelimiter = ini.ReadString(MainSection, QStringLiteral("INI_DELIMITER"), IniDelimiter);
        if (IniDelimiter.trimmed().isEmpty())
            IniDelimiter = QStringLiteral(";");
        SleepInterval = ini.ReadInteger(MainSection, QStringLiteral("SLEEP_INTERVAL"), 200);
        if (WindowState == 0) {
            Left = ini.ReadInteger(WindowSection, QStringLiteral("Left"), 3);
            Top = ini.ReadInteger(WindowSection, QStringLiteral("Top"), 3);
            Height = ini.ReadInteger(WindowSection, QStringLiteral("Height"), Height);
            Width = ini.ReadInteger(WindowSection, QStringLiteral("Width"), Width);
        }
    } else {
        // A program folder without Config/ is a first start, not a failure.
        QDir().mkpath(AppPath + QStringLiteral("Config"));
        IniFile out(MainSettingsFile());
        out.WriteString(MainSection, QStringLiteral("ServerList"),
                        StorableDefault(ServerList, QStringLiteral("Config\\Servers.lst")));
        out.WriteString(MainSection, QStringLiteral("ConnectionList"),
                        StorableDefault(ConnectionList, QStringLiteral("Config\\Connections.ini")));
        out.WriteString(MainSection, QStringLiteral("SensorsFile"),
                        StorableDefault(SensorsFile, QStringLiteral("Config\\Sensors.ini")));
        out.WriteString(MainSection, QStringLiteral("MenuFile"), StorableDefault(MenuFile, QStringLiteral("Config\\Menus.ini")));
        out.WriteString(MainSection, QStringLiteral("INI_DELIMITER"), IniDelimiter);
        out.WriteInteger(MainSection, QStringLiteral("SLEEP_INTERVAL"), SleepInterval);
    }
    Sensors.clear();
}

void TApp::Destroy(int Left, int Top, int Height, int Width, int WindowState)
{
    IniFile ini(MainSettingsFile());
    ini.WriteInteger(WindowSection, QStringLiteral("WindowState"), WindowState);
    ini.WriteString(MainSection, QStringLiteral("INI_DELIMITER"), IniDelimiter);
    ini.WriteInteger(MainSection, QStringLiteral("SLEEP_INTERVAL"), SleepInterval);
    if (WindowState == 0) {
        ini.WriteInteger(WindowSection, QStringLiteral("Left"), Left);
        ini.WriteInteger(WindowSection, QStringLiteral("Top"), Top);
        ini.WriteInteger(WindowSection, QStringLiteral("Height"), Height);
        ini.WriteInteger(WindowSection, QStringLiteral("Width"), Width);
    }
}

QString TrimField(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

void SplitField(const QString& line, const QString& delimiter, QString& field, QString& rest)
{
    const qsizetype at = line.indexOf(delimiter);
    if (at < 0) {
        field.clear();
        rest = line;
        return;
    }
    field = line.left(at);
    // The rest resumes one character after the delimiter's start, as the stored files expect; with a
    // longer delimiter its tail stays at the front of the rest.
    rest = line.mid(at + 1);
}

void SplitSensorLine(const QString& line, const QString& delimiter, TSensor& entry)
{
    QString field;
    QString rest;
    SplitField(line, delimiter, field, rest);
    entry.Name = TrimField(field);
    SplitField(rest, delimiter, field, rest);
    entry.Id = TrimField(field);
    entry.ScriptFile = TrimField(rest);
}

void TApp::LoadSensors()
{
    Sensors.clear();
    QStringList lines = ReadLines(ExpandAppPath(SensorsFile));
    SortTextLocale(lines);
    for (const QString& line : lines) {
        auto sensor = std::make_unique<TSensor>();
        SplitSensorLine(line, IniDelimiter, *sensor);
        Sensors.push_back(std::move(sensor));
    }
}

void TApp::SaveSensors()
{
    QStringList lines;
    for (const auto& sensor : Sensors)
        lines.append(sensor->Name + IniDelimiter + sensor->Id + IniDelimiter + sensor->ScriptFile);
    if (lines.isEmpty())
        return;
    SortTextLocale(lines);
    WriteLines(ExpandAppPath(SensorsFile), lines);
}
