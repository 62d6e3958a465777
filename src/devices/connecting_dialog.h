// What the connection needs of the "Connecting" dialog, so that it runs without widgets in tests.
// The window hands the connection a factory that makes the real dialog.
#pragma once

#include <functional>
#include <memory>

namespace tq50r::devices {

class ConnectingDialog {
public:
    virtual ~ConnectingDialog() = default;
    // Shown without blocking the window.
    virtual void show() = 0;
    // Hidden; it stays in existence until destroyed.
    virtual void close() = 0;
    virtual void stopTimer() = 0;
};

// Makes a dialog whose Cancel button calls `onCancel`.
using ConnectingDialogFactory =
    std::function<std::unique_ptr<ConnectingDialog>(std::function<void()> onCancel)>;

} // namespace tq50r::devices
