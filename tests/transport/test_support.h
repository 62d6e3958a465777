#pragma once
// Pseudo-terminal pairs and bounded event-loop waits for the transport tests.
#include "base/unique_fd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace tq50r::transport::testing {

inline constexpr int kWaitLimitMs = 3000;

/// Runs the event loop until `done` or `limitMs` has passed; returns `done()`.
inline bool pumpUntil(const std::function<bool()>& done, int limitMs = kWaitLimitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

/// A pseudo-terminal pair: the test plays the device on the master side, the port under test
/// opens the slave by its path. The test keeps its own slave handle to read the line settings.
class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        int master = -1;
        int slave = -1;
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            master_.reset(master);
            slave_.reset(slave);
            path_ = name;
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
            // Programs the tests start must not inherit either side.
            ::fcntl(master, F_SETFD, FD_CLOEXEC);
            ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        }
    }

    bool ok() const { return master_ && slave_; }
    const std::string& path() const { return path_; }
    int master() const { return master_.get(); }
    int slave() const { return slave_.get(); }
    void closeMaster() { master_.reset(); }

    /// Device sends.
    bool send(const std::vector<std::uint8_t>& bytes) const {
        return ::write(master_.get(), bytes.data(), bytes.size()) ==
               static_cast<ssize_t>(bytes.size());
    }

    /// Device receives exactly `count` bytes, or what came within `limitMs`.
    std::vector<std::uint8_t> receive(std::size_t count, int limitMs = kWaitLimitMs) const {
        std::vector<std::uint8_t> out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{master_.get(), POLLIN, 0};
            if (::poll(&pfd, 1, 10) <= 0) {
                continue;
            }
            std::uint8_t buf[256];
            const ssize_t n = ::read(master_.get(), buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) {
                out.insert(out.end(), buf, buf + n);
            }
        }
        return out;
    }

private:
    base::UniqueFd master_;
    base::UniqueFd slave_;
    std::string path_;
};

} // namespace tq50r::transport::testing
