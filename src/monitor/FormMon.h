#pragma once

#include "connection/MonitorPort.h"
#include "data/view/SortMarker.h"
#include "monitor/ScriptMenuItem.h"

#include <QList>
#include <QStringList>
#include <QMdiSubWindow>
#include <atomic>
#include <memory>
#include <vector>

namespace Ui {
class FormMon;
}
class Connection;
class DataSetModel;
class GridColumnWidths;
class MonitorStatusBar;
class Query;
class QAction;
class QComboBox;
class QFileDialog;
class QMainWindow;
class QMenu;
class QPainter;
class QSpinBox;
class QTableView;
class TConnect;
class BlockingTree;
class ChangeMarkDelegate;
class CommandLog;
class DesktopNotifier;
class RuleEventList;
class HistoryBar;
class RecordingWriter;
class TQueryThread;
class ToolBarFolding;
class WindowHistory;

// The monitor window: one script's result for one server, refreshed by a background worker that
// reaches the window only through its port.
class TFormMon : public QMdiSubWindow, private MonitorPort {
    Q_OBJECT
public:
    // Takes over the descriptor: the caller's pointer is cleared.
    TFormMon(TConnect*& connectInfo, QWidget* parent = nullptr);
    ~TFormMon() override;

    std::unique_ptr<TConnect> ConnectInfo;
    std::unique_ptr<Connection> ADOC;
    std::unique_ptr<::Query> Query;
    std::unique_ptr<TQueryThread> QueryThread;
    bool Working = false;
    Indicator IndicatorState = Indicator::Green;
    QList<int> SortFields;
    // The command menu now shown: item i belongs to the popup's item at position i.
    std::vector<std::unique_ptr<TScriptMenuItem>> ScriptMenuItems;

    // Controls and actions by their design names.
    QMainWindow* Body;
    QTableView* DBGrid;
    QSpinBox* UpDown;
    QComboBox* cmBox;
    MonitorStatusBar* StatusBar;
    // The grid's popup: its four standard items (Start, Filter, a separator, Exit) stay at the
    // bottom; the command menu of the current script goes above them.
    QMenu* PopupMenu;
    QAction* acStart;
    QAction* acTimer;
    QAction* acSetFilter;
    QAction* acExcel;
    QAction* acNewExecScript;
    QAction* acExit;
    QAction* acCopy;
    // The export's template dialog.
    QFileDialog* OpenDialog;
    // The history's slider, "Сейчас", the marking switches and "Записывать".
    HistoryBar* HistoryControls;
    WindowHistory* History;
    // The rows as chains of blocked sessions, in the grid's place while its switch is on.
    BlockingTree* Blocking;

    void acStartExecute();
    void acSetFilterExecute();
    void acExcelExecute();
    void cmBoxChange();
    void acTimerExecute();
    void acNewExecScriptExecute();
    void acExitExecute();
    // The selected cells, or the current row, with the column titles onto the clipboard.
    void acCopyExecute();
    // Starts or stops writing every refresh to a recording file of its own.
    void acRecordExecute(bool on);
    void QueryAfterScroll();
    void DBGridTitleBtnClick(int field);
    SortMarker DBGridGetBtnParams(int field) const;
    void StatusBarDrawPanel(QPainter& painter, const QRect& rect) const;
    // The command menu of the script selected in cmBox, inserted at the top of the popup.
    void BuildUserMenu();
    // Runs the command of the clicked item for the current row; the action log gets its line.
    void UserMenuOnClick(QAction* sender);

    // Tool bar captions as App->ShowCaptions says, and the window never narrower than its tool
    // bar. Done when the window is shown; the settings dialog calls it again when the setting changes.
    void ApplyCaptionSetting();

    // The one way the filter goes off: the data set's filter disabled and its text cleared, the
    // filter action off, the message field cleared.
    void SwitchFilterOff() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void FormActivate();
    void FormDestroy();
    void Stop();
    void StartWork();
    // Ends the worker if it still runs, serving its calls onto this thread meanwhile; one that the
    // driver holds past a short grace is let go, to end by itself.
    void EndThread();
    // Forgets the worker: deleted at once if it has ended, let go otherwise.
    void DropWorker();
    void FollowCurrentRow();
    void SetIndicator(Indicator state) override;
    void ShowRowsOffline() override { ShowRowsGreyed(true); }
    // The resolved script file of catalogue entry index; throws when there is no such entry.
    QString ScriptFileAt(int index) const;
    // Throws the list's index error when there is no such entry.
    const TSensor& SensorAt(int index) const;
    // The command items and their separator out of the popup, and ScriptMenuItems emptied.
    void RemoveUserMenu();
    // The current row's value of field as text: empty for a null and for an empty result; throws
    // "Field '%s' not found" when there is no such field or no result yet.
    QString RowValue(const QString& field) const;
    void RunUserCommand(const TScriptMenuItem& item, CommandLog& log);
    // A command the script's options mark dangerous runs only once VetDangerousCommand lets it.
    bool SafeToRun(const TScriptMenuItem& item, const QStringList& sql, const QString& value, CommandLog& log);

    // What the worker asks of the window.
    int Interval() const override { return interval_.load(); }
    ::Query& DataSet() override { return *Query; }
    QString SelectedScriptFile() const override;
    ScriptOptions SelectedScriptOptions() const override;
    void CountRefresh() override;
    void ResetCounter() override;
    void ShowPosition() override;
    void ShowCost(const RefreshCost& cost) override;
    void SetMessage(const QString& text) override;
    void SetWorking(bool working) override;
    void DropSort() override;
    void ScriptStarts(const ScriptOptions& options) override;
    Tracking TrackingWanted() const override;
    bool KeepRefresh(HistoryFrame frame) override;
    void RecordingFailed(const QString& message) override;
    void BlockingBuilt(std::shared_ptr<const BlockingForest> forest) override;
    void RulesStarted(const QList<RuleEvent>& events) override;
    // The recording stops: the worker lets go of its file at its next hand-over.
    void StopRecording(const QString& message);

    // A refresh keeps the grid scrolled where the operator left it.
    void KeepScrollPosition();
    void RestoreScrollPosition();
    // While the window is Offline its rows are drawn greyed, until the next hand-over.
    void ShowRowsGreyed(bool greyed);

    std::unique_ptr<Ui::FormMon> ui;
    DataSetModel* model_ = nullptr;
    ChangeMarkDelegate* markDelegate_ = nullptr;
    RuleEventList* ruleEvents_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;
    std::shared_ptr<RecordingWriter> recorder_;
    // The script the history holds, by its identifier, and its key columns.
    QString historyScript_;
    QStringList historyKeys_;
    // The dangerous commands of the options the worker started the script with.
    QStringList startedDangerous_;
    std::unique_ptr<GridColumnWidths> columnWidths_;
    ToolBarFolding* toolBarFolding_ = nullptr;
    std::atomic<int> interval_{0};
    bool shown_ = false;
    bool syncingRow_ = false;
    bool rowsGreyed_ = false;
    QPoint scrollPosition_;
};
