// The window with its device rooms on fake channels: a whole setting holds later frames for the
// settle pause; the link flag, UPDATE and the Connecting dialog follow the connection.
#include "app/app_test_support.h"
#include "app/main_window.h"
#include "devices/connection.h"
#include "devices/frame_bytes.h"
#include "devices/receive_path.h"
#include "devices/ui/progress_bar_form.h"
#include "editor/eq_editor.h"
#include "eq/encoding.h"
#include "transport/fake_channel.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace tq50r::app {
namespace {

using devices::testing::toBytes;

struct OnlineWindow {
    transport::FakeChannelFactory* factory = new transport::FakeChannelFactory;
    TForm1 form{testing::quietOptions(), nullptr,
                std::unique_ptr<transport::ChannelFactory>(factory)};
    editor::EqEditor& eq = form.eqEditor();

    OnlineWindow() {
        form.hooks().showMessage = [](QWidget*, const QString&) {};
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
};

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
