#pragma once

#include "data/history/ResultHistory.h"

#include <QObject>
#include <QStringList>
#include <memory>

class ChangeMarkDelegate;
class HistoryBar;
class QAbstractItemView;
class RecordSet;
class RecordView;

// What a window keeps of its results and how it steps through them: the history, the refresh
// shown (the newest, live, unless the operator chose an earlier one), the marking switch and the
// pinned result the marks compare with. An earlier refresh is shown in the window's own data set,
// which keeps its sort, its filter and the operator's row by its key.
class WindowHistory : public QObject {
    Q_OBJECT
public:
    // live: the newest refresh comes from a worker, which shows it itself; a recording has none.
    WindowHistory(RecordView& view, HistoryBar& bar, ChangeMarkDelegate& marks, QAbstractItemView& grid, bool live,
                  QObject* parent = nullptr);
    ~WindowHistory() override;

    // A new script: the history starts over with its key columns and limits; marking is on when
    // it has key columns.
    void SetScript(const QStringList& keyColumns, int minutes, int megabytes);
    // A refresh's frame: kept, and shown on the bar. False while an earlier refresh is shown.
    bool Keep(HistoryFrame frame);

    bool ShowingPast() const { return shownSerial_ >= 0; }
    bool Marking() const { return marking_; }
    std::shared_ptr<const RecordSet> Baseline() const { return pinned_; }
    const ResultHistory& History() const { return history_; }
    // The time of the refresh shown; 0 before the first.
    qint64 ShownTime() const;

    // Shows refresh index; the newest of a live window is the live view again. Throws DataError
    // when the history cannot decode it.
    void ShowFrame(int index);
    // Back to the newest refresh.
    void ShowNewest();

Q_SIGNALS:
    // The rows shown have changed to another refresh.
    void shownChanged();

private:
    void SetMarking(bool on);
    void SetPinned(bool on);
    int ShownIndex() const;
    void UpdateBar();
    void Show(std::unique_ptr<RecordSet> records, const RecordSet* before);

    RecordView& view_;
    HistoryBar& bar_;
    ChangeMarkDelegate& marks_;
    QAbstractItemView& grid_;
    const bool live_;
    ResultHistory history_;
    QStringList keyColumns_;
    // The refresh shown by its serial number (firstSerial + index); -1 for the live one.
    qint64 shownSerial_ = -1;
    bool marking_ = false;
    std::shared_ptr<const RecordSet> pinned_;
};
