#pragma once

#include <QString>
#include <memory>
#include <vector>

// One entry of the script catalogue. Base of the command-menu entry types.
class TSensor {
public:
    virtual ~TSensor() = default;

    QString Name;
    QString Id;
    QString ScriptFile;
};

// The application object: configuration paths, global settings and the script catalogue.
class TApp {
public:
    // Reads or creates the main settings file. Left, Top, Height, Width and WindowState come in as
    // the main window's design values and go out as the values the window must apply.
    TApp(int& Left, int& Top, int& Height, int& Width, int& WindowState);
    // Same, for the program at executablePath (tests run the object for a program folder of their own).
    TApp(const QString& executablePath, int& Left, int& Top, int& Height, int& Width, int& WindowState);

    // Saves the window placement and the settings written at exit. Called once, just before release.
    void Destroy(int Left, int Top, int Height, int Width, int WindowState);

    void LoadSensors();
    void SaveSensors();

    QString MainSettingsFile() const;

    int SleepInterval = 200;
    bool ShowCaptions = true;
    QString AppPath;
    QString ServerList;
    QString ConnectionList;
    QString SensorsFile;
    QString MenuFile;
    // Read from the main settings file when it names one; never written there, so that a first
    // start leaves the file as it always was.
    QString OptionsFile;
    QString IniDelimiter = QStringLiteral(";");
    QString ProgramVersion;
    QString ProgramDate;
    std::vector<std::unique_ptr<TSensor>> Sensors;

private:
    void create(int& Left, int& Top, int& Height, int& Width, int& WindowState);

    QString executableName_;
};

// The one application object; set by the main window from its creation to its destruction.
extern TApp* App;

// Splits a catalogue or menu line at the delimiter: the text before the first delimiter, and the
// rest after it. Without the delimiter the first part is empty and the rest is the whole line.
void SplitField(const QString& line, const QString& delimiter, QString& field, QString& rest);

// Leading and trailing blanks and control characters removed.
QString TrimField(const QString& text);

// Name, Id and ScriptFile of a scripts file line, each trimmed; the third field keeps any further
// delimiters.
void SplitSensorLine(const QString& line, const QString& delimiter, TSensor& entry);
