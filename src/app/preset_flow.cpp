#include "app/preset_flow.h"

#include "app/app_info.h"
#include "protocol/preset_file.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <filesystem>

namespace tq50r::app {

namespace {

const QString OverwriteQuestion = QStringLiteral("File has already existed, override?");
const QString SaveFirstQuestion = QStringLiteral("Do you want to save present preset?");
const QString InvalidFileText = QStringLiteral("Invalid file");
const QString NotSentText =
    QStringLiteral("The setting could not be sent to the device. The EQ was not changed.");

// Preset marker bytes a block must carry to be taken in.
constexpr std::size_t FirstByteOffset = 0;
constexpr std::uint8_t FirstByteValue = 1;
constexpr std::uint8_t SettingCommandValue =
    static_cast<std::uint8_t>(protocol::CommandCode::Setting);

std::filesystem::path toPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

} // namespace

PresetFlow::PresetFlow(QWidget* window, const QString& title, const eq::EqSetting& setting,
                       DialogHooks& hooks, Actions actions)
    : window_(window), title_(title), setting_(setting), hooks_(hooks),
      actions_(std::move(actions)) {}

void PresetFlow::showFileInCaption(const QString& path) {
    window_->setWindowTitle(title_ + CaptionFileSeparator + path);
}

bool PresetFlow::savePreset() {
    const QString chosen = hooks_.saveFileName(window_);
    if (chosen.isEmpty())
        return false;
    const protocol::ParameterBlock block =
        protocol::buildParameterBlock(setting_, actions_.connected && actions_.connected());
    const QString path = QFile::decodeName(QByteArray::fromStdString(
        protocol::presetFileName(QFile::encodeName(chosen).toStdString())));
    if (QFileInfo::exists(path) && !hooks_.askYesNo(window_, OverwriteQuestion))
        return false;
    const protocol::PresetWriteResult written = protocol::writePresetFile(block, toPath(path));
    if (!written.ok()) {
        // The caption keeps the last file that really was written.
        hooks_.showMessage(window_, QString::fromStdString(written.message));
        return false;
    }
    showFileInCaption(path);
    return true;
}

bool PresetFlow::openPreset() {
    if (hooks_.askYesNo(window_, SaveFirstQuestion))
        savePreset(); // the open goes on whatever the save did
    const QString path = hooks_.openFileName(window_);
    if (path.isEmpty())
        return false;
    const protocol::PresetReadResult read = protocol::readPresetFile(toPath(path));
    if (!read.ok()) {
        hooks_.showMessage(window_, read.error == protocol::PresetError::NotPreset
                                        ? InvalidFileText
                                        : QString::fromStdString(read.message));
        return false;
    }
    const protocol::ParameterBlock& block = *read.block;
    if (block[FirstByteOffset] != FirstByteValue ||
        block[protocol::CommandOffset] != SettingCommandValue) {
        hooks_.showMessage(window_, InvalidFileText);
        return false;
    }
    actions_.setFaderSyncState(0);
    showFileInCaption(path);
    // Sent, the editor waits for the device's report; a write that fails is reported by
    // sendFailed and leaves the editor as it is.
    if (!actions_.sendIfChannelOpen(block))
        actions_.applyOffline(block);
    return true;
}

void PresetFlow::sendFailed(int command) {
    if (command == SettingCommandValue)
        hooks_.showMessage(window_, NotSentText);
}

} // namespace tq50r::app
