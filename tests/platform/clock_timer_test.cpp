#include "platform/clock_timer.h"
#include "support/manual_clock.h"
#include "transport/test_support.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using tq50r::platform::ClockTimer;
using tq50r::testing::ManualClock;
using Ms = std::chrono::milliseconds;

namespace {

TEST(ClockTimer, TicksOnItsClockAsAQTimerDoes) {
    ManualClock clock;
    ClockTimer timer(nullptr, &clock);
    QSignalSpy ticks(&timer, &ClockTimer::timeout);
    timer.start(100);
    clock.advance(Ms(250));
    EXPECT_EQ(ticks.count(), 2);
    // A new interval restarts the running timer from now.
    timer.setInterval(40);
    clock.advance(Ms(39));
    EXPECT_EQ(ticks.count(), 2);
    clock.advance(Ms(1));
    EXPECT_EQ(ticks.count(), 3);
    timer.stop();
    clock.advance(Ms(1000));
    EXPECT_EQ(ticks.count(), 3);
    EXPECT_FALSE(timer.isActive());

    timer.setSingleShot(true);
    timer.start(10);
    clock.advance(Ms(100));
    EXPECT_EQ(ticks.count(), 4);
    EXPECT_FALSE(timer.isActive());
    timer.start();
    {
        ClockTimer gone(nullptr, &clock);
        gone.start(5);
    }
    clock.advance(Ms(10)); // the destroyed timer is not ticked
    EXPECT_EQ(ticks.count(), 5);
}

TEST(ClockTimer, WithoutAClockTheEventLoopTicksIt) {
    ClockTimer timer;
    QSignalSpy ticks(&timer, &ClockTimer::timeout);
    QObject::connect(&timer, &ClockTimer::timeout, &timer, &ClockTimer::stop);
    timer.start(1);
    EXPECT_TRUE(tq50r::transport::testing::pumpUntil([&] { return ticks.count() > 0; }));
    EXPECT_FALSE(timer.isActive());
}

} // namespace
