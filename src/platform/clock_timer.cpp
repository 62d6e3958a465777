#include "platform/clock_timer.h"

#include <QTimer>

namespace tq50r::platform {

ClockTimer::ClockTimer(QObject* parent, TimerClock* clock) : QObject(parent), clock_(clock) {
    if (clock_ == nullptr) {
        loopTimer_ = new QTimer(this);
        loopTimer_->setTimerType(Qt::PreciseTimer);
        connect(loopTimer_, &QTimer::timeout, this, &ClockTimer::tick);
    }
}

ClockTimer::~ClockTimer() {
    if (active_ && clock_ != nullptr) {
        clock_->timerStopped(*this);
    }
}

void ClockTimer::setInterval(int intervalMs) {
    intervalMs_ = intervalMs;
    if (loopTimer_ != nullptr) {
        loopTimer_->setInterval(intervalMs);
    } else if (active_) {
        clock_->timerStarted(*this);
    }
}

void ClockTimer::setSingleShot(bool singleShot) {
    singleShot_ = singleShot;
    if (loopTimer_ != nullptr) {
        loopTimer_->setSingleShot(singleShot);
    }
}

void ClockTimer::start() {
    active_ = true;
    if (loopTimer_ != nullptr) {
        loopTimer_->start();
    } else {
        clock_->timerStarted(*this);
    }
}

void ClockTimer::start(int intervalMs) {
    intervalMs_ = intervalMs;
    if (loopTimer_ != nullptr) {
        loopTimer_->setInterval(intervalMs);
    }
    start();
}

void ClockTimer::stop() {
    if (loopTimer_ != nullptr) {
        loopTimer_->stop();
    } else if (active_) {
        clock_->timerStopped(*this);
    }
    active_ = false;
}

void ClockTimer::tick() {
    if (!active_) {
        return;
    }
    if (singleShot_) {
        stop();
    }
    emit timeout();
}

} // namespace tq50r::platform
