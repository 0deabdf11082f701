#pragma once

// A loopback relay in front of a server that records every byte each way, so that a test can read
// what crossed the wire: which packets went in the clear, and which only inside TLS. Its own thread
// serves it.

#include "LoopbackSocket.h"

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class RecordingRelay {
public:
    explicit RecordingRelay(int targetPort) : targetPort_(targetPort)
    {
        listener_ = ListenOnLoopback(port_);
        thread_ = std::thread([this] { serve(); });
    }

    ~RecordingRelay()
    {
        stop_ = true;
        thread_.join();
        for (const Pair& pair : pairs_) {
            ::close(pair.client);
            ::close(pair.server);
        }
        ::close(listener_);
    }

    RecordingRelay(const RecordingRelay&) = delete;
    RecordingRelay& operator=(const RecordingRelay&) = delete;

    int port() const { return port_; }

    // What the clients sent, and what the server sent back, over all connections so far.
    QByteArray fromClients() const
    {
        const std::lock_guard lock(mutex_);
        return fromClients_;
    }
    QByteArray fromServer() const
    {
        const std::lock_guard lock(mutex_);
        return fromServer_;
    }
    void clear()
    {
        const std::lock_guard lock(mutex_);
        fromClients_.clear();
        fromServer_.clear();
    }

private:
    struct Pair {
        int client;
        int server;
        bool clientDone = false;
        bool serverDone = false;
    };

    void serve()
    {
        while (!stop_) {
            std::vector<pollfd> waiting{{listener_, POLLIN, 0}};
            // A side that has ended is not polled again (poll skips a negative descriptor).
            for (const Pair& pair : pairs_) {
                waiting.push_back({pair.clientDone ? -1 : pair.client, POLLIN, 0});
                waiting.push_back({pair.serverDone ? -1 : pair.server, POLLIN, 0});
            }
            if (::poll(waiting.data(), waiting.size(), 50) <= 0)
                continue;
            if (waiting[0].revents & POLLIN)
                accept();
            for (std::size_t i = 1; i < waiting.size(); ++i) {
                if (!(waiting[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                Pair& pair = pairs_[(i - 1) / 2];
                const bool fromClient = (i - 1) % 2 == 0;
                if (!forward(fromClient ? pair.client : pair.server, fromClient ? pair.server : pair.client, fromClient))
                    (fromClient ? pair.clientDone : pair.serverDone) = true;
            }
        }
    }

    void accept()
    {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0)
            return;
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = LoopbackAddress(targetPort_);
        if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            ::close(server);
            ::close(client);
            return;
        }
        pairs_.push_back({client, server, false, false});
    }

    // One read's worth from one side to the other; at its end, false, and the other side's writing
    // half is closed.
    bool forward(int from, int to, bool fromClient)
    {
        char buffer[65536];
        const ssize_t got = ::recv(from, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            ::shutdown(to, SHUT_WR);
            return false;
        }
        {
            const std::lock_guard lock(mutex_);
            (fromClient ? fromClients_ : fromServer_).append(buffer, got);
        }
        ::send(to, buffer, std::size_t(got), MSG_NOSIGNAL);
        return true;
    }

    const int targetPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<Pair> pairs_;
    mutable std::mutex mutex_;
    QByteArray fromClients_;
    QByteArray fromServer_;
    std::thread thread_;
};
