#pragma once

// A loopback listener that behaves as a broken server can: it accepts and then stays silent, sends
// garbage, trickles a byte every half second, or closes at once. Its own thread serves it, so the
// test's event loop may be busy or blocked.

#include "LoopbackSocket.h"

#include <atomic>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class HostileListener {
public:
    enum class Mode { Silent, Garbage, Trickle, CloseAtOnce };

    explicit HostileListener(Mode mode) : mode_(mode)
    {
        listener_ = ListenOnLoopback(port_);
        thread_ = std::thread([this] { serve(); });
    }

    ~HostileListener()
    {
        stop_ = true;
        thread_.join();
        for (int client : clients_)
            ::close(client);
        ::close(listener_);
    }

    HostileListener(const HostileListener&) = delete;
    HostileListener& operator=(const HostileListener&) = delete;

    int port() const { return port_; }

private:
    void serve()
    {
        int ticks = 0;
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 100) > 0) {
                const int client = ::accept(listener_, nullptr, nullptr);
                if (client >= 0)
                    welcome(client);
            }
            // Every half second, one more byte to each trickled client.
            if (mode_ == Mode::Trickle && ++ticks % 5 == 0) {
                for (int client : clients_)
                    ::send(client, "\x04", 1, MSG_NOSIGNAL);
            }
        }
    }

    void welcome(int client)
    {
        if (mode_ == Mode::CloseAtOnce) {
            ::close(client);
            return;
        }
        if (mode_ == Mode::Garbage) {
            std::vector<char> noise(4096);
            for (std::size_t i = 0; i < noise.size(); ++i)
                noise[i] = static_cast<char>((i * 7919 + 13) & 0xFF);
            ::send(client, noise.data(), noise.size(), MSG_NOSIGNAL);
        }
        clients_.push_back(client);
    }

    const Mode mode_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<int> clients_;
    std::thread thread_;
};
