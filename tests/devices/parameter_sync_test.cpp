#include "devices/connection_rig.h"
#include "eq/operations.h"
#include "protocol/frames.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace tq50r::devices {
namespace {

using namespace testing;
using protocol::CommandCode;

TEST(ParameterSync, EachEditSendsOneFrameWithItsValueBytesAndTheRightTrafficMark) {
    ConnectionRig rig;
    rig.sync.sendBand(2);
    rig.sync.sendTrim();
    EXPECT_EQ(rig.connection.currentChannel(), nullptr); // offline: nothing anywhere
    rig.connectTo("127.0.0.2", KindNetwork);

    eq::EqBand& band2 = rig.setting.band(2);
    band2.qIndex = 35;
    ASSERT_TRUE(eq::stepQUp(rig.setting, 2).refresh);
    rig.link = LinkMonitor{5, false};
    rig.sync.sendBand(2);
    // Band 2, Peak (wire 1), frequency index 50 as 00 32, gain index 24, Q byte 36, on.
    EXPECT_EQ(rig.line().writes().back(),
              (Bytes{0x01, 0x20, 0x03, 0x40, 0x11, 0x11, 0x0A, 0x02, 0x01, 0x00, 0x32, 24, 36, 0x00,
                     0x01, 0x05, 0x60}));
    EXPECT_TRUE(rig.link.linkAlive);
    EXPECT_EQ(rig.link.idleTicks, 0);

    rig.flush();
    rig.setting.trimDb = -5;
    rig.sync.sendTrim();
    rig.flush();
    EXPECT_EQ(rig.line().writes().back(),
              (Bytes{0x01, 0x20, 0x03, 0x40, 0x0B, 0x0E, 0x6F, 0x48, 0x01, 0x05, 0x60}));

    // Bypass asks for the state and marks nothing; the model waits for the report.
    rig.link = LinkMonitor{5, false};
    rig.sync.sendBypass(true);
    rig.flush();
    EXPECT_EQ(rig.line().writes().back(),
              (Bytes{0x01, 0x20, 0x03, 0x40, 0x0B, 0x13, 0x00, 0x01, 0x01, 0x05, 0x60}));
    EXPECT_FALSE(rig.setting.bypass);
    EXPECT_EQ(rig.link, (LinkMonitor{5, false}));

    // The reset block goes out exactly as it is, and counts as traffic.
    rig.sync.sendSetting(protocol::ResetBlock);
    rig.flush();
    EXPECT_EQ(rig.line().writes().back(), toBytes(protocol::ResetBlock));
    EXPECT_TRUE(rig.link.linkAlive);
    EXPECT_EQ(rig.line().writes().size(), 4U);
}

TEST(ParameterSync, APresetGoesOutWheneverTheChannelIsOpenEvenBeforeTheConnectReply) {
    ConnectionRig rig;
    protocol::ParameterBlock block = protocol::ResetBlock;
    block[50] = 0xAB; // a reserved byte passes unchanged
    EXPECT_FALSE(rig.sync.sendSettingIfChannelOpen(block));
    rig.click(rig.add("/dev/pts/3", KindUsb));
    rig.flush();
    ASSERT_FALSE(rig.connection.connected());
    EXPECT_TRUE(rig.sync.sendSettingIfChannelOpen(block));
    rig.flush();
    EXPECT_EQ(rig.line().writes().back(), toBytes(block));
    rig.cancel();
    EXPECT_FALSE(rig.sync.sendSettingIfChannelOpen(block));
}

TEST(ParameterSync, RecallOnceAfterTheConnectAndAPollOnEveryTenthIdleTick) {
    ConnectionRig rig;
    rig.connectTo("127.0.0.2", KindNetwork);
    rig.link = LinkMonitor{3, false};
    rig.sync.RecallTimerTimer();
    EXPECT_EQ(rig.line().writes(), std::vector<Bytes>{request(CommandCode::Recall)});
    EXPECT_FALSE(rig.sync.recallTimer()->isActive());
    EXPECT_EQ(rig.link, (LinkMonitor{0, true}));

    rig.flush();
    rig.line().clearWritten();
    for (int round = 0; round < 2; ++round) {
        for (int tick = 1; tick < ParameterSync::IdlePollTicks; ++tick)
            rig.sync.RequestTimerTimer();
        EXPECT_TRUE(rig.line().writes().empty());
        rig.sync.RequestTimerTimer();
        EXPECT_EQ(rig.line().writes(), std::vector<Bytes>{request(CommandCode::Poll)});
        EXPECT_EQ(rig.link.idleTicks, 0);
        rig.flush();
        rig.line().clearWritten();
    }
    // A received frame starts the count again.
    for (int tick = 1; tick < ParameterSync::IdlePollTicks; ++tick)
        rig.sync.RequestTimerTimer();
    rig.reply(frame(0x0B));
    rig.sync.RequestTimerTimer();
    EXPECT_TRUE(rig.line().writes().empty());
}

TEST(ParameterSync, RequestsOfTheMenusGoOnlyWhereTheirConditionsHold) {
    ConnectionRig rig;
    EXPECT_FALSE(rig.sync.sendBurning());
    const int other = rig.add("127.0.0.3", KindNetwork);
    const int index = rig.connectTo("127.0.0.2", KindNetwork);
    rig.devices.renameDevice(other, QStringLiteral("Side"));
    EXPECT_TRUE(rig.line().writes().empty());
    rig.devices.renameDevice(index, QStringLiteral("Main"));
    EXPECT_EQ(rig.line().writes().back(), toBytes(protocol::buildRenameFrame("Main")));

    rig.devices.setMac(index, QStringLiteral("00A1B012AB34"), false);
    EXPECT_FALSE(rig.sync.sendMac(other));
    EXPECT_TRUE(rig.sync.sendMac(index));
    rig.sync.ReadStateTimerTimer();
    EXPECT_TRUE(rig.sync.sendBurning());
    rig.flush();
    const auto& w = rig.line().writes();
    ASSERT_EQ(w.size(), 4U);
    EXPECT_EQ(w[1], (Bytes{0x01, 0x20, 0x03, 0x40, 0x10, 0x20, 0x00, 0x00, 0xA1, 0xB0, 0x12, 0xAB,
                           0x34, 0x01, 0x05, 0x60}));
    EXPECT_EQ(w[2], request(CommandCode::ReadState));
    EXPECT_EQ(w[3], request(CommandCode::Burning));

    rig.connection.CheckTimerTimer();
    rig.connection.CheckTimerTimer(); // lost: no state request, but More Info still asks
    rig.sync.ReadStateTimerTimer();
    EXPECT_EQ(rig.line().writes().size(), 4U);
}

TEST(PacedChannel, WaitingBandAndTrimFramesAreReplacedInPlaceEverythingElseKeepsItsTurn) {
    auto link = std::make_shared<transport::FakeLink>();
    PacedChannel channel(
        std::make_unique<transport::FakeChannel>(transport::kSerialChannelKind, link));
    EXPECT_EQ(channel.pause(), std::chrono::milliseconds(20));
    channel.open();
    eq::EqBand b = eq::startSetting().band(1);
    auto band = [&b](int n, int gain) {
        b.gainIndex = gain;
        return toBytes(protocol::buildBandFrame(n, b));
    };
    auto put = [&channel](const Bytes& bytes) {
        return channel.write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    };
    const Bytes trimA = toBytes(protocol::buildTrimFrame(-1));
    const Bytes trimB = toBytes(protocol::buildTrimFrame(-2));
    const Bytes bypass = toBytes(protocol::buildBypassFrame(true));

    EXPECT_EQ(put(band(1, 10)), 17); // the line is free: written at once
    EXPECT_EQ(link->writes().size(), 1U);
    for (const Bytes& f :
         {band(1, 11), band(2, 5), trimA, bypass, band(1, 12), bypass, trimB, band(2, 6)})
        EXPECT_EQ(put(f), static_cast<std::int32_t>(f.size()));
    EXPECT_EQ(channel.waitingCount(), 5U);
    for (int i = 0; i < 10; ++i)
        channel.PaceTimerTimer();
    EXPECT_EQ(link->writes(),
              (std::vector<Bytes>{band(1, 10), band(1, 12), band(2, 6), trimB, bypass, bypass}));

    // Closing drops what waits; a failed write is reported with its command.
    QSignalSpy failed(&channel, &PacedChannel::writeFailed);
    put(band(3, 1));
    put(band(4, 1));
    channel.close();
    channel.PaceTimerTimer();
    EXPECT_EQ(link->writes().size(), 7U);
    link->setWriteError(true);
    EXPECT_EQ(put(toBytes(protocol::ResetBlock)), -1);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toInt(), static_cast<int>(CommandCode::Setting));

    PacedChannel tcp(std::make_unique<transport::FakeChannel>(transport::kTcpChannelKind));
    EXPECT_EQ(tcp.pause(), std::chrono::milliseconds(18));
}

} // namespace
} // namespace tq50r::devices
