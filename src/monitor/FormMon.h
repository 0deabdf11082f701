#pragma once

#include <QList>
#include <QMdiSubWindow>
#include <atomic>
#include <cstdint>
#include <memory>

namespace Ui {
class FormMon;
}
class Connection;
class DataSetModel;
class Query;
class QAction;
class QComboBox;
class QLabel;
class QMainWindow;
class QSpinBox;
class QTableView;
class TConnect;
class TQueryThread;
class StatusIndicator;

// The monitor window: one script's result for one server, refreshed by a background thread.
class TFormMon : public QMdiSubWindow {
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
    std::uint8_t IndicatorState = 0;
    QList<int> SortFields;

    // Controls and actions by their design names.
    QMainWindow* Body;
    QTableView* DBGrid;
    QSpinBox* UpDown;
    QComboBox* cmBox;
    QAction* acStart;
    QAction* acTimer;
    QAction* acSetFilter;
    QAction* acExcel;
    QAction* acNewExecScript;
    QAction* acExit;

    void acStartExecute();
    void acSetFilterExecute();
    void cmBoxChange();
    void acTimerExecute();
    void acNewExecScriptExecute();
    void acExitExecute();
    void QueryAfterScroll();
    void DBGridTitleBtnClick(int field);
    int DBGridGetBtnParams(int field) const;

    // The refresh interval in seconds, readable from the worker thread.
    int Interval() const { return interval_.load(); }

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    void RepaintStatusBar();
    QColor IndicatorColour() const;
    // The refresh counter of panels 0 and 1, and the position panel 2.
    void CountRefresh();
    void ShowPosition();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void FormActivate();
    void FormDestroy();
    void Stop();
    void StartWork();
    // Ends the thread if it still runs, serving its calls onto this thread meanwhile.
    void EndThread();
    void followCurrentRow();

    std::unique_ptr<Ui::FormMon> ui;
    DataSetModel* model_ = nullptr;
    QList<QLabel*> panels_;
    StatusIndicator* indicator_ = nullptr;
    std::atomic<int> interval_{0};
    bool shown_ = false;
    bool syncingRow_ = false;
};
