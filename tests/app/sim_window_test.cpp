// The window against tq50r-sim over loopback TCP and a pseudo-terminal, through its own handlers:
// click a tile, connect, take the device's setting, drag a marker, and the faults the simulator can
// play. Timers whose periods are seconds are driven by calling their handlers; waits for the
// simulator are bounded and only end early.
#include "app/app_test_support.h"
#include "app/marker_point.h"
#include "devices/connection.h"
#include "devices/device_list.h"
#include "devices/receive_path.h"
#include "editor/eq_editor.h"
#include "eq/encoding.h"
#include "protocol/preset_file.h"
#include "sim/sim_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace tq50r::app {
namespace {

using sim::testing::SimProcess;

// The simulator's setting: trim -4 dB, band 2 at frequency index 120, gain index 30, Q index 40.
eq::EqSetting presetSetting() {
    eq::EqSetting s = eq::startSetting();
    s.trimDb = -4;
    s.band(2).freqIndex = 120;
    s.band(2).gainIndex = 30;
    s.band(2).qIndex = 40;
    return s;
}

template <typename Done> bool waitFor(Done done, int ms = 10000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Runs the event loop for a while (for things that must NOT happen).
void settle(int ms) {
    waitFor([] { return false; }, ms);
}

struct SimWindow {
    QTemporaryDir dir;
    std::string log = dir.filePath(QStringLiteral("frames.log")).toStdString();
    std::string preset = dir.filePath(QStringLiteral("sim.bin")).toStdString();
    std::unique_ptr<SimProcess> sim;
    testing::ScriptedWindow w;
    TForm1& form = *w.form;
    editor::EqEditor& eq = form.eqEditor();

    explicit SimWindow(std::vector<std::string> extra = {}) {
        protocol::writePresetFile(protocol::buildParameterBlock(presetSetting(), false), preset);
        std::vector<std::string> args{"--address",    "auto",       "--serial", "1",
                                      "--discovery",  "none",       "--preset", preset,
                                      "--log-frames", "--log-file", log};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(args);
    }
    int add(const std::string& key, std::int32_t kind) {
        devices::DeviceList& list = form.deviceList();
        list.addDevice(QString::fromStdString(key), devices::UnknownMac, kind);
        list.DeviceTimerTimer();
        return list.size() - 1;
    }
    int addTcp() { return add(sim->device(1).host, devices::KindNetwork); }
    int addSerial() { return add(sim->device(2).where, devices::KindUsb); }
    void click(int index) {
        form.deviceList().DeviceMouseDown(index, Qt::LeftButton);
        form.deviceList().DeviceMouseUp(index, Qt::LeftButton);
        form.connection().DevicePanelClick();
    }
    bool connected() { return form.connection().connected(); }
    bool showsPreset() {
        const eq::EqSetting p = presetSetting();
        return eq.trimEdit()->text() == QString::number(p.trimDb) &&
               eq.freqEdit(2)->text() == QString::fromStdString(eq::frequencyText(120)) &&
               eq.qEdit(2)->text() == QString::fromStdString(eq::qText(40));
    }
    // Received frames of one command in the simulator's log, oldest first (hex text).
    std::vector<std::string> logged(const std::string& command) {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (const auto at = line.find(" " + command + " "); at != std::string::npos)
                lines.push_back(line.substr(at + command.size() + 2));
        return lines;
    }
    bool connectAndRecall(int index) {
        click(index);
        // Edits made during the settle pause after the setting would be dropped.
        return waitFor([this] {
            return connected() && showsPreset() && !eq.isSettling() && !form.receivePath().isHeld();
        });
    }
};

std::string hexOf(std::span<const std::uint8_t> bytes) {
    std::string text;
    char pair[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", b);
        text += pair;
    }
    return text;
}

TEST(SimWindow, ATcpTileConnectsRecallsAndADragEndsOnTheLastValue) {
    SimWindow s;
    ASSERT_TRUE(s.sim->ready());
    const int tile = s.addTcp();
    ASSERT_TRUE(s.connectAndRecall(tile));
    EXPECT_EQ(s.form.deviceList().deviceEntries()[0].name, QStringLiteral("TQ50R Sim 1"));
    EXPECT_EQ(s.logged("Recall").size(), 1U);

    const std::optional<QPoint> at = testing::markerPoint(s.eq, 3, s.form.setting().trimDb);
    ASSERT_TRUE(at);
    s.eq.FFTDrawMouseDown(Qt::LeftButton, at->x(), at->y());
    for (int step = 1; step <= 20; ++step)
        s.eq.FFTDrawMouseMove(at->x() + 7 * step, at->y() - 2 * step);
    s.eq.FFTDrawMouseUp();
    const std::string last = hexOf(protocol::buildBandFrame(3, s.form.setting().band(3)));
    ASSERT_TRUE(
        waitFor([&] { return !s.logged("Band").empty() && s.logged("Band").back() == last; }));
    // The editor follows the device's report: the marker sits at the model's frequency.
    EXPECT_TRUE(waitFor([&] {
        return s.eq.plot()->BlockX(2) ==
               eq::markerX(eq::frequencyHz(s.form.setting().band(3).freqIndex));
    }));
}

TEST(SimWindow, AUsbTileConnectsOverThePseudoTerminalAndUnpluggingDisconnects) {
    SimWindow s;
    ASSERT_TRUE(s.sim->ready());
    const int tile = s.addSerial();
    ASSERT_TRUE(s.connectAndRecall(tile));
    EXPECT_EQ(s.form.deviceList().connectedIndex(), tile);
    s.eq.EQQUpClick(2);
    EXPECT_TRUE(
        waitFor([&] { return s.eq.qEdit(2)->text() == QString::fromStdString(eq::qText(41)); }));

    ASSERT_EQ(s.sim->command("unplug 2").rfind("ok", 0), 0U);
    // What the port watch hands on when the system no longer lists the port.
    EXPECT_EQ(s.form.deviceList().markFirstMissingUsb(QStringList{}), tile);
    s.form.connection().connectedPortRemoved();
    EXPECT_FALSE(s.connected());
    EXPECT_TRUE(s.form.deviceList().deviceTiles()[0].redCross);
    EXPECT_FALSE(s.form.deviceList().frame().visible);
}

TEST(SimWindow, ASilentDeviceIsLostAndComesBackWithASecondRecall) {
    SimWindow s;
    ASSERT_TRUE(s.connectAndRecall(s.addTcp()));
    ASSERT_EQ(s.sim->command("silent 1 on").rfind("ok", 0), 0U);
    devices::Connection& c = s.form.connection();
    c.CheckTimerTimer();
    settle(100);
    c.CheckTimerTimer();
    ASSERT_FALSE(s.connected());
    EXPECT_TRUE(c.reconnectTimer()->isActive());
    EXPECT_TRUE(s.form.deviceList().deviceTiles()[0].redCross);
    c.ReconnectTimerTimer();
    settle(300);
    EXPECT_FALSE(s.connected());

    ASSERT_EQ(s.sim->command("silent 1 off").rfind("ok", 0), 0U);
    c.ReconnectTimerTimer();
    ASSERT_TRUE(waitFor([&] { return s.connected() && s.logged("Recall").size() == 2; }));
    EXPECT_FALSE(c.reconnectTimer()->isActive());
    EXPECT_FALSE(s.form.deviceList().deviceTiles()[0].redCross);
}

TEST(SimWindow, ARefusingDeviceFailsOnTheEighthTickWithARedCross) {
    SimWindow s({"--refuse"});
    const int tile = s.addTcp();
    s.click(tile);
    settle(200);
    for (int tick = 0; tick < devices::Connection::ConnectAttemptLimit; ++tick)
        s.form.connection().ConnectTimerTimer();
    EXPECT_EQ(s.w.messages, QStringList{QStringLiteral("Conenction failed")});
    EXPECT_TRUE(s.form.deviceList().deviceTiles()[0].redCross);
    EXPECT_FALSE(s.connected());
}

TEST(SimWindow, SlowSplitAndNoisyAnswersStillGiveExactlyTheDevicesSetting) {
    for (const char* fault : {"delay 1 500", "split 1 on", "garbage 1 on"}) {
        SCOPED_TRACE(fault);
        SimWindow s;
        ASSERT_EQ(s.sim->command(fault).rfind("ok", 0), 0U);
        // Every setting and band the editor is handed is the device's: the preset, and band 2's
        // Q one step up once the edit below went out.
        int wrong = 0;
        const eq::EqSetting p = presetSetting();
        const protocol::ParameterBlock expected = protocol::buildParameterBlock(p, false);
        QObject::connect(&s.form.receivePath(), &devices::ReceivePath::settingReported,
                         [&](const protocol::ParameterBlock& block) {
                             using namespace protocol::block;
                             wrong += block[TrimOffset] != expected[TrimOffset] ||
                                      block[BypassOffset] != expected[BypassOffset] ||
                                      !std::equal(block.begin() + FirstBandOffset,
                                                  block.begin() + ReservedOffset,
                                                  expected.begin() + FirstBandOffset);
                         });
        QObject::connect(&s.form.receivePath(), &devices::ReceivePath::bandReported, [&](int n) {
            const eq::EqBand& b = s.form.setting().band(n);
            wrong += n != 2 || b.freqIndex != p.band(2).freqIndex ||
                     b.gainIndex != p.band(2).gainIndex || b.qIndex != p.band(2).qIndex + 1;
        });
        EXPECT_TRUE(s.connectAndRecall(s.addTcp()));
        s.eq.EQQUpClick(2);
        EXPECT_TRUE(waitFor(
            [&] { return s.eq.qEdit(2)->text() == QString::fromStdString(eq::qText(41)); }));
        EXPECT_EQ(s.eq.trimEdit()->text(), QStringLiteral("-4"));
        EXPECT_EQ(wrong, 0);
    }
}

TEST(SimWindow, ADroppedClientIsLostAndReconnected) {
    SimWindow s;
    ASSERT_TRUE(s.connectAndRecall(s.addTcp()));
    ASSERT_EQ(s.sim->command("drop 1").rfind("ok", 0), 0U);
    devices::Connection& c = s.form.connection();
    settle(100);
    c.CheckTimerTimer();
    c.CheckTimerTimer();
    ASSERT_FALSE(s.connected());
    c.ReconnectTimerTimer();
    EXPECT_TRUE(waitFor([&] { return s.connected() && s.logged("Recall").size() == 2; }));
}

} // namespace
} // namespace tq50r::app
