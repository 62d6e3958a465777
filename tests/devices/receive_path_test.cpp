#include "devices/frame_bytes.h"
#include "devices/receive_path.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

namespace tq50r::devices {
namespace {

using testing::Bytes;
using testing::connectReply;
using testing::frame;

struct Rig {
    DeviceList devices;
    eq::EqSetting setting = eq::startSetting();
    LinkMonitor link;
    ReceivePath path{devices, setting, link};
    std::vector<std::string> seen; // what was handed on, in order

    Rig() {
        QObject::connect(&path, &ReceivePath::trimReported, [this] { seen.push_back("trim"); });
        QObject::connect(&path, &ReceivePath::bandReported,
                         [this](int n) { seen.push_back("band" + std::to_string(n)); });
        QObject::connect(&path, &ReceivePath::bypassReported, [this] { seen.push_back("bypass"); });
        QObject::connect(&path, &ReceivePath::settingReported,
                         [this](const protocol::ParameterBlock&) { seen.push_back("setting"); });
        QObject::connect(&path, &ReceivePath::connectReported,
                         [this](SourceKind kind, const QString& name, int revision) {
                             seen.push_back("connect " + name.toStdString() + " " +
                                            std::to_string(revision) +
                                            (kind == SourceKind::Tcp ? " tcp" : " serial"));
                         });
    }
    void tcp(const Bytes& bytes) { path.feed(bytes, FrameOrigin{SourceKind::Tcp, {}}); }
    void serial(const Bytes& bytes, const char* port) {
        path.feed(bytes, FrameOrigin{SourceKind::Serial, QString::fromLatin1(port)});
    }
};

TEST(ReceivePath, AConnectReplySplitOverThreeEventsIsDispatchedOnceOnItsLastByte) {
    Rig rig;
    const Bytes reply = connectReply("Amp  A", 17);
    rig.tcp(Bytes(reply.begin(), reply.begin() + 2));
    rig.tcp(Bytes(reply.begin() + 2, reply.begin() + 7));
    EXPECT_TRUE(rig.seen.empty());
    EXPECT_FALSE(rig.link.linkAlive);
    rig.tcp(Bytes(reply.begin() + 7, reply.end()));
    EXPECT_EQ(rig.seen, std::vector<std::string>{"connect Amp  A 17 tcp"});
    EXPECT_TRUE(rig.link.linkAlive);
}

TEST(ReceivePath, ReportsChangeTheModelOnlyWhenTheirValuesAreThere) {
    Rig rig;
    rig.link.idleTicks = 7;
    // Trim 0x6F = -5 dB; band 3 HighShelf 1000 Hz (10 70), gain 30, Q 36, off; bypass on.
    Bytes stream = frame(0x0E, {0x6F, 0x48});
    for (const Bytes& f : {frame(0x11, {0x0A, 0x03, 0x04, 0x01, 0x46, 30, 36, 0x01}),
                           frame(0x11, {0x0A, 0x06, 0x04, 0x01, 0x46, 30, 36, 0x01}),
                           frame(0x13, {0x00, 0x01}), frame(0x11, {0x0A, 0x02})})
        stream.insert(stream.end(), f.begin(), f.end());
    rig.tcp(stream);

    EXPECT_EQ(rig.setting.trimDb, -5);
    const eq::EqBand& band3 = rig.setting.band(3);
    EXPECT_EQ(band3.bandType(), eq::EqBandType::HighShelf);
    EXPECT_EQ(band3.freqIndex, 170);
    EXPECT_EQ(band3.gainIndex, 30);
    EXPECT_EQ(band3.qIndex, 36);
    EXPECT_TRUE(band3.off);
    EXPECT_TRUE(band3.deviceOff);
    EXPECT_TRUE(rig.setting.bypass);
    // Band 6 and the short band frame change nothing, yet count as traffic.
    EXPECT_EQ(rig.seen, (std::vector<std::string>{"trim", "band3", "bypass"}));
    EXPECT_EQ(rig.setting.band(2).qIndex, eq::startSetting().band(2).qIndex);
    EXPECT_EQ(rig.link.idleTicks, 0);
}

TEST(ReceivePath, APollReplyOnAnUnknownSerialPortAddsAUsbDeviceAndHoldsTheScan) {
    Rig rig;
    rig.tcp(frame(0x0B)); // over TCP: traffic only
    EXPECT_EQ(rig.devices.size(), 0);

    rig.serial(frame(0x0B), "/dev/pts/7");
    ASSERT_EQ(rig.devices.size(), 1);
    EXPECT_EQ(rig.devices.deviceEntries()[0].kind, KindUsb);
    EXPECT_EQ(rig.devices.deviceEntries()[0].mac, UnknownMac);
    EXPECT_EQ(rig.devices.flags().scanHold, 1);
    rig.devices.DeviceTimerTimer();

    rig.devices.flags().scanHold = 0;
    rig.serial(frame(0x0B), "/DEV/pts/7"); // already listed
    EXPECT_EQ(rig.devices.size(), 1);
    EXPECT_EQ(rig.devices.flags().scanHold, 0);

    // Dropped while another tile is pending: not added, and the scan goes on.
    ASSERT_TRUE(rig.devices.addDevice(QStringLiteral("127.0.0.2"), UnknownMac, KindNetwork));
    rig.serial(frame(0x0B), "/dev/pts/9");
    EXPECT_EQ(rig.devices.size(), 2);
    EXPECT_EQ(rig.devices.flags().scanHold, 0);
}

TEST(ReceivePath, AMacReportGoesToTheConnectedDeviceOnly) {
    Rig rig;
    const Bytes report = frame(0x21, {0x00, 0x00, 0xA1, 0xB0, 0x12, 0x3A, 0xBC});
    rig.tcp(report); // nobody listed: ignored
    ASSERT_TRUE(rig.devices.addDevice(QStringLiteral("127.0.0.2"), UnknownMac, KindNetwork));
    rig.devices.DeviceTimerTimer();
    rig.devices.setConnectedIndex(0);
    rig.tcp(report);
    EXPECT_EQ(rig.devices.deviceEntries()[0].mac, QStringLiteral("00A1B0123ABC"));
    EXPECT_EQ(rig.devices.deviceTiles()[0].macText, QStringLiteral("00:A1:B0:12:3A:BC"));
    rig.devices.setConnectedIndex(-1);
    rig.tcp(frame(0x21, {0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(rig.devices.deviceEntries()[0].mac, QStringLiteral("00A1B0123ABC"));
}

TEST(ReceivePath, HeldFramesWaitAndFollowInOrder) {
    Rig rig;
    Bytes setting(74, 0);
    const Bytes head = frame(0x14);
    std::copy(head.begin(), head.begin() + 6, setting.begin());
    setting[4] = 74;
    QObject::connect(&rig.path, &ReceivePath::settingReported,
                     [&rig](const protocol::ParameterBlock&) { rig.path.hold(); });

    rig.path.hold();
    rig.tcp(frame(0x0E, {0x6F, 0x48}));
    rig.tcp(setting);
    rig.tcp(frame(0x13, {0x00, 0x01}));
    EXPECT_TRUE(rig.seen.empty());
    EXPECT_EQ(rig.setting.trimDb, 0);

    rig.path.release(); // the setting holds the path again: bypass waits on
    EXPECT_EQ(rig.seen, (std::vector<std::string>{"trim", "setting"}));
    EXPECT_FALSE(rig.setting.bypass);
    rig.path.release();
    EXPECT_EQ(rig.seen, (std::vector<std::string>{"trim", "setting", "bypass"}));
    EXPECT_TRUE(rig.setting.bypass);
}

TEST(ReceivePath, StatusRepliesAreHandedOnAndBurnInIsPostedForLater) {
    Rig rig;
    protocol::DeviceState state{};
    QObject::connect(&rig.path, &ReceivePath::stateReported,
                     [&state](const protocol::DeviceState& s) { state = s; });
    rig.tcp(frame(0x23, {0, 0, 0, 0xF4, 0x00, 0, 0, 0, 0, 0, 0, 0x00, 0x01, 0x00, 0x05}));
    EXPECT_EQ(state.temperatureReading, 244);
    EXPECT_EQ(state.overTemperature, 1);
    EXPECT_EQ(state.standby, 5);

    struct Catcher : QObject {
        int count = -1;
        std::uint32_t minutes = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == BurningMessageEvent::eventType()) {
                const auto* m = static_cast<BurningMessageEvent*>(e);
                count = m->count();
                minutes = m->totalMinutes();
            }
            return false;
        }
    } catcher;
    QCoreApplication::instance()->installEventFilter(&catcher);
    rig.tcp(frame(0x24, {0x00, 0x03, 0x00, 0x0F, 0x27, 0x02, 0x00}));
    EXPECT_EQ(catcher.count, -1); // not from inside the receive handler
    QCoreApplication::sendPostedEvents();
    QCoreApplication::instance()->removeEventFilter(&catcher);
    EXPECT_EQ(catcher.count, 3);
    EXPECT_EQ(catcher.minutes, 29999u);
}

} // namespace
} // namespace tq50r::devices
