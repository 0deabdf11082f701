#include "data/records/BlockStorer.h"

BlockStorer::BlockStorer(std::function<void(int slot)> store) : store_(std::move(store)) {}

BlockStorer::~BlockStorer()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BlockStorer::rethrow()
{
    if (error_)
        std::rethrow_exception(error_);
}

void BlockStorer::waitFor(int slot)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !pending_[slot] || error_; });
    rethrow();
}

void BlockStorer::hand(int slot)
{
    {
        std::lock_guard lock(mutex_);
        rethrow();
        pending_[slot] = true;
        waiting_.push_back(slot);
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    changed_.notify_all();
}

void BlockStorer::finish()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.empty() || error_; });
    rethrow();
}

void BlockStorer::run()
{
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return !waiting_.empty() || stopping_; });
        if (stopping_ || error_)
            return;
        const int slot = waiting_.front();
        lock.unlock();
        std::exception_ptr error;
        try {
            store_(slot);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        waiting_.pop_front();
        pending_[slot] = false;
        if (error) {
            // The reader learns of it at its next wait; nothing more is stored.
            error_ = error;
            waiting_.clear();
        }
        changed_.notify_all();
    }
}
