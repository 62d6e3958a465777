// A single-threaded poll() loop with one-shot timers. Every handler runs on
// the thread that calls run(); nothing here is thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

namespace tq50r::sim {

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using FdHandler = std::function<void(short revents)>;
    using TimerHandler = std::function<void()>;
    using TimerId = std::uint64_t;

    // Watches fd for `events` (POLLIN, POLLOUT). A second call for the same fd
    // replaces the handler. Handlers may watch and unwatch any fd, their own
    // included.
    void watch(int fd, short events, FdHandler handler);
    void setEvents(int fd, short events);
    void unwatch(int fd);
    bool watching(int fd) const { return fds_.contains(fd); }

    // Runs handler once, delay from now (or at `due`). Timers due at the same
    // time run in the order they were set.
    TimerId after(std::chrono::milliseconds delay, TimerHandler handler);
    TimerId at(Clock::time_point due, TimerHandler handler);
    void cancel(TimerId id);
    std::size_t pendingTimers() const { return timers_.size(); }

    // One round: waits at most maxWait for an event or the next timer, then
    // runs what is ready.
    void runOnce(std::chrono::milliseconds maxWait);
    // Rounds until stop() or until `deadline` has passed.
    void run(Clock::time_point deadline = Clock::time_point::max());
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

private:
    struct Watch {
        short events = 0;
        std::uint64_t generation = 0;
        FdHandler handler;
    };
    struct Timer {
        Clock::time_point due;
        TimerHandler handler;
    };

    void runDueTimers();

    std::map<int, Watch> fds_;
    std::map<TimerId, Timer> timers_;
    std::uint64_t nextGeneration_ = 1;
    TimerId nextTimer_ = 1;
    bool stopped_ = false;
};

} // namespace tq50r::sim
