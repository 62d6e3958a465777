// The window against tq50r-sim over loopback TCP and a pseudo-terminal, through its own handlers.
// Timers of seconds are driven by calling their handlers; waits for the simulator are bounded and
// end as soon as what they wait for is there.
#include "app/app_test_support.h"
#include "app/marker_point.h"
#include "app/status_row.h"
#include "devices/connection.h"
#include "devices/receive_path.h"
#include "devices/ui/device_box_view.h"
#include "devices/ui/device_dialogs.h"
#include "devices/ui/device_forms.h"
#include "devices/ui/device_panel.h"
#include "protocol/preset_file.h"
#include "sim/sim_process.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>

namespace tq50r::app {
namespace {

// The simulator's setting: trim -4 dB, band 2 at frequency index 120, gain index 30, Q index 40.
eq::EqSetting presetSetting() {
    eq::EqSetting s = eq::startSetting();
    s.trimDb = -4;
    s.band(2) = eq::EqBand{1, 120, 40, 30, false, false};
    return s;
}

// Bytes as the simulator's frame log writes them.
std::string hexText(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t b : bytes)
        text += (text.empty() ? "" : " ") + QString::asprintf("%02X", b).toStdString();
    return text;
}

template <typename Done> bool waitFor(Done done, int ms = 10000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct SimWindow {
    QTemporaryDir dir;
    std::string log = dir.filePath(QStringLiteral("frames.log")).toStdString();
    std::unique_ptr<sim::testing::SimProcess> sim;
    testing::ScriptedWindow w;
    TForm1& form = *w.form;
    editor::EqEditor& eq = form.eqEditor();
    devices::Connection& c = form.connection();

    explicit SimWindow(const char* fault = nullptr)
        : SimWindow(fault != nullptr ? std::vector<std::string>{fault}
                                     : std::vector<std::string>{}) {}
    explicit SimWindow(const std::vector<std::string>& extra) {
        const std::string preset = dir.filePath(QStringLiteral("sim.bin")).toStdString();
        protocol::writePresetFile(protocol::buildParameterBlock(presetSetting(), false), preset);
        std::vector<std::string> args{"--address",    "auto",       "--serial", "1",
                                      "--discovery",  "none",       "--preset", preset,
                                      "--log-frames", "--log-file", log};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<sim::testing::SimProcess>(args);
        // No dialog is painted: the toolkit's drawing threads are not the subject here.
        w.form->hooks().connectingDialog = [](std::function<void()>) { return nullptr; };
    }
    bool command(const std::string& line) { return sim->command(line).rfind("ok", 0) == 0; }
    // Lists the simulator's device (1: TCP, 2: serial) and clicks its tile.
    void click(int device) {
        const auto& d = sim->device(device);
        form.deviceList().addDevice(QString::fromStdString(device == 1 ? d.host : d.where),
                                    devices::UnknownMac,
                                    device == 1 ? devices::KindNetwork : devices::KindUsb);
        form.deviceList().DeviceTimerTimer();
        form.deviceList().DeviceMouseDown(0, Qt::LeftButton);
        c.DevicePanelClick();
    }
    bool showsPreset() {
        return eq.trimEdit()->text() == QStringLiteral("-4") &&
               eq.freqEdit(2)->text() == QString::fromStdString(eq::frequencyText(120)) &&
               eq.qEdit(2)->text() == QString::fromStdString(eq::qText(40));
    }
    // Connected with the device's setting shown and the settle pause over (edits then count).
    bool connectAndRecall(int device) {
        click(device);
        return waitFor([this] {
            return c.connected() && showsPreset() && !eq.isSettling() &&
                   !form.receivePath().isHeld();
        });
    }
    // Frames of one command in the simulator's log, oldest first, as hex text.
    std::vector<std::string> logged(const std::string& command) {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (const auto at = line.find(" " + command + " "); at != std::string::npos)
                lines.push_back(line.substr(at + command.size() + 2));
        return lines;
    }
    // The link falls silent for two check periods: lost, and the reconnect loop runs.
    void loseLink() {
        c.CheckTimerTimer();
        waitFor([] { return false; }, 100);
        c.CheckTimerTimer();
    }
};

TEST(SimWindow, ATcpTileConnectsRecallsAndADragEndsOnTheLastValue) {
    SimWindow s;
    ASSERT_TRUE(s.connectAndRecall(1));
    EXPECT_EQ(s.form.deviceList().deviceEntries()[0].name, QStringLiteral("TQ50R Sim 1"));
    const std::optional<QPoint> at = testing::markerPoint(s.eq, 3, s.form.setting().trimDb);
    ASSERT_TRUE(at);
    s.eq.FFTDrawMouseDown(Qt::LeftButton, at->x(), at->y());
    for (int step = 1; step <= 20; ++step)
        s.eq.FFTDrawMouseMove(at->x() + 7 * step, at->y() - 2 * step);
    s.eq.FFTDrawMouseUp();
    const std::string last = hexText(protocol::buildBandFrame(3, s.form.setting().band(3)));
    EXPECT_TRUE(
        waitFor([&] { return !s.logged("Band").empty() && s.logged("Band").back() == last; }));
    EXPECT_EQ(s.logged("Recall").size(), 1U);
}

TEST(SimWindow, AUsbTileConnectsOverThePseudoTerminalAndUnpluggingDisconnects) {
    SimWindow s;
    ASSERT_TRUE(s.connectAndRecall(2));
    s.eq.EQQUpClick(2);
    EXPECT_TRUE(
        waitFor([&] { return s.eq.qEdit(2)->text() == QString::fromStdString(eq::qText(41)); }));
    ASSERT_TRUE(s.command("unplug 2"));
    // What the port watch does when the system no longer lists the port.
    EXPECT_EQ(s.form.deviceList().markFirstMissingUsb(QStringList{}), 0);
    s.c.connectedPortRemoved();
    EXPECT_FALSE(s.c.connected());
    EXPECT_TRUE(s.form.deviceList().deviceTiles()[0].redCross);
    EXPECT_FALSE(s.form.deviceList().frame().visible);
}

TEST(SimWindow, ASilentOrDroppingDeviceIsLostAndComesBackWithASecondRecall) {
    for (const char* fault : {"silent 1 on", "drop 1"}) {
        SCOPED_TRACE(fault);
        SimWindow s;
        ASSERT_TRUE(s.connectAndRecall(1));
        ASSERT_TRUE(s.command(fault));
        s.loseLink();
        ASSERT_FALSE(s.c.connected());
        EXPECT_TRUE(s.form.deviceList().deviceTiles()[0].redCross);
        if (std::string(fault).starts_with("silent")) {
            s.c.ReconnectTimerTimer(); // no answer while the device stays silent
            EXPECT_FALSE(waitFor([&] { return s.c.connected(); }, 300));
            ASSERT_TRUE(s.command("silent 1 off"));
        }
        s.c.ReconnectTimerTimer();
        EXPECT_TRUE(waitFor([&] { return s.c.connected() && s.logged("Recall").size() == 2; }));
        EXPECT_FALSE(s.form.deviceList().deviceTiles()[0].redCross);
    }
}

TEST(SimWindow, ARefusingDeviceFailsOnTheEighthTickWithARedCross) {
    SimWindow s("--refuse");
    s.click(1);
    waitFor([] { return false; }, 200);
    for (int tick = 0; tick < devices::Connection::ConnectAttemptLimit; ++tick)
        s.c.ConnectTimerTimer();
    EXPECT_EQ(s.w.messages, QStringList{QStringLiteral("Conenction failed")});
    EXPECT_TRUE(s.form.deviceList().deviceTiles()[0].redCross);
    EXPECT_FALSE(s.c.connected());
}

TEST(SimWindow, SlowSplitAndNoisyAnswersStillGiveExactlyTheDevicesSetting) {
    for (const char* fault : {"delay 1 500", "split 1 on", "garbage 1 on"}) {
        SCOPED_TRACE(fault);
        SimWindow s;
        ASSERT_TRUE(s.command(fault));
        // Every band the editor is handed is the device's: band 2 with its Q one step up.
        int wrong = 0;
        QObject::connect(&s.form.receivePath(), &devices::ReceivePath::bandReported, [&](int n) {
            eq::EqBand expected = presetSetting().band(2);
            ++expected.qIndex;
            const eq::EqBand& b = s.form.setting().band(n);
            wrong += n != 2 || b.freqIndex != expected.freqIndex ||
                     b.gainIndex != expected.gainIndex || b.qIndex != expected.qIndex;
        });
        EXPECT_TRUE(s.connectAndRecall(1)); // the setting shown is exactly the preset
        s.eq.EQQUpClick(2);
        EXPECT_TRUE(waitFor(
            [&] { return s.eq.qEdit(2)->text() == QString::fromStdString(eq::qText(41)); }));
        EXPECT_EQ(wrong, 0);
    }
}

// Red or green, as an indicator shows it.
bool isRed(QWidget* indicator) {
    return indicator->grab().toImage().pixelColor(indicator->rect().center()) == QColor(Qt::red);
}

TEST(SimWindow, StatusRowBurnInReportRenameAndAnOpenThatWaitsForTheDevice) {
    SimWindow s({"--revision", "17", "--temperature", "919", "--flags", "0,1,0,5", "--burn-count",
                 "12", "--burn-minutes", "1561"});
    ASSERT_TRUE(s.connectAndRecall(1));
    EXPECT_TRUE(s.form.statusRowVisible());
    StatusRow& row = s.form.statusRow();
    s.form.ReadStateTimerTimer();
    EXPECT_TRUE(waitFor([&] {
        return row.tempLabel()->text() == QString::fromUtf8("Temperature:0\u2103") &&
               !isRed(row.protectState()) && isRed(row.tempState()) && !isRed(row.voltageState()) &&
               isRed(row.standbyState());
    }));
    ASSERT_TRUE(s.command("flags 1 3 0 0 0"));
    s.form.ReadStateTimerTimer();
    EXPECT_TRUE(waitFor([&] {
        return isRed(row.protectState()) && !isRed(row.tempState()) && !isRed(row.standbyState());
    }));

    s.form.findChild<QAction*>(QStringLiteral("BurningItem"))->trigger();
    EXPECT_TRUE(waitFor([&] { return !s.w.informations.isEmpty(); }));
    EXPECT_EQ(s.w.informations, QStringList{QStringLiteral(
                                    "Burning success times:12\nTime:1 day, 2 hours, 1 minute")});

    s.w.inDialog = [](QDialog& dialog) {
        auto& form = dynamic_cast<devices::ui::TRenameFm&>(dialog);
        form.NameEdit->setText(QStringLiteral("Stage L"));
        form.OKBtn->click();
    };
    s.form.deviceList().DeviceMouseDown(0, Qt::RightButton);
    s.form.findChild<QAction*>(QStringLiteral("RenameItem"))->trigger();
    EXPECT_EQ(s.form.deviceBoxView().tileAt(0)->NameLabel->text(), QStringLiteral("Stage L"));
    EXPECT_TRUE(waitFor([&] {
        return s.logged("Rename") ==
               std::vector<std::string>{hexText(protocol::buildRenameFrame("Stage L"))};
    }));

    eq::EqSetting opened = presetSetting();
    opened.trimDb = -9;
    const QString path = s.dir.filePath(QStringLiteral("open.bin"));
    protocol::writePresetFile(protocol::buildParameterBlock(opened, false), path.toStdString());
    s.w.openNames = {path};
    ASSERT_TRUE(s.form.openPreset());
    EXPECT_EQ(s.eq.trimEdit()->text(), QStringLiteral("-4")); // the device has not answered yet
    EXPECT_TRUE(waitFor([&] { return s.eq.trimEdit()->text() == QStringLiteral("-9"); }));
}

TEST(SimWindow, AnOlderDeviceLeavesTheStatusRowAndMoreInfoHidden) {
    SimWindow s({"--revision", "16"});
    ASSERT_TRUE(s.connectAndRecall(1));
    EXPECT_FALSE(s.form.statusRowVisible());
    EXPECT_FALSE(s.form.findChild<QAction*>(QStringLiteral("BurningItem"))->isVisible());
    EXPECT_FALSE(s.form.findChild<QTimer*>(QStringLiteral("ReadStateTimer"))->isActive());
}

} // namespace
} // namespace tq50r::app
