#pragma once
// Tells the GUI thread when a serial port appears or disappears.
#include "platform/clock_timer.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tq50r::platform {

/// Watches the serial port list by reading it again at a fixed interval on the thread the
/// watch lives on (the GUI thread) and comparing it with the previous reading. Reading the list
/// costs one small sysfs directory walk, and a poll also notices the registered extra ports
/// (pseudo-terminals), which no hot-plug notification announces.
class PortWatch : public QObject {
    Q_OBJECT
public:
    using PortLister = std::function<std::optional<std::vector<std::string>>()>;

    static constexpr std::chrono::milliseconds kDefaultInterval{1000};

    /// `lister` reads the current list; by default `readSerialPorts()`. `clock` drives the
    /// checks (the event loop's when none is given).
    explicit PortWatch(QObject* parent = nullptr, PortLister lister = {},
                       std::chrono::milliseconds interval = kDefaultInterval,
                       TimerClock* clock = nullptr);

    /// Takes the current list as the baseline (no signals for ports already present) and starts
    /// the periodic check.
    void start();
    void stop();
    bool isRunning() const { return timer_.isActive(); }

    /// The ports seen at the last check.
    const std::vector<std::string>& knownPorts() const { return known_; }

public slots:
    /// Reads the list now and signals every difference to the previous reading: removals
    /// first, then arrivals, each in list order.
    void checkNow();

signals:
    void portArrived(const QString& portName);
    void portRemoved(const QString& portName);

private:
    std::vector<std::string> readList() const;

    PortLister lister_;
    ClockTimer timer_;
    std::vector<std::string> known_;
};

} // namespace tq50r::platform
