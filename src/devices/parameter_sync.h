// Keeping the device and the editor in step: every edit made while connected leaves as one frame
// on the current channel, the device's whole setting is asked for right after a connect, and an
// idle link is polled so that the link check can tell a live device from a silent one. A send
// never redraws anything: the editor shows a value when the device reports it back.
//
// Band, Trim and Bypass frames are built once and only their value bytes are refilled before each
// send. Sends that count as traffic for the link check mark it right after the write.
#pragma once

#include "devices/connection.h"
#include "devices/device_list.h"
#include "devices/link_monitor.h"
#include "eq/eq_setting.h"
#include "protocol/frames.h"

#include <QObject>
#include <QTimer>
#include <array>

namespace tq50r::devices {

class ParameterSync : public QObject {
    Q_OBJECT
public:
    static constexpr int RecallTimerMs = 20;
    static constexpr int RequestTimerMs = 300;
    // RequestTimer ticks without traffic before a Poll goes out.
    static constexpr int IdlePollTicks = 10;

    ParameterSync(Connection& connection, eq::EqSetting& setting, LinkMonitor& link,
                  DeviceList& devices, QObject* parent = nullptr);

    bool connected() const { return connection_.connected(); }

    // ---- the editor's sends (each only while connected) -----------------------------------------
    void sendBand(int n);
    void sendTrim();
    // Asks for `requested`; the model keeps its value until the device reports.
    void sendBypass(bool requested);
    // Reset while connected: the block as it is.
    void sendSetting(const protocol::ParameterBlock& block);

    // File Open: the block goes out when a channel exists and is open, connected or not.
    bool sendSettingIfChannelOpen(const protocol::ParameterBlock& block);
    // "More Info": asks for the burn-in counters when a channel exists.
    bool sendBurning();
    // MAC change confirmed for the device at `index`: sent when it is the connected one.
    bool sendMac(int index);

    // ---- timers ---------------------------------------------------------------------------------
    QTimer* recallTimer() const { return recallTimer_; }
    QTimer* requestTimer() const { return requestTimer_; }
    void RecallTimerTimer();
    void RequestTimerTimer();
    // The status row's timer: asks for the device state while connected.
    void ReadStateTimerTimer();

private:
    // The device at `index` is the connected one and a channel exists.
    bool isConnectedDevice(int index) const;
    void onDeviceRenamed(int index, const QString& name);
    // Writes on the current channel; with `marksTraffic` the link counts as alive afterwards.
    template <std::size_t N>
    void write(const std::array<std::uint8_t, N>& frame, bool marksTraffic);
    bool channelOpen() const;

    Connection& connection_;
    eq::EqSetting& setting_;
    LinkMonitor& link_;
    DeviceList& devices_;
    std::array<protocol::BandFrame, eq::BandCount> bandFrames_{};
    protocol::TrimFrame trimFrame_{};
    protocol::BypassFrame bypassFrame_{};
    QTimer* recallTimer_ = nullptr;
    QTimer* requestTimer_ = nullptr;
};

} // namespace tq50r::devices
