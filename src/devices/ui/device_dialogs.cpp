#include "devices/ui/device_dialogs.h"

#include "devices/ui/device_forms.h"

#include <QLineEdit>
#include <QPushButton>

namespace tq50r::devices::ui {

namespace {

// The last six of the twelve MAC digits: the part the MAC dialog edits.
constexpr qsizetype MacEditedFrom = 6;

// Keeps `slot` pointing at `form` while it is shown.
template <typename Form>
void runWith(const std::function<void(QDialog&)>& runModal, Form& form, Form*& slot) {
    slot = &form;
    if (runModal)
        runModal(form);
    slot = nullptr;
}

} // namespace

DeviceDialogs::DeviceDialogs(DeviceList& devices, ParameterSync& sync, QWidget* owner,
                             DeviceDialogHooks hooks, QObject* parent)
    : QObject(parent), devices_(devices), sync_(sync), owner_(owner), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("DeviceDialogs"));
}

void DeviceDialogs::RenameItemClick() {
    const int index = devices_.menuIndex();
    if (!devices_.isValidIndex(index))
        return;
    TRenameFm form(owner_);
    form.NameEdit->clear();
    form.NameEdit->setText(devices_.deviceEntries()[static_cast<std::size_t>(index)].name);
    connect(form.OKBtn, &QPushButton::clicked, this, &DeviceDialogs::RenameOKBtnClick);
    runWith(hooks_.runModal, form, renameForm_);
}

void DeviceDialogs::RenameOKBtnClick() {
    if (renameForm_ == nullptr)
        return;
    // The list sends the Rename frame when this is the connected device.
    devices_.renameDevice(devices_.menuIndex(), renameForm_->NameEdit->text());
    renameForm_->accept();
}

void DeviceDialogs::MACItemClick() {
    const int index = devices_.menuIndex();
    if (!devices_.isValidIndex(index))
        return;
    TMacForm form(owner_);
    connect(form.MacOkBtn, &QPushButton::clicked, this, &DeviceDialogs::MACOkClick);
    form.setTypedText(
        devices_.deviceEntries()[static_cast<std::size_t>(index)].mac.mid(MacEditedFrom));
    runWith(hooks_.runModal, form, macForm_);
}

void DeviceDialogs::MACOkClick() {
    if (macForm_ == nullptr)
        return;
    macForm_->accept();
    const QString typed = macForm_->typedText();
    if (typed.size() != TMacForm::TypedDigits) {
        hooks_.showMessage(WrongFormatText);
        return;
    }
    const int index = devices_.menuIndex();
    // The tile keeps showing the old MAC.
    devices_.setMac(index, TMacForm::FixedMacPart + typed, false);
    if (!sync_.sendMac(index)) {
        hooks_.showMessage(NotOnlineText);
        return;
    }
    hooks_.showMessage(RestartText);
    hooks_.closeMainWindow();
}

void DeviceDialogs::NewDeviceItemClick() {
    TIPCfgForm form(nullptr);
    connect(form.IPOKBtn, &QPushButton::clicked, this, &DeviceDialogs::IPOkClick);
    if (const std::optional<std::uint32_t> host =
            hooks_.hostIpv4 ? hooks_.hostIpv4() : std::nullopt)
        form.IPAddress->setAddress(*host);
    runWith(hooks_.runModal, form, ipForm_);
}

void DeviceDialogs::IPOkClick() {
    if (ipForm_ == nullptr)
        return;
    // The dialog stays open, so that several devices can be added in a row.
    const QString address = ipForm_->IPAddress->text();
    if (devices_.containsKey(address)) {
        hooks_.showMessage(AddressExistsText);
        return;
    }
    devices_.addManualDevice(address);
}

} // namespace tq50r::devices::ui
