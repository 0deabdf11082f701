#pragma once

#include <QList>
#include <QMdiSubWindow>
#include <memory>

class ChangeMarkDelegate;
class DataSetModel;
class GridColumnWidths;
class HistoryBar;
class QAction;
class QLabel;
class QTableView;
class RecordView;
class WindowHistory;
struct RecordingHeader;

// A recording replayed: its refreshes in a window of its own, offline, with the history's slider,
// the rates it recorded and the marking of changes. Sorts by a click on a column's title and
// copies like a monitor window.
class TFormRecording : public QMdiSubWindow {
    Q_OBJECT
public:
    // Reads the whole recording; throws RecordingError (the operator's text) when it cannot. Shows
    // its first refresh when first shown.
    explicit TFormRecording(const QString& path, QWidget* parent = nullptr);
    ~TFormRecording() override;

    QTableView* DBGrid;
    HistoryBar* HistoryControls;
    WindowHistory* History;
    QLabel* About;
    QAction* acCopy;
    std::unique_ptr<RecordView> Records;

    void acCopyExecute();
    void DBGridTitleBtnClick(int field);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool shown_ = false;
    DataSetModel* model_ = nullptr;
    std::unique_ptr<GridColumnWidths> columnWidths_;
    ChangeMarkDelegate* markDelegate_ = nullptr;
    QList<int> sortFields_;
};
