#pragma once

// A server that goes silent in the middle of a query: the backend process of a session is stopped
// with SIGSTOP and resumed when this object goes, whatever the test's outcome.

#include "TestDatabase.h"

#include <csignal>

class StoppedBackend {
public:
    explicit StoppedBackend(int pid) : pid_(pid) { stopped_ = pid_ > 0 && ::kill(pid_, SIGSTOP) == 0; }
    ~StoppedBackend() { resume(); }
    StoppedBackend(const StoppedBackend&) = delete;
    StoppedBackend& operator=(const StoppedBackend&) = delete;

    bool stopped() const { return stopped_; }
    void resume()
    {
        if (stopped_)
            ::kill(pid_, SIGCONT);
        stopped_ = false;
    }

    // The process of the session of application that is running a statement containing text, or 0.
    static int activeBackend(const QString& application, const QString& text)
    {
        QString pid;
        TestDatabase::psql(QStringLiteral("select pid from pg_stat_activity where state = 'active' and "
                                          "application_name = '%1' and strpos(query, '%2') > 0")
                               .arg(application, text),
                           &pid);
        return pid.toInt();
    }

private:
    int pid_;
    bool stopped_ = false;
};
