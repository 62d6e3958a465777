#pragma once
// A timer that takes its ticks from a clock: the event loop's by default, or a clock a test moves
// by hand, so that what a timer decides can be checked at exact times without waiting for them.
#include <QObject>

class QTimer;

namespace tq50r::platform {

class ClockTimer;

/// A clock that drives timers itself. It hears of every start (with the interval in force) and
/// stop of the timers made on it, and calls ClockTimer::tick() when one is due.
class TimerClock {
public:
    virtual ~TimerClock() = default;
    /// The timer was started or restarted: its next tick is one interval from now.
    virtual void timerStarted(ClockTimer& timer) = 0;
    /// The timer was stopped or is being destroyed: no tick is due.
    virtual void timerStopped(ClockTimer& timer) = 0;
};

/// What the program needs of a QTimer: interval in milliseconds, single shot or repeating,
/// start, stop, and the timeout signal. Changing the interval of a running timer restarts it.
class ClockTimer : public QObject {
    Q_OBJECT
public:
    /// Without a clock the ticks come from the event loop of the thread the timer lives on. A
    /// given clock must outlive the timer.
    explicit ClockTimer(QObject* parent = nullptr, TimerClock* clock = nullptr);
    ~ClockTimer() override;

    void setInterval(int intervalMs);
    int interval() const { return intervalMs_; }
    void setSingleShot(bool singleShot);
    bool isSingleShot() const { return singleShot_; }
    bool isActive() const { return active_; }

    /// Called by the timer's clock when the tick is due; stops a single-shot timer first.
    void tick();

public slots:
    void start();
    void start(int intervalMs);
    void stop();

signals:
    void timeout();

private:
    TimerClock* clock_ = nullptr;
    QTimer* loopTimer_ = nullptr; // the event loop's timer, when no clock was given
    int intervalMs_ = 0;
    bool singleShot_ = false;
    bool active_ = false;
};

} // namespace tq50r::platform
