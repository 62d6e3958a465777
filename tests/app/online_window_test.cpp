// The window with its device rooms on fake channels: a whole setting holds later frames for the
// settle pause; the link flag, UPDATE and the Connecting dialog follow the connection.
#include "app/app_test_support.h"
#include "app/main_window.h"
#include "app/status_row.h"
#include "devices/connection.h"
#include "devices/frame_bytes.h"
#include "devices/parameter_sync.h"
#include "devices/receive_path.h"
#include "devices/ui/progress_bar_form.h"
#include "editor/eq_editor.h"
#include "eq/encoding.h"
#include "protocol/preset_file.h"
#include "support/fake_channel.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace tq50r::app {
namespace {

using devices::testing::toBytes;

struct OnlineWindow {
    transport::FakeChannelFactory* factory = new transport::FakeChannelFactory;
    testing::ScriptedWindow w{testing::quietOptions(),
                              std::unique_ptr<transport::ChannelFactory>(factory)};
    TForm1& form = *w.form;
    editor::EqEditor& eq = form.eqEditor();

    OnlineWindow() {
        click(QStringLiteral("127.0.0.2"));
        device(devices::testing::connectReply("Amp"));
    }
    void click(const QString& key) {
        form.deviceList().addDevice(key, devices::UnknownMac, devices::KindNetwork);
        form.deviceList().DeviceTimerTimer();
        form.deviceList().DeviceMouseDown(form.deviceList().size() - 1, Qt::LeftButton);
        form.connection().DevicePanelClick();
    }
    void device(const devices::testing::Bytes& bytes) {
        form.receivePath().feed(bytes, devices::FrameOrigin{devices::SourceKind::Tcp, {}});
    }
    transport::FakeLink& line() { return *factory->lastLink(); }
    // Writes waiting behind the channel's pause go out.
    void flush() {
        while (form.connection().currentChannel()->paceTimer()->isActive())
            form.connection().currentChannel()->PaceTimerTimer();
    }
};

// A status reply: temperature reading at offsets 9..10, flags at 17..20.
devices::testing::Bytes stateReply(std::uint16_t reading, std::array<std::uint8_t, 4> flags) {
    const auto lo = static_cast<std::uint8_t>(reading & 0xFF);
    const auto hi = static_cast<std::uint8_t>(reading >> 8);
    return devices::testing::frame(
        0x23, {0, 0, 0, lo, hi, 0, 0, 0, 0, 0, 0, flags[0], flags[1], flags[2], flags[3]});
}

TEST(OnlineWindow, TheRowTakesRepliesWhileHiddenOutlivesALostLinkAndGoesWithATileClickOnly) {
    OnlineWindow w;
    StatusRow& row = w.form.statusRow();
    w.form.showStatusRow(false);
    w.device(stateReply(920, {0, 1, 0, 5}));
    EXPECT_EQ(row.tempLabel()->text(), QString::fromUtf8("Temperature:-10\u2103"));
    w.form.showStatusRow(true);

    w.form.connection().CheckTimerTimer();
    w.form.connection().CheckTimerTimer(); // lost
    w.line().clearWritten();
    w.form.ReadStateTimerTimer(); // ticks on, sends nothing while lost
    EXPECT_TRUE(w.line().writes().empty());
    w.device(devices::testing::connectReply("Amp", 16)); // reconnected, revision 16
    EXPECT_TRUE(w.form.statusRowVisible());
    w.form.deviceList().DeviceMouseDown(0, Qt::LeftButton);
    w.form.connection().DevicePanelClick(); // the connected tile: disconnect
    EXPECT_FALSE(w.form.statusRowVisible());
    EXPECT_FALSE(w.form.findChild<QTimer*>(QStringLiteral("ReadStateTimer"))->isActive());
}

// Sees application events after the window's own hook.
struct EventSpy : QObject {
    int burning = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        burning += event->type() == devices::BurningMessageEvent::eventType();
        return false;
    }
};

