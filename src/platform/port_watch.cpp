#include "platform/port_watch.h"

#include "platform/serial_ports.h"

#include <algorithm>

namespace tq50r::platform {

PortWatch::PortWatch(QObject* parent, PortLister lister, std::chrono::milliseconds interval,
                     TimerClock* clock)
    : QObject(parent), lister_(std::move(lister)), timer_(this, clock) {
    if (!lister_) {
        lister_ = [] { return readSerialPorts(); };
    }
    timer_.setInterval(static_cast<int>(interval.count()));
    connect(&timer_, &ClockTimer::timeout, this, &PortWatch::checkNow);
}

std::vector<std::string> PortWatch::readList() const {
    auto ports = lister_();
    return ports ? std::move(*ports) : std::vector<std::string>{};
}

void PortWatch::start() {
    known_ = readList();
    timer_.start();
}

void PortWatch::stop() {
    timer_.stop();
}

void PortWatch::checkNow() {
    std::vector<std::string> current = readList();
    const auto contains = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    std::vector<std::string> removed;
    std::vector<std::string> arrived;
    for (const auto& name : known_) {
        if (!contains(current, name)) {
            removed.push_back(name);
        }
    }
    for (const auto& name : current) {
        if (!contains(known_, name)) {
            arrived.push_back(name);
        }
    }
    // Update first: a slot that reads knownPorts() sees the new list.
    known_ = std::move(current);
    for (const auto& name : removed) {
        emit portRemoved(QString::fromStdString(name));
    }
    for (const auto& name : arrived) {
        emit portArrived(QString::fromStdString(name));
    }
}

} // namespace tq50r::platform
