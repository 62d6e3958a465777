// What the tile menu's Rename, Modify MAC and New Device entries do: each opens its dialog
// modally, and the dialog's OK button changes the device list (and, for the connected device,
// tells the device). A dialog is made for each use and destroyed after it.
#pragma once

#include "devices/device_list.h"
#include "devices/parameter_sync.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace tq50r::devices::ui {

class TIPCfgForm;
class TMacForm;
class TRenameFm;

struct DeviceDialogHooks {
    // Shows a dialog modally and returns when it was closed; tests answer it here.
    std::function<void(QDialog&)> runModal;
    // A plain message box with an OK button.
    std::function<void(const QString&)> showMessage;
    // Closes the main window, which ends the program.
    std::function<void()> closeMainWindow;
    // This computer's first IPv4 address, host byte order.
    std::function<std::optional<std::uint32_t>()> hostIpv4;
};

class DeviceDialogs : public QObject {
    Q_OBJECT
public:
    static inline const QString WrongFormatText = QStringLiteral("Input with correct format");
    static inline const QString RestartText =
        QStringLiteral("Restart the device, then wait a few seconds");
    static inline const QString NotOnlineText = QStringLiteral("This device is not online");
    static inline const QString AddressExistsText =
        QStringLiteral("This ip address has already existed");

    // `owner` owns the rename and MAC dialogs (the main window); the new-device dialog has none.
    DeviceDialogs(DeviceList& devices, ParameterSync& sync, QWidget* owner, DeviceDialogHooks hooks,
                  QObject* parent = nullptr);

    // Tile menu entries; the target is the device list's menuIndex.
    void RenameItemClick();
    void MACItemClick();
    void NewDeviceItemClick();

    // The OK buttons of the open dialogs.
    void RenameOKBtnClick();
    void MACOkClick();
    void IPOkClick();

private:
    DeviceList& devices_;
    ParameterSync& sync_;
    QWidget* owner_;
    DeviceDialogHooks hooks_;
    // The dialog that is open, while it is.
    TRenameFm* renameForm_ = nullptr;
    TMacForm* macForm_ = nullptr;
    TIPCfgForm* ipForm_ = nullptr;
};

} // namespace tq50r::devices::ui
