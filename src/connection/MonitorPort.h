#pragma once

#include "app/ScriptOptions.h"
#include "connection/RefreshCost.h"
#include "data/history/RuleEvent.h"

#include <QString>
#include <cstdint>
#include <memory>

class Query;
class RecordSet;
class RecordingWriter;
struct BlockingForest;
struct HistoryFrame;

// What the worker does with each refresh beyond handing it over, as the window last asked.
struct Tracking {
    // Mark the rows and cells that changed, and keep the rows that vanished to be shown.
    bool mark = false;
    // Mark against this result instead of the refresh before.
    std::shared_ptr<const RecordSet> baseline;
    // Write every refresh here; the worker alone writes to it.
    std::shared_ptr<RecordingWriter> recorder;
};

// What the state indicator of a monitor window shows.
enum class Indicator : std::uint8_t {
    Green = 0,   // stopped, and at creation
    Lime = 1,    // started
    Red = 2,     // the worker ended by itself: its single run at interval 0, or a failure
};

// What a background worker may ask of the monitor window it serves. Interval() is read on the
// worker's thread at any time; everything else runs on the user-interface thread, inside one of the
// worker's synchronous calls.
class MonitorPort {
public:
    // The refresh interval in seconds.
    virtual int Interval() const = 0;

    // The window's data set: the worker copies its connection string and script when it is created
    // and hands every result over to it.
    virtual Query& DataSet() = 0;
    // The script file of the catalogue entry selected in the window, resolved against the program
    // folder; throws when the selection lies outside the catalogue.
    virtual QString SelectedScriptFile() const = 0;
    // The options of that entry: its key and cumulative columns. None when the options file cannot
    // be read, which the window tells in its message field.
    virtual ScriptOptions SelectedScriptOptions() const = 0;

    // The worker starts the selected script (over) with these options: the window's history follows.
    virtual void ScriptStarts(const ScriptOptions& options) = 0;
    // What to do with the refreshes from the next on; read with the options and at every hand-over.
    virtual Tracking TrackingWanted() const = 0;
    // Every refresh as the window's history keeps it, before its hand-over. False while the window
    // shows an earlier refresh: the refresh is then not handed over.
    virtual bool KeepRefresh(HistoryFrame frame) = 0;
    // Writing the recording failed with message: the worker has stopped writing to it.
    virtual void RecordingFailed(const QString& message) = 0;
    // The blocking forest of the rows the data set takes over next; none when the script names no
    // blocked-by column or the rows lack it.
    virtual void BlockingBuilt(std::shared_ptr<const BlockingForest> forest) = 0;
    // Rules that notify have started to apply to rows since the last hand-over.
    virtual void RulesStarted(const QList<RuleEvent>& events) = 0;

    // The refresh counter: one more refresh, or back to "0" and "0".
    virtual void CountRefresh() = 0;
    virtual void ResetCounter() = 0;
    // What the refresh being handed over cost the server, and the interval the worker keeps.
    virtual void ShowCost(const RefreshCost& cost) = 0;
    // The position in the data set, "record number:record count".
    virtual void ShowPosition() = 0;
    // The status bar's message field.
    virtual void SetMessage(const QString& text) = 0;
    virtual void SetIndicator(Indicator state) = 0;
    // The rows the window shows are no longer live (the window went Offline): marked as such until
    // the next hand-over.
    virtual void ShowRowsOffline() = 0;
    // Whether the window counts as working, shown by its Start action.
    virtual void SetWorking(bool working) = 0;
    // The data set's filter off, its text cleared, the filter action off and the message field cleared.
    virtual void SwitchFilterOff() = 0;
    // The data set has dropped a sort that a new result cannot take: the window forgets its sorted
    // columns.
    virtual void DropSort() = 0;

protected:
    ~MonitorPort() = default;
};
