#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// Stores blocks of rows on a second thread while the reading thread reads the next: the reader
// fills one of two slots, hands it over and fills the other while the first is being stored.
// Blocks are stored in the order they are handed over.
class BlockStorer {
public:
    static constexpr int Slots = 2;

    explicit BlockStorer(std::function<void(int slot)> store);
    // Lets a block being stored finish and drops those still waiting.
    ~BlockStorer();
    BlockStorer(const BlockStorer&) = delete;
    BlockStorer& operator=(const BlockStorer&) = delete;

    // Whether a block has been handed over: from then on every block must be.
    bool started() const { return thread_.joinable(); }
    // Waits until the block last handed over in slot is stored, so that the slot may be filled
    // again. Rethrows what storing threw.
    void waitFor(int slot);
    void hand(int slot);
    // Waits for every block handed over; rethrows what storing threw.
    void finish();

private:
    void run();
    void rethrow();

    std::function<void(int)> store_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<int> waiting_;
    bool pending_[Slots] = {};
    bool stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};
