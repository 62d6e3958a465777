// The serial scan: probes every listed serial port that is not yet a known device with a Poll on
// the probe port ComPort2, last port first, one port per step, with a long pause between passes.
// It also follows the ports that come and go. Timer-driven on the GUI thread: nothing here sleeps.
#pragma once

#include "devices/device_list.h"
#include "transport/transport_channel.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace tq50r::platform {
class PortWatch;
}
namespace tq50r::transport {
class TComPort;
} // namespace tq50r::transport

namespace tq50r::devices {

class ReceivePath;

class SerialScan : public QObject {
    Q_OBJECT
public:
    using PortLister = std::function<std::optional<std::vector<std::string>>()>;

    static constexpr int ProbeStepMs = 100;  // after each probed port
    static constexpr int PassPauseMs = 3000; // between passes, and while no port is listed
    static constexpr int CloseTimerMs = 20;  // a USB device was found: the probe port closes

    // `lister` reads the system's port list (default: readSerialPorts()); `probe` replaces the
    // channel over ComPort2 (tests).
    SerialScan(DeviceList& devices, ReceivePath& receivePath, PortLister lister = {},
               QObject* parent = nullptr, std::unique_ptr<transport::TransportChannel> probe = {});
    ~SerialScan() override;

    // Reads the port list and begins the first pass; starts following ports that come and go.
    void start();

    transport::TComPort& ComPort2() const { return *comPort2_; }
    transport::TransportChannel& probeChannel() const { return *probe_; }
    const std::optional<QStringList>& serialPorts() const { return serialPorts_; }
    QTimer* closeTimer() const { return closeTimer_; }
    QTimer* stepTimer() const { return stepTimer_; }
    // Waiting for a USB device to be removed before the next pass.
    bool isHeld() const { return held_; }

    // One step of the scan (the step timer's tick).
    void ScanStep();
    void CloseTimerTimer();

    // A serial port appeared or disappeared (the port watch).
    void portArrived();
    void portRemoved();

signals:
    // The scan passed over a port that is already a device: its position in the pass's list.
    void portSkipped(int position);
    // The removed port was the connected device's: the connection has lost its link.
    void connectedPortRemoved();

private:
    enum class Phase { WaitingForPorts, PassStart, Probing };
    void readPorts();
    void probe(const QString& port);
    void scheduleStep(int delayMs);
    void resume();

    DeviceList& devices_;
    PortLister lister_;
    transport::TComPort* comPort2_ = nullptr;
    std::unique_ptr<transport::TransportChannel> probe_;
    platform::PortWatch* portWatch_ = nullptr;
    QTimer* stepTimer_ = nullptr;
    QTimer* closeTimer_ = nullptr;
    std::optional<QStringList> serialPorts_;
    QStringList pass_; // the pass works on its own copy of the list
    int position_ = -1;
    Phase phase_ = Phase::WaitingForPorts;
    bool held_ = false;
};

} // namespace tq50r::devices