TEST(OnlineWindow, TheBurnInReportIsShownFromTheEventLoopAndPassedOn) {
    EventSpy spy;
    QCoreApplication::instance()->installEventFilter(&spy);
    OnlineWindow w;
    // Count 12; minutes 1561 as 0x0619 below ten thousand and 0 ten-thousands.
    w.device(devices::testing::frame(0x24, {0, 12, 0, 0x19, 0x06, 0, 0}));
    EXPECT_TRUE(w.w.informations.isEmpty()); // not from inside the receive handler
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w.w.informations, QStringList{QStringLiteral(
                                    "Burning success times:12\nTime:1 day, 2 hours, 1 minute")});
    EXPECT_EQ(spy.burning, 1);
}

TEST(OnlineWindow, WhileConnectedSaveKeepsTheDevicesOffFlagsResetIsSentAndAFailedOpenIsReported) {
    OnlineWindow w;
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("saved.bin"));
    w.form.setting().band(3).off = true; // edited here; the device still reports it on
    w.w.saveNames = {saved};
    ASSERT_TRUE(w.form.savePreset());
    EXPECT_EQ(protocol::readPresetFile(saved.toStdString()).block->at(16 + 6 * 2 + 5), 0);

    w.flush();
    w.line().clearWritten();
    w.form.ResetImgClick();
    EXPECT_EQ(w.line().writes(),
              std::vector<devices::testing::Bytes>{toBytes(protocol::ResetBlock)});

    w.flush();
    w.line().setWriteError(true);
    w.w.openNames = {saved};
    ASSERT_TRUE(w.form.openPreset());
    ASSERT_EQ(w.w.messages.size(), 1);
    EXPECT_TRUE(w.w.messages[0].contains(QStringLiteral("could not be sent")));
    EXPECT_TRUE(w.form.setting().band(3).off); // the file's setting was not taken in
}

TEST(OnlineWindow, FramesAfterAWholeSettingWaitForTheSettlePauseAndFollowInOrder) {
    OnlineWindow w;
    protocol::ParameterBlock block = protocol::ResetBlock;
    block[protocol::block::TrimOffset] = eq::encodeTrim(-6);
    w.device(toBytes(block));
    w.device(toBytes(protocol::buildTrimFrame(-3)));
    w.device(toBytes(protocol::buildTrimFrame(-2)));
    EXPECT_EQ(w.eq.trimEdit()->text(), QStringLiteral("-6"));
    w.eq.SettleTimerTimer();
    EXPECT_FALSE(w.form.receivePath().isHeld());
    EXPECT_EQ(w.eq.trimEdit()->text(), QStringLiteral("-2"));
}

TEST(OnlineWindow, TheLinkFlagUpdateAndConnectingDialogFollowTheConnection) {
    OnlineWindow w;
    auto* refresh = w.form.findChild<QWidget*>(QStringLiteral("RefreshBtn"));
    w.form.connectflagImageMouseMove();
    EXPECT_EQ(w.eq.label3()->text(), QStringLiteral("On"));
    EXPECT_TRUE(w.form.statusRowVisible()); // revision 17
    w.click(QStringLiteral("127.0.0.3"));
    EXPECT_FALSE(refresh->isEnabled());
    w.form.connectflagImageMouseMove();
    EXPECT_EQ(w.eq.label3()->text(), QStringLiteral("Off"));
    EXPECT_FALSE(w.form.statusRowVisible());

    auto* dialog = w.form.findChild<devices::ui::TProgressBarForm*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    for (int tick = 1; tick <= 11; ++tick) {
        dialog->Timer1Timer(); // 10, 20, ... 90, 0, 10: never resting at 100
        EXPECT_EQ(dialog->progressBar()->value(), tick * 10 % 100);
    }
    dialog->cancelButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->timer()->isActive()); // hidden, sweeping on until destroyed
    EXPECT_FALSE(w.form.connection().connectTimer()->isActive());
}

} // namespace
} // namespace tq50r::app
