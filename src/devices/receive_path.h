// The receive path: the one frame parser that both serial ports and the TCP socket feed, and the
// dispatch of every complete frame to the model, the device list and whoever shows the rest.
#pragma once

#include "devices/device_list.h"
#include "devices/link_monitor.h"
#include "eq/eq_setting.h"
#include "protocol/frame_parser.h"
#include "protocol/frames.h"

#include <QEvent>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace tq50r::transport {
class TComPort;
class TransportChannel;
} // namespace tq50r::transport

namespace tq50r::devices {

// Posted to the application when a burn-in report arrived; shown later from the event loop,
// never from inside a receive handler.
class BurningMessageEvent : public QEvent {
public:
    static constexpr int Number = 1124;
    static QEvent::Type eventType() { return static_cast<QEvent::Type>(Number); }

    BurningMessageEvent(int count, std::uint32_t totalMinutes)
        : QEvent(eventType()), count_(count), totalMinutes_(totalMinutes) {}
    int count() const { return count_; }
    std::uint32_t totalMinutes() const { return totalMinutes_; }

private:
    int count_;
    std::uint32_t totalMinutes_;
};

enum class SourceKind { Serial, Tcp };

// Where the bytes of a frame came from: the serial port that raised the event (by name), or TCP.
struct FrameOrigin {
    SourceKind kind = SourceKind::Tcp;
    QString portName;
};

class ReceivePath : public QObject {
    Q_OBJECT
public:
    ReceivePath(DeviceList& devices, eq::EqSetting& setting, LinkMonitor& link,
                QObject* parent = nullptr);

    // Serial receive event of either port: reads the `count` announced bytes from `port`, in
    // pieces of at most 1024, and feeds them.
    void ComPort1RxChar(transport::TComPort& port, int count);
    // TCP read event: reads the `pending` bytes through the current channel and feeds them.
    void ClientSocket1Read(transport::TransportChannel& channel, std::int64_t pending);

    void feed(std::span<const std::uint8_t> bytes, const FrameOrigin& origin);
    // Drops a partial frame (a network device is disconnected before a new attempt).
    void resetParser() { parser_.reset(); }
    const protocol::FrameParser& parser() const { return parser_; }

    // While held, complete frames wait; release() dispatches them in the order they came.
    void hold() { held_ = true; }
    void release();
    bool isHeld() const { return held_; }

signals:
    // The model's trim, band n or bypass now holds what the device reported.
    void trimReported();
    void bandReported(int n);
    void bypassReported();
    // The device's whole setting: for the editor to take in.
    void settingReported(const protocol::ParameterBlock& block);
    // A Connect reply: the connection decides whether it establishes a link.
    void connectReported(tq50r::devices::SourceKind kind, const QString& name, int revision);
    void stateReported(const protocol::DeviceState& state);
    // A USB device answered the probe and was added.
    void usbDeviceFound(int index);

private:
    struct HeldFrame {
        std::vector<std::uint8_t> bytes;
        FrameOrigin origin;
    };
    void dispatch(protocol::FrameBytes frame, const FrameOrigin& origin);

    DeviceList& devices_;
    eq::EqSetting& setting_;
    LinkMonitor& link_;
    protocol::FrameParser parser_;
    bool held_ = false;
    std::deque<HeldFrame> heldFrames_;
};

} // namespace tq50r::devices
