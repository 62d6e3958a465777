// File > Save As and File > Open: the whole EQ setting to and from a preset file.
#pragma once

#include "app/dialog_hooks.h"
#include "eq/eq_setting.h"
#include "protocol/frames.h"

#include <QString>
#include <functional>

class QWidget;

namespace tq50r::app {

class PresetFlow {
public:
    struct Actions {
        // Sends a block unchanged when a channel is open; false when there is none.
        std::function<bool(const protocol::ParameterBlock&)> sendIfChannelOpen;
        // Takes a block into the editor at once (offline).
        std::function<void(const protocol::ParameterBlock&)> applyOffline;
        // Zero marks the next fader moves as the program's own.
        std::function<void(int)> setFaderSyncState;
        // Whether a device is connected: a saved block then carries the device's off flags.
        std::function<bool()> connected;
    };

    PresetFlow(QWidget* window, const QString& title, const eq::EqSetting& setting,
               DialogHooks& hooks, Actions actions);

    // Both return true when a file was written or taken in.
    bool savePreset();
    bool openPreset();
    // A frame with this command byte could not be written to the device: a whole setting that
    // was sent (an opened preset, the reset) never reached it, and the user is told.
    void sendFailed(int command);

private:
    void showFileInCaption(const QString& path);

    QWidget* window_;
    QString title_;
    const eq::EqSetting& setting_;
    DialogHooks& hooks_;
    Actions actions_;
};

} // namespace tq50r::app
