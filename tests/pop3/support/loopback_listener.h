#pragma once
// A listening TCP socket on 127.0.0.1 at a port the system picks, served from a thread of
// its own one connection at a time until the listener is destroyed. Declare it as the last
// member of the server that owns it, so that its thread ends before the rest goes.

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <thread>

namespace lum::test {

class LoopbackListener {
public:
    // session gets each accepted connection and closes it.
    explicit LoopbackListener(std::function<void(int fd)> session);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    quint16 port() const { return port_; }
    // True once the listener is being destroyed: a session waiting for bytes should end.
    bool stopping() const { return stop_; }

private:
    void serve();

    std::function<void(int)> session_;
    int listenFd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace lum::test
