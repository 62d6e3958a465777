#include "devices/serial_scan.h"

#include "devices/receive_path.h"
#include "platform/port_watch.h"
#include "platform/serial_ports.h"
#include "protocol/frames.h"
#include "transport/com_port.h"
#include "transport/serial_channel.h"

#include <QTimer>

namespace tq50r::devices {

namespace {

std::optional<std::vector<std::string>> systemPorts() {
    return platform::readSerialPorts();
}

// The scan's own step timer spaces the probes: the channel never pauses after a write.
void noPause(std::chrono::milliseconds) {}

} // namespace

SerialScan::SerialScan(DeviceList& devices, ReceivePath& receivePath, PortLister lister,
                       QObject* parent, std::unique_ptr<transport::TransportChannel> probe)
    : QObject(parent), devices_(devices),
      lister_(lister ? std::move(lister) : PortLister(systemPorts)),
      comPort2_(new transport::TComPort(this)) {
    setObjectName(QStringLiteral("SerialScan"));
    comPort2_->setObjectName(QStringLiteral("ComPort2"));
    // No exception hook: a port that cannot be opened raises, and the scan skips it quietly.
    comPort2_->OnRxChar = [&receivePath](transport::TComPort& port, int count) {
        receivePath.ComPort1RxChar(port, count);
    };
    probe_ =
        probe ? std::move(probe) : std::make_unique<transport::SerialChannel>(*comPort2_, noPause);

    stepTimer_ = new QTimer(this);
    stepTimer_->setObjectName(QStringLiteral("ScanStep"));
    stepTimer_->setSingleShot(true);
    connect(stepTimer_, &QTimer::timeout, this, &SerialScan::ScanStep);

    closeTimer_ = new QTimer(this);
    closeTimer_->setObjectName(QStringLiteral("CloseTimer"));
    closeTimer_->setInterval(CloseTimerMs);
    connect(closeTimer_, &QTimer::timeout, this, &SerialScan::CloseTimerTimer);
    connect(&devices_, &DeviceList::probeCloseRequested, closeTimer_, qOverload<>(&QTimer::start));
    connect(&devices_, &DeviceList::scanHoldReleased, this, &SerialScan::resume);

    portWatch_ = new platform::PortWatch(this, lister_);
    connect(portWatch_, &platform::PortWatch::portArrived, this, &SerialScan::portArrived);
    connect(portWatch_, &platform::PortWatch::portRemoved, this, &SerialScan::portRemoved);
}

SerialScan::~SerialScan() {
    // The channel refers to ComPort2, which goes with the children after this.
    probe_.reset();
}

void SerialScan::start() {
    portWatch_->start();
    ScanStep();
}

void SerialScan::readPorts() {
    serialPorts_.reset();
    if (const auto ports = lister_(); ports && !ports->empty()) {
        QStringList names;
        for (const std::string& port : *ports)
            names << QString::fromStdString(port);
        serialPorts_ = names;
    }
}

void SerialScan::scheduleStep(int delayMs) {
    stepTimer_->start(delayMs);
}

void SerialScan::resume() {
    if (!held_)
        return;
    held_ = false;
    // Not from inside the removal that released the hold.
    scheduleStep(0);
}

void SerialScan::ScanStep() {
    // A step taken directly stands for the pending tick.
    stepTimer_->stop();
    if (phase_ == Phase::WaitingForPorts) {
        readPorts();
        if (!serialPorts_) {
            scheduleStep(PassPauseMs);
            return;
        }
        phase_ = Phase::PassStart;
    }
    if (phase_ == Phase::PassStart) {
        if (devices_.flags().scanHold != 0) {
            held_ = true; // until a USB device is removed
            return;
        }
        if (devices_.flags().listPause != 0) {
            scheduleStep(ProbeStepMs);
            return;
        }
        pass_ = serialPorts_.value_or(QStringList{});
        position_ = static_cast<int>(pass_.size()) - 1;
        phase_ = Phase::Probing;
    }
    while (position_ >= 0 && devices_.containsKey(pass_[position_])) {
        emit portSkipped(position_);
        --position_;
    }
    if (position_ < 0) {
        phase_ = Phase::PassStart;
        scheduleStep(PassPauseMs);
        return;
    }
    probe(pass_[position_]);
    --position_;
    scheduleStep(ProbeStepMs);
}

void SerialScan::probe(const QString& port) {
    static const protocol::RequestFrame poll = protocol::buildRequest(protocol::CommandCode::Poll);
    try {
        probe_->setAddress(port.toStdString());
        probe_->open();
        if (probe_->isOpen())
            probe_->write(poll.data(), static_cast<std::int32_t>(poll.size()));
    } catch (const transport::EComPort&) {
        // Busy or gone: skipped without a word.
    }
}

void SerialScan::CloseTimerTimer() {
    closeTimer_->stop();
    try {
        probe_->close();
    } catch (const transport::EComPort&) {
        // A port that vanished is closed all the same.
    }
}

void SerialScan::portArrived() {
    devices_.flags().listPause = 1;
    readPorts();
    devices_.flags().listPause = 0;
}

void SerialScan::portRemoved() {
    devices_.flags().listPause = 1;
    readPorts();
    const int missing = devices_.markFirstMissingUsb(serialPorts_);
    devices_.flags().listPause = 0;
    if (missing >= 0 && missing == devices_.connectedIndex())
        emit connectedPortRemoved();
}

} // namespace tq50r::devices
