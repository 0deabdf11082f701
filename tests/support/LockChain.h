#pragma once

// Three sessions waiting for each other's row locks, A <- B <- C: A holds row 1 of the table in an
// open transaction, B holds row 2 and waits for row 1, C waits for row 2. The waiting statements run
// on threads of their own; the end cancels them and closes the sessions, which releases the locks.
// The table needs rows 1 and 2 in columns id and v.

#include "data/connection/Connection.h"
#include "data/records/RecordSet.h"
#include "platform/QuillonError.h"

#include <QString>
#include <functional>
#include <memory>
#include <thread>

class LockChain {
public:
    // Opens a session named by its program name.
    using Opener = std::function<std::unique_ptr<Connection>(const QString& program)>;

    LockChain(const Opener& open, const QString& table, const QString& head, const QString& middle,
              const QString& tail)
    {
        const auto touch = [&table](int id) { return QStringLiteral("update %1 set v = v where id = %2").arg(table).arg(id); };
        head_ = open(head);
        middle_ = open(middle);
        tail_ = open(tail);
        head_->execute(QStringLiteral("begin"), false);
        head_->execute(touch(1), false);
        middle_->execute(QStringLiteral("begin"), false);
        middle_->execute(touch(2), false);
        middleWaits_ = waiting(*middle_, touch(1));
        tailWaits_ = waiting(*tail_, touch(2));
    }

    ~LockChain()
    {
        for (Connection* session : {tail_.get(), middle_.get()})
            session->cancel();
        tailWaits_.join();
        middleWaits_.join();
        for (Connection* session : {tail_.get(), middle_.get(), head_.get()})
            session->close();
    }

    LockChain(const LockChain&) = delete;
    LockChain& operator=(const LockChain&) = delete;

private:
    static std::thread waiting(Connection& session, const QString& sql)
    {
        return std::thread([&session, sql] {
            try {
                session.execute(sql, false);
            } catch (const QuillonError&) {
                // Cancelled at the end.
            }
        });
    }

    std::unique_ptr<Connection> head_;
    std::unique_ptr<Connection> middle_;
    std::unique_ptr<Connection> tail_;
    std::thread middleWaits_;
    std::thread tailWaits_;
};
