#include "monitor/WindowHistory.h"

#include "app/Guarded.h"
#include "app/ScriptOptions.h"
#include "data/DataErrors.h"
#include "data/history/ResultChanges.h"
#include "data/history/RowIdentity.h"
#include "data/records/RecordSet.h"
#include "data/view/RecordView.h"
#include "monitor/ChangeMarkDelegate.h"
#include "monitor/HistoryBar.h"

#include <QAbstractItemView>
#include <QAction>
#include <QSlider>

namespace {

constexpr qint64 MillisecondsPerMinute = 60 * 1000;
constexpr qint64 BytesPerMegabyte = 1024 * 1024;

} // namespace

WindowHistory::WindowHistory(RecordView& view, HistoryBar& bar, ChangeMarkDelegate& marks, QAbstractItemView& grid,
                             bool live, QObject* parent)
    : QObject(parent)
    , view_(view)
    , bar_(bar)
    , marks_(marks)
    , grid_(grid)
    , live_(live)
    , history_(ScriptOptions::DefaultHistoryMinutes * MillisecondsPerMinute,
               ScriptOptions::DefaultHistoryMegabytes * BytesPerMegabyte)
{
    ConnectGuarded(&bar_, &HistoryBar::frameChosen, this, [this](int index) { ShowFrame(index); });
    ConnectGuarded(bar_.acNow, &QAction::triggered, this, [this] { ShowNewest(); });
    ConnectGuarded(bar_.acMark, &QAction::toggled, this, [this](bool on) { SetMarking(on); });
    ConnectGuarded(bar_.acPin, &QAction::toggled, this, [this](bool on) { SetPinned(on); });
    UpdateBar();
}

WindowHistory::~WindowHistory() = default;

void WindowHistory::SetScript(const QStringList& keyColumns, int minutes, int megabytes)
{
    keyColumns_ = keyColumns;
    history_.clear();
    history_.setLimits(qint64(minutes) * MillisecondsPerMinute, qint64(megabytes) * BytesPerMegabyte);
    shownSerial_ = -1;
    pinned_.reset();
    bar_.acPin->setChecked(false);
    bar_.acMark->setChecked(!keyColumns.isEmpty());
    bar_.ShowMatching(keyColumns.isEmpty());
    SetMarking(!keyColumns.isEmpty());
    UpdateBar();
}

bool WindowHistory::Keep(HistoryFrame frame)
{
    history_.append(std::move(frame));
    // The refresh shown was older than all the history keeps now: the oldest kept takes its place.
    if (ShowingPast() && shownSerial_ < history_.firstSerial())
        ShowFrame(0);
    UpdateBar();
    return !ShowingPast();
}

qint64 WindowHistory::ShownTime() const
{
    const int index = ShownIndex();
    return index >= 0 && index < history_.size() ? history_.time(index) : 0;
}

int WindowHistory::ShownIndex() const
{
    return ShowingPast() ? int(shownSerial_ - history_.firstSerial()) : history_.size() - 1;
}

void WindowHistory::ShowFrame(int index)
{
    if (history_.size() == 0)
        return;
    index = std::clamp(index, 0, history_.size() - 1);
    // A live window's newest refresh is the live view.
    const bool newest = live_ && index == history_.size() - 1;
    // Decoded in order: the one before first, so that the history steps forward to the other.
    std::unique_ptr<RecordSet> before;
    if (marking_ && !pinned_ && index > 0)
        before = history_.snapshot(index - 1);
    std::unique_ptr<RecordSet> records = history_.snapshot(index);
    shownSerial_ = newest ? -1 : history_.firstSerial() + index;
    Show(std::move(records), pinned_ ? pinned_.get() : before.get());
    UpdateBar();
    Q_EMIT shownChanged();
}

void WindowHistory::ShowNewest()
{
    ShowFrame(history_.size() - 1);
}

void WindowHistory::Show(std::unique_ptr<RecordSet> records, const RecordSet* before)
{
    RowMarks marks;
    if (marking_ && before) {
        ResultChanges changes = CompareResults(*before, *records, keyColumns_);
        records = WithVanishedRows(std::move(records), *before, changes);
        marks = std::move(changes.marks);
        bar_.ShowMatching(marks.byPosition || keyColumns_.isEmpty());
    }
    const Bookmark keep = FindRow(*records, CurrentRowIdentity(view_, keyColumns_), keyColumns_);
    // The sort markers belong to the window, not to the refresh.
    std::vector<int> tags;
    for (int i = 0; i < view_.fieldCount(); ++i)
        tags.push_back(view_.fieldTag(i));
    RecordView source;
    source.setRecords(std::move(records), std::move(marks));
    try {
        view_.adopt(source, keep);
    } catch (const DataError&) {
        // A sort or filter this refresh cannot take has been dropped by the view: it shows the rows.
    }
    if (int(tags.size()) == view_.fieldCount()) {
        for (int i = 0; i < view_.fieldCount(); ++i)
            view_.setFieldTag(i, tags[std::size_t(i)]);
    }
}

void WindowHistory::SetMarking(bool on)
{
    marking_ = on;
    marks_.setShown(on);
    grid_.viewport()->update();
    if (ShowingPast())
        ShowFrame(ShownIndex());
}

void WindowHistory::SetPinned(bool on)
{
    pinned_.reset();
    const int index = ShownIndex();
    if (on && index >= 0)
        pinned_ = history_.snapshot(index);
    if (ShowingPast())
        ShowFrame(index);
}

void WindowHistory::UpdateBar()
{
    const int index = ShownIndex();
    bar_.ShowPlace(history_.size(), index, !ShowingPast() && live_, ShownTime());
    bar_.acPin->setEnabled(history_.size() > 0);
}
