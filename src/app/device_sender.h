// The editor's sender while the window has its device rooms: edits go to the parameter sync, and
// whether a device is connected is asked of the connection, the one place that knows.
#pragma once

#include "devices/parameter_sync.h"
#include "editor/eq_sender.h"

namespace tq50r::app {

class DeviceSender final : public editor::EqSender {
public:
    explicit DeviceSender(devices::ParameterSync& sync) : sync_(sync) {}

    bool connected() const override { return sync_.connected(); }
    void sendBand(int n) override { sync_.sendBand(n); }
    void sendTrim() override { sync_.sendTrim(); }
    void sendBypass(bool requested) override { sync_.sendBypass(requested); }
    void sendSetting(const editor::SettingBlock& block) override { sync_.sendSetting(block); }

private:
    devices::ParameterSync& sync_;
};

} // namespace tq50r::app
