// The window with its device rooms on fake channels: edits leave as frames, reports reach the
// editor, a whole setting holds later frames for the settle pause.
#include "app/main_window.h"
#include "app/marker_point.h"
#include "devices/connection.h"
#include "devices/device_list.h"
#include "devices/frame_bytes.h"
#include "devices/parameter_sync.h"
#include "devices/receive_path.h"
#include "devices/ui/progress_bar_form.h"
#include "editor/eq_editor.h"
#include "editor/fader.h"
#include "editor/image_button.h"
#include "eq/encoding.h"
#include "plot/fft_draw_widget.h"
#include "protocol/frames.h"
#include "transport/fake_channel.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace tq50r::app {
namespace {

using devices::testing::Bytes;
using devices::testing::toBytes;

struct OnlineWindow {
    transport::FakeChannelFactory* factory = new transport::FakeChannelFactory;
    TForm1 form{{}, nullptr, std::unique_ptr<transport::ChannelFactory>(factory)};
    editor::EqEditor& eq = form.eqEditor();

    OnlineWindow() {
        form.hooks().showMessage = [](QWidget*, const QString&) {};
        devices::DeviceList& list = form.deviceList();
        list.addDevice(QStringLiteral("127.0.0.2"), devices::UnknownMac, devices::KindNetwork);
        list.DeviceTimerTimer();
        list.DeviceMouseDown(0, Qt::LeftButton);
        form.connection().DevicePanelClick();
        form.connection().ClientSocket1Connect();
        device(devices::testing::connectReply("Amp"));
        flush();
        line().clearWritten();
    }
    transport::FakeLink& line() { return *factory->lastLink(); }
    void device(const Bytes& bytes) {
        form.receivePath().feed(bytes, devices::FrameOrigin{devices::SourceKind::Tcp, {}});
    }
    void flush() {
        devices::PacedChannel* c = form.connection().currentChannel();
        while (c->paceTimer()->isActive())
            c->PaceTimerTimer();
    }
    // The last frame that went out, once the queue has drained.
    Bytes lastSent() {
        flush();
        return line().writes().empty() ? Bytes{} : line().writes().back();
    }
};

TEST(OnlineWindow, AnEditGoesOutAndTheEditorShowsItOnlyWhenTheDeviceReports) {
    OnlineWindow w;
    ASSERT_TRUE(w.form.connection().connected());
    EXPECT_TRUE(w.form.statusRowVisible()); // revision 17
    w.form.setting().band(2).qIndex = 35;
    w.eq.updateBand(2);
    const QString shownQ = w.eq.qEdit(2)->text();
    w.line().clearWritten();

    w.eq.EQQUpClick(2);
    ASSERT_EQ(w.line().writes().size(), 1U);
    const Bytes sent = w.lastSent();
    EXPECT_EQ(sent[7], 2);   // band 2
    EXPECT_EQ(sent[12], 36); // Q byte
    EXPECT_EQ(w.eq.qEdit(2)->text(), shownQ);

    w.device(sent); // the device reports what it took
    EXPECT_EQ(w.eq.qEdit(2)->text(), QString::fromStdString(eq::qText(36)));

    // Bypass asks the device; the picture and the model wait for its report.
    w.eq.BPImageMouseDown();
    EXPECT_EQ(w.lastSent(), toBytes(protocol::buildBypassFrame(true)));
    EXPECT_FALSE(w.form.setting().bypass);
    EXPECT_TRUE(w.eq.trimAddImg()->isEnabled());
}

TEST(OnlineWindow, AMarkerDragSendsTheLastPositionAndTheMarkerFollowsTheReport) {
    OnlineWindow w;
    editor::EqEditor& eq = w.eq;
    const eq::EqSetting before = w.form.setting();
    const double markerBefore = eq.plot()->BlockX(2);
    // Grab band 3's marker and drag it up and to the right in a few steps.
    const std::optional<QPoint> at = testing::markerPoint(eq, 3, w.form.setting().trimDb);
    ASSERT_TRUE(at);
    const int x0 = at->x();
    const int y0 = at->y();
    eq.FFTDrawMouseDown(Qt::LeftButton, x0, y0);
    ASSERT_EQ(eq.selectedBand(), 2);
    for (int step = 1; step <= 5; ++step)
        eq.FFTDrawMouseMove(x0 + 10 * step, y0 - 4 * step);
    eq.FFTDrawMouseUp();
    // Written: the first move at once, then only the newest of the waiting ones.
    const Bytes last = w.lastSent();
    EXPECT_EQ(w.line().writes().size(), 2U);
    const eq::EqBand& band3 = w.form.setting().band(3);
    EXPECT_EQ(last, toBytes(protocol::buildBandFrame(3, band3)));
    EXPECT_NE(band3.freqIndex, before.band(3).freqIndex);
    EXPECT_EQ(eq.plot()->BlockX(2), markerBefore); // not moved by the send

    w.device(last);
    EXPECT_EQ(eq.plot()->BlockX(2), eq::markerX(eq::frequencyHz(band3.freqIndex)));
    EXPECT_EQ(eq.plot()->BlockY(2), w.form.setting().trimDb + eq.gainDb(3));
}

TEST(OnlineWindow, FramesAfterAWholeSettingWaitForTheSettlePauseAndFollowInOrder) {
    OnlineWindow w;
    protocol::ParameterBlock block = protocol::ResetBlock;
    block[protocol::block::TrimOffset] = eq::encodeTrim(-6);
    w.device(toBytes(block));
    EXPECT_EQ(w.eq.trimEdit()->text(), QStringLiteral("-6"));
    EXPECT_TRUE(w.form.receivePath().isHeld());
    w.device(toBytes(protocol::buildTrimFrame(-3)));
    w.device(toBytes(protocol::buildTrimFrame(-2)));
    EXPECT_EQ(w.form.setting().trimDb, -6);
    EXPECT_TRUE(w.form.linkMonitor().linkAlive);

    w.eq.SettleTimerTimer();
    EXPECT_FALSE(w.form.receivePath().isHeld());
    EXPECT_EQ(w.form.setting().trimDb, -2);
    EXPECT_EQ(w.eq.trimEdit()->text(), QStringLiteral("-2"));
}

TEST(OnlineWindow, TheLinkFlagUpdateAndConnectingDialogFollowTheConnection) {
    OnlineWindow w;
    auto* refresh = w.form.findChild<QWidget*>(QStringLiteral("RefreshBtn"));
    EXPECT_TRUE(refresh->isEnabled());
    EXPECT_EQ(w.form.findChild<devices::ui::TProgressBarForm*>(), nullptr);
    w.form.connectflagImageMouseMove();
    EXPECT_EQ(w.eq.label3()->text(), QStringLiteral("On"));

    w.form.deviceList().addDevice(QStringLiteral("127.0.0.3"), devices::UnknownMac,
                                  devices::KindNetwork);
    w.form.deviceList().DeviceTimerTimer();
    w.form.deviceList().DeviceMouseDown(1, Qt::LeftButton);
    w.form.connection().DevicePanelClick();
    EXPECT_FALSE(refresh->isEnabled());
    w.form.connectflagImageMouseMove();
    EXPECT_EQ(w.eq.label3()->text(), QStringLiteral("Off"));
    EXPECT_FALSE(w.form.statusRowVisible());

    auto* dialog = w.form.findChild<devices::ui::TProgressBarForm*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Connecting"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->timer()->isActive());
    std::vector<int> sweep;
    for (int tick = 0; tick < 11; ++tick) {
        dialog->Timer1Timer();
        sweep.push_back(dialog->progressBar()->value());
    }
    EXPECT_EQ(sweep, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 10}));
    dialog->cancelButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->timer()->isActive()); // hidden, still sweeping until destroyed
    EXPECT_FALSE(w.form.connection().connectTimer()->isActive());
}

} // namespace
} // namespace tq50r::app
