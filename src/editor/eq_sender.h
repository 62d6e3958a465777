// The one path by which the editor's edits reach a connected device. The editor never touches a
// transport: the window hands it a sender that fills and writes the frames, and answers whether a
// device is connected at the moment of each event.
#pragma once

#include <array>
#include <cstdint>

namespace tq50r::editor {

inline constexpr std::size_t SettingBlockBytes = 74;
using SettingBlock = std::array<std::uint8_t, SettingBlockBytes>;

class EqSender {
public:
    virtual ~EqSender() = default;

    // Whether a device has answered; read afresh at every editor event.
    virtual bool connected() const = 0;
    // Send band n (1..5) from the model: type code, frequency digits, gain, Q and the `off` flag.
    virtual void sendBand(int n) = 0;
    // Send the trim byte for the model's trim.
    virtual void sendTrim() = 0;
    // Ask the device to switch bypass to `requested`; the model follows the device's report.
    virtual void sendBypass(bool requested) = 0;
    // Send a whole setting block as it is.
    virtual void sendSetting(const SettingBlock& block) = 0;
};

// The sender of a window without a device: never connected, sends nothing.
class OfflineSender final : public EqSender {
public:
    bool connected() const override { return false; }
    void sendBand(int) override {}
    void sendTrim() override {}
    void sendBypass(bool) override {}
    void sendSetting(const SettingBlock&) override {}
};

} // namespace tq50r::editor
