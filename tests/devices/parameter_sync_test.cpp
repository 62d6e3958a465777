#include "devices/connection_rig.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace tq50r::devices {
namespace {

using namespace testing;
using protocol::CommandCode;

TEST(ParameterSync, EachEditSendsOneFrameWithItsValueBytesAndTheRightTrafficMark) {
    ConnectionRig rig;
    rig.sync.sendBand(2); // offline: no channel, nothing anywhere
    rig.connectTo("127.0.0.2", KindNetwork);
    rig.setting.band(2).qIndex = 36;
    rig.setting.trimDb = -5;
    const auto sent = [&rig](auto send, bool marks) {
        rig.link = LinkMonitor{5, false};
        send();
        rig.flush();
        EXPECT_EQ(rig.link, (marks ? LinkMonitor{0, true} : LinkMonitor{5, false}));
        return rig.line().writes().back();
    };
    // Band 2, Peak (wire 1), frequency index 50 as 00 32, gain index 24, Q byte 36, on.
    EXPECT_EQ(sent([&] { rig.sync.sendBand(2); }, true),
              (Bytes{1, 0x20, 3, 0x40, 0x11, 0x11, 0x0A, 2, 1, 0, 0x32, 24, 36, 0, 1, 5, 0x60}));
    EXPECT_EQ(sent([&] { rig.sync.sendTrim(); }, true),
              (Bytes{1, 0x20, 3, 0x40, 0x0B, 0x0E, 0x6F, 0x48, 1, 5, 0x60}));
    EXPECT_EQ(sent([&] { rig.sync.sendBypass(true); }, false),
              (Bytes{1, 0x20, 3, 0x40, 0x0B, 0x13, 0, 1, 1, 5, 0x60}));
    EXPECT_FALSE(rig.setting.bypass); // the model waits for the report
    EXPECT_EQ(sent([&] { rig.sync.sendSetting(protocol::ResetBlock); }, true),
              toBytes(protocol::ResetBlock));
    EXPECT_EQ(sent([&] { rig.sync.ReadStateTimerTimer(); }, false),
              request(CommandCode::ReadState));
    EXPECT_EQ(rig.line().writes().size(), 5U);
}

TEST(ParameterSync, RecallOnceAfterTheConnectAndAPollOnEveryTenthIdleTick) {
    ConnectionRig rig;
    rig.connectTo("127.0.0.2", KindNetwork);
    rig.sync.RecallTimerTimer();
    EXPECT_FALSE(rig.sync.recallTimer()->isActive());
    rig.flush();
    for (int tick = 1; tick < 2 * ParameterSync::IdlePollTicks; ++tick)
        rig.sync.RequestTimerTimer();
    rig.reply(frame(0x0B)); // a received frame starts the count again
    for (int tick = 1; tick < ParameterSync::IdlePollTicks; ++tick)
        rig.sync.RequestTimerTimer();
    rig.flush();
    EXPECT_EQ(rig.line().writes(),
              (std::vector<Bytes>{request(CommandCode::Recall), request(CommandCode::Poll)}));
}

TEST(ParameterSync, APresetGoesOutWhileTheChannelIsOpenAndARenameOnlyForTheConnectedDevice) {
    ConnectionRig rig;
    EXPECT_FALSE(rig.sync.sendSettingIfChannelOpen(protocol::ResetBlock));
    const int other = rig.add("127.0.0.3", KindNetwork);
    rig.click(rig.add("/dev/pts/3", KindUsb));
    EXPECT_TRUE(rig.sync.sendSettingIfChannelOpen(protocol::ResetBlock)); // before the reply
    rig.reply(connectReply("Amp"));
    rig.devices.renameDevice(other, QStringLiteral("Side"));
    rig.devices.renameDevice(rig.devices.connectedIndex(), QStringLiteral("Main"));
    rig.flush();
    EXPECT_EQ(rig.line().writes(),
              (std::vector<Bytes>{request(CommandCode::Connect), toBytes(protocol::ResetBlock),
                                  toBytes(protocol::buildRenameFrame("Main"))}));
}

TEST(PacedChannel, WaitingBandAndTrimFramesAreReplacedInPlaceEverythingElseKeepsItsTurn) {
    auto link = std::make_shared<transport::FakeLink>();
    PacedChannel channel(
        std::make_unique<transport::FakeChannel>(transport::kSerialChannelKind, link));
    EXPECT_EQ(channel.pause(), std::chrono::milliseconds(20));
    eq::EqBand b = eq::startSetting().band(1);
    const auto band = [&b](int n, int gain) {
        b.gainIndex = gain;
        return toBytes(protocol::buildBandFrame(n, b));
    };
    const Bytes trimB = toBytes(protocol::buildTrimFrame(-2));
    const Bytes bypass = toBytes(protocol::buildBypassFrame(true));
    for (const Bytes& f :
         {band(1, 10), band(1, 11), band(2, 5), toBytes(protocol::buildTrimFrame(-1)), bypass,
          band(1, 12), bypass, trimB, band(2, 6)})
        EXPECT_EQ(channel.write(f.data(), static_cast<std::int32_t>(f.size())),
                  static_cast<std::int32_t>(f.size()));
    EXPECT_EQ(link->writes().size(), 1U); // the first at once, the rest wait for the pause
    while (channel.paceTimer()->isActive())
        channel.PaceTimerTimer();
    EXPECT_EQ(link->writes(),
              (std::vector<Bytes>{band(1, 10), band(1, 12), band(2, 6), trimB, bypass, bypass}));

    QSignalSpy failed(&channel, &PacedChannel::writeFailed);
    link->setWriteError(true);
    const Bytes block = toBytes(protocol::ResetBlock);
    EXPECT_EQ(channel.write(block.data(), static_cast<std::int32_t>(block.size())), -1);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toInt(), static_cast<int>(CommandCode::Setting));
    channel.write(block.data(), static_cast<std::int32_t>(block.size()));
    channel.close(); // what waits belongs to a connection that is gone
    EXPECT_EQ(channel.waitingCount(), 0U);
}

} // namespace
} // namespace tq50r::devices
