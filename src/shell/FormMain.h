#pragma once

#include <QMainWindow>
#include <memory>

namespace Ui {
class FormMain;
}
class QMdiArea;
class TConnect;
class QAction;
class TFormMon;
class TFormRecording;
class TFormScriptList;

// The main window: the frame of the monitor and catalogue windows, with the program's main menu.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    // Tests run the window for a program folder of their own.
    TFormMain(const QString& executablePath, QWidget* parent = nullptr);
    ~TFormMain() override;

    QMdiArea* mdiArea() const;
    // A new monitor window in the frame for a descriptor that a logon filled; takes the descriptor over.
    TFormMon* OpenMonitor(TConnect*& descriptor);
    // A new catalogue window in the frame.
    TFormScriptList* OpenScriptList();
    // A recording replayed in a window of its own; null, with the error told, when it cannot be read.
    TFormRecording* OpenRecording(const QString& path);

    // "Открыть запись…" in the main menu, below the logon.
    QAction* acOpenRecording;
    // "Журнал действий…" below it: the action log in a window of its own.
    QAction* acActionLog;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QString& executablePath);
    void FormDestroy();
    void acConnectExecute();
    void acOpenRecordingExecute();
    void acActionLogExecute();
    void acExitExecute();
    void acScriptsExecute();
    void acSettingsExecute();
    void acHelpExecute();
    void acAboutExecute();
    void WindowMinimizeAll1Execute();
    void WindowArrange1Execute();
    // Vertical stacks the children one above the other, Horizontal sets them side by side.
    void TileChildren(Qt::Orientation stacking);

    std::unique_ptr<Ui::FormMain> ui;
    bool destroyed_ = false;
};
