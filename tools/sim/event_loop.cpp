#include "event_loop.h"

#include <algorithm>
#include <poll.h>
#include <vector>

namespace tq50r::sim {

void EventLoop::watch(int fd, short events, FdHandler handler) {
    fds_[fd] = Watch{events, nextGeneration_++, std::move(handler)};
}

void EventLoop::setEvents(int fd, short events) {
    if (auto it = fds_.find(fd); it != fds_.end()) {
        it->second.events = events;
    }
}

void EventLoop::unwatch(int fd) {
    fds_.erase(fd);
}

EventLoop::TimerId EventLoop::after(std::chrono::milliseconds delay, TimerHandler handler) {
    return at(Clock::now() + delay, std::move(handler));
}

EventLoop::TimerId EventLoop::at(Clock::time_point due, TimerHandler handler) {
    const TimerId id = nextTimer_++;
    timers_.emplace(id, Timer{due, std::move(handler)});
    return id;
}

void EventLoop::cancel(TimerId id) {
    timers_.erase(id);
}

void EventLoop::runDueTimers() {
    // Only timers that are due when the round starts run in it; a timer set by
    // a handler waits for the next round, so a zero-delay timer cannot starve
    // the sockets.
    const auto now = Clock::now();
    std::vector<TimerId> due;
    for (const auto& [id, timer] : timers_) {
        if (timer.due <= now) {
            due.push_back(id);
        }
    }
    std::stable_sort(due.begin(), due.end(), [this](TimerId a, TimerId b) {
        return timers_.at(a).due < timers_.at(b).due;
    });
    for (const TimerId id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end()) {
            continue; // cancelled by an earlier handler of this round
        }
        TimerHandler handler = std::move(it->second.handler);
        timers_.erase(it);
        handler();
    }
}

void EventLoop::runOnce(std::chrono::milliseconds maxWait) {
    auto wait = maxWait;
    if (!timers_.empty()) {
        auto next = Clock::time_point::max();
        for (const auto& [id, timer] : timers_) {
            next = std::min(next, timer.due);
        }
        const auto untilNext = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        wait = std::clamp(untilNext, std::chrono::milliseconds{0}, maxWait);
    }

    std::vector<pollfd> polled;
    std::vector<std::uint64_t> generations;
    polled.reserve(fds_.size());
    for (const auto& [fd, w] : fds_) {
        polled.push_back(pollfd{fd, w.events, 0});
        generations.push_back(w.generation);
    }
    const int ready = ::poll(polled.data(), polled.size(), static_cast<int>(wait.count()));
    if (ready > 0) {
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (polled[i].revents == 0) {
                continue;
            }
            // A handler earlier in this round may have closed this fd, or
            // closed it and opened another under the same number.
            auto it = fds_.find(polled[i].fd);
            if (it == fds_.end() || it->second.generation != generations[i]) {
                continue;
            }
            FdHandler handler = it->second.handler; // may unwatch itself
            handler(polled[i].revents);
        }
    }
    runDueTimers();
}

void EventLoop::run(Clock::time_point deadline) {
    constexpr std::chrono::milliseconds MaxRound{250};
    while (!stopped_ && Clock::now() < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        runOnce(std::min(MaxRound, std::max(left, std::chrono::milliseconds{0})));
    }
}

} // namespace tq50r::sim
