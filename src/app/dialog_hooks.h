// The modal boxes and file dialogs the main window uses, behind replaceable
// functions so that tests answer them without a modal loop.
#pragma once

#include "devices/connecting_dialog.h"

#include <QString>
#include <functional>
#include <memory>

class QDialog;
class QMessageBox;
class QWidget;

namespace tq50r::app {

// The yes/no question box: caption "TQ50R", buttons that read "&Yes" and "&No"
// whatever the system language. Not shown yet.
std::unique_ptr<QMessageBox> makeYesNoBox(QWidget* parent, const QString& text);

// Shows the question modally; true when the user pressed Yes.
bool askYesNo(QWidget* parent, const QString& text);

// Preset file dialogs (filter "*.bin"); an empty result means cancelled.
QString askPresetSaveName(QWidget* parent);
QString askPresetOpenName(QWidget* parent);

// A plain message box with an OK button.
void showPlainMessage(QWidget* parent, const QString& text);
// An information box with an OK button.
void showInformationBox(QWidget* parent, const QString& text);
// Shows a dialog modally.
void runModalDialog(QDialog& dialog);

struct DialogHooks {
    std::function<bool(QWidget*, const QString&)> askYesNo = &tq50r::app::askYesNo;
    std::function<QString(QWidget*)> saveFileName = &askPresetSaveName;
    std::function<QString(QWidget*)> openFileName = &askPresetOpenName;
    std::function<void(QWidget*, const QString&)> showMessage = &showPlainMessage;
    std::function<void(QWidget*, const QString&)> showInformation = &showInformationBox;
    // The device dialogs (rename, MAC, new device) are shown through this.
    std::function<void(QDialog&)> runDialog = &runModalDialog;
    // Shows the About box; replaced by tests that must not block.
    std::function<void(QWidget*)> showAbout;
    // Makes the "Connecting" dialog of a connect attempt; the window's own when empty.
    devices::ConnectingDialogFactory connectingDialog;
    // Ends the process when the main window closes.
    std::function<void()> endProcess;
};

} // namespace tq50r::app
