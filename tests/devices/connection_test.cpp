#include "devices/connection_rig.h"

#include <gtest/gtest.h>

namespace tq50r::devices {
namespace {

using namespace testing;
using protocol::CommandCode;

TEST(Connection, AUsbTileConnectsOnTheReplyAndItsSecondClickOnlyDisconnects) {
    ConnectionRig rig;
    rig.add("127.0.0.2", KindNetwork);
    const int usb = rig.add("/dev/pts/4", KindUsb);
    rig.click(usb);
    EXPECT_EQ(rig.line().address(), "/dev/pts/4");
    EXPECT_EQ(rig.line().writes(), std::vector<Bytes>{request(CommandCode::Connect)});
    EXPECT_TRUE(rig.dialog->visible);
    EXPECT_TRUE(rig.refreshEnabled.empty()); // UPDATE stays usable during a USB attempt

    rig.reply(connectReply("  Stage L\t"));
    EXPECT_TRUE(rig.connection.connected());
    EXPECT_EQ(rig.devices.connectedIndex(), usb);
    EXPECT_EQ(rig.devices.deviceEntries()[1].name, QStringLiteral("Stage L"));
    EXPECT_EQ(rig.dialogsAlive, 0);
    EXPECT_FALSE(rig.connection.connectTimer()->isActive());
    EXPECT_TRUE(rig.connection.checkTimer()->isActive());
    EXPECT_TRUE(rig.sync.recallTimer()->isActive());

    rig.connection.checkTimer()->stop();
    rig.reply(connectReply("Other")); // a second reply changes nothing
    EXPECT_EQ(rig.devices.deviceEntries()[1].name, QStringLiteral("Stage L"));
    EXPECT_FALSE(rig.connection.checkTimer()->isActive());

    const std::size_t channels = rig.factory->links().size();
    rig.click(usb);
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_FALSE(rig.devices.frame().visible);
    EXPECT_EQ(rig.factory->links().size(), channels); // no new attempt
    rig.click(usb);
    EXPECT_EQ(rig.factory->links().size(), channels + 1);
}

TEST(Connection, ACancelledAttemptsCountCarriesOverAndTheEighthTickFails) {
    ConnectionRig rig;
    const int first = rig.add("127.0.0.2", KindNetwork);
    const int second = rig.add("127.0.0.3", KindNetwork);
    rig.click(first);
    EXPECT_EQ(rig.line().address(), "127.0.0.2:5000");
    rig.connection.ClientSocket1Connect(); // the zero preamble, then Connect, paced
    rig.flush();
    EXPECT_EQ(rig.line().writes(),
              (std::vector<Bytes>{Bytes(150, 0), request(CommandCode::Connect)}));
    for (int tick = 0; tick < 3; ++tick)
        rig.connection.ConnectTimerTimer();
    rig.cancel();
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_FALSE(rig.dialog->visible);
    EXPECT_EQ(rig.dialogsAlive, 1); // hidden, not destroyed

    rig.click(second);
    EXPECT_EQ(rig.dialogsAlive, 1);
    for (int tick = 0; tick < 4; ++tick)
        rig.connection.ConnectTimerTimer();
    EXPECT_TRUE(rig.messages.isEmpty());
    rig.connection.ConnectTimerTimer(); // the eighth of the count
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Conenction failed")});
    EXPECT_EQ(rig.dialogsAlive, 0);
    EXPECT_FALSE(rig.connection.connectTimer()->isActive());
    EXPECT_EQ(rig.refreshEnabled, (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(rig.devices.deviceTiles()[1].redCross);
    EXPECT_FALSE(rig.devices.deviceTiles()[0].redCross);
}

TEST(Connection, ASilentLinkIsLostAtTheSecondCheckAndReconnectsUntilTheDeviceAnswers) {
    ConnectionRig rig;
    const int index = rig.connectTo("127.0.0.2", KindNetwork);
    rig.reply(frame(0x0B)); // traffic in the first period
    rig.connection.CheckTimerTimer();
    EXPECT_TRUE(rig.connection.connected());
    rig.connection.CheckTimerTimer();
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_TRUE(rig.devices.deviceTiles()[static_cast<std::size_t>(index)].redCross);
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_TRUE(rig.connection.reconnectTimer()->isActive());

    rig.connection.ReconnectTimerTimer();
    rig.connection.ReconnectTimerTimer();
    EXPECT_EQ(rig.line().openCount(), 3);
    rig.sync.recallTimer()->stop();
    rig.reply(connectReply("Amp"));
    EXPECT_TRUE(rig.connection.connected());
    EXPECT_FALSE(rig.connection.reconnectTimer()->isActive());
    EXPECT_FALSE(rig.devices.deviceTiles()[static_cast<std::size_t>(index)].redCross);
    EXPECT_TRUE(rig.sync.recallTimer()->isActive()); // a second Recall follows
}

TEST(Connection, AnotherTileAfterATcpDeviceStartsCleanAndARemovedDeviceDisconnects) {
    ConnectionRig rig;
    rig.connection.ComPort1Exception(5);
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Puerto COM no disponiable")});
    rig.connectTo("127.0.0.2", KindNetwork);
    const int other = rig.add("127.0.0.3", KindNetwork);
    rig.reply(Bytes{0x01, 0x20, 0x03, 0x40, 27, 0x1F}); // a partial frame of the old device
    rig.click(other);
    rig.reply(connectReply("B"));
    EXPECT_EQ(rig.devices.connectedIndex(), other);
    rig.devices.removeDevice(other);
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_FALSE(rig.connection.checkTimer()->isActive());
}

} // namespace
} // namespace tq50r::devices
