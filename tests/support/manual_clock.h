#pragma once
// A clock that tests move by hand: the timers made on it tick exactly when their intervals say,
// in time order, while advance() runs, and never otherwise.
#include "platform/clock_timer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace tq50r::testing {

class ManualClock final : public platform::TimerClock {
public:
    using Ms = std::chrono::milliseconds;

    Ms now() const { return now_; }

    /// Moves the time on by `step`, ticking every timer that falls due on the way (also one that
    /// a tick started), each at its own time.
    void advance(Ms step) {
        const Ms end = now_ + step;
        for (int ticks = 0;; ++ticks) {
            const auto next = std::min_element(due_.begin(), due_.end(), [](auto& a, auto& b) {
                return a.at < b.at || (a.at == b.at && a.order < b.order);
            });
            if (next == due_.end() || next->at > end) {
                break;
            }
            if (ticks == MaxTicksPerAdvance) {
                ADD_FAILURE() << "a timer ticks without end";
                break;
            }
            now_ = next->at;
            platform::ClockTimer* timer = next->timer;
            // A repeating timer is due again one interval later, unless its tick changes that.
            next->at = now_ + Ms(std::max(timer->interval(), 1));
            next->order = order_++;
            timer->tick();
        }
        now_ = end;
    }

    /// Whether `timer` is waiting for a tick of this clock.
    bool isWaiting(const platform::ClockTimer& timer) const {
        return std::any_of(due_.begin(), due_.end(), [&](auto& d) { return d.timer == &timer; });
    }

    void timerStarted(platform::ClockTimer& timer) override {
        timerStopped(timer);
        due_.push_back({&timer, now_ + Ms(timer.interval()), order_++});
    }
    void timerStopped(platform::ClockTimer& timer) override {
        due_.erase(std::remove_if(due_.begin(), due_.end(),
                                  [&](const Due& d) { return d.timer == &timer; }),
                   due_.end());
    }

private:
    static constexpr int MaxTicksPerAdvance = 1000000;

    struct Due {
        platform::ClockTimer* timer;
        Ms at;
        std::uint64_t order; // ties go in the order the timers were started
    };
    std::vector<Due> due_;
    Ms now_{0};
    std::uint64_t order_ = 0;
};

} // namespace tq50r::testing
