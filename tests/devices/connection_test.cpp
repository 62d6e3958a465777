#include "devices/connection_rig.h"
#include "protocol/frames.h"

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
    // Over the port of the entry: opened, Connect written, timer and dialog running; UPDATE stays.
    EXPECT_EQ(rig.line().address(), "/dev/pts/4");
    EXPECT_TRUE(rig.line().isOpen());
    EXPECT_EQ(rig.line().writes(), std::vector<Bytes>{request(CommandCode::Connect)});
    EXPECT_TRUE(rig.connection.connectTimer()->isActive());
    ASSERT_NE(rig.lastDialog, nullptr);
    EXPECT_TRUE(rig.lastDialog->visible);
    EXPECT_TRUE(rig.refreshEnabled.empty());

    rig.reply(connectReply("  Stage L\t"));
    EXPECT_TRUE(rig.connection.connected());
    EXPECT_EQ(rig.devices.connectedIndex(), usb);
    EXPECT_EQ(rig.devices.deviceEntries()[1].name, QStringLiteral("Stage L"));
    EXPECT_TRUE(rig.devices.frame().visible);
    EXPECT_EQ(rig.dialogsAlive, 0);
    EXPECT_FALSE(rig.connection.connectTimer()->isActive());
    EXPECT_TRUE(rig.connection.checkTimer()->isActive());
    EXPECT_TRUE(rig.sync.recallTimer()->isActive());
    EXPECT_TRUE(rig.sync.requestTimer()->isActive());
    EXPECT_EQ(rig.faderSync, (std::vector<int>{0, 9}));
    EXPECT_EQ(rig.statusRow, std::vector<bool>{true});
    EXPECT_EQ(rig.linkFlag, std::vector<bool>{true});

    // A second reply changes nothing at all.
    rig.connection.checkTimer()->stop();
    rig.reply(connectReply("Other", 3));
    EXPECT_EQ(rig.devices.deviceEntries()[1].name, QStringLiteral("Stage L"));
    EXPECT_FALSE(rig.connection.checkTimer()->isActive());
    EXPECT_EQ(rig.faderSync.size(), 2U);

    const std::size_t channels = rig.factory->links().size();
    rig.click(usb);
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_FALSE(rig.devices.frame().visible);
    EXPECT_EQ(rig.statusRow.back(), false);
    EXPECT_EQ(rig.factory->links().size(), channels);
    EXPECT_EQ(rig.dialogsMade, 1);

    rig.click(usb); // and the next click connects again
    EXPECT_EQ(rig.factory->links().size(), channels + 1);
    EXPECT_TRUE(rig.connection.connectTimer()->isActive());
}

TEST(Connection, ANetworkAttemptWithoutAnswerFailsOnTheEighthTick) {
    ConnectionRig rig;
    const int index = rig.add("127.0.0.9", KindNetwork);
    rig.click(index);
    EXPECT_EQ(rig.line().address(), "127.0.0.9:5000");
    EXPECT_EQ(rig.refreshEnabled, std::vector<bool>{false});
    // The socket connects: the zero preamble, then Connect, paced.
    rig.connection.ClientSocket1Connect();
    EXPECT_EQ(rig.line().writes(), std::vector<Bytes>{Bytes(150, 0)});
    rig.flush();
    EXPECT_EQ(rig.line().writes().back(), request(CommandCode::Connect));

    for (int tick = 1; tick < Connection::ConnectAttemptLimit; ++tick) {
        rig.connection.ConnectTimerTimer();
        rig.flush();
    }
    EXPECT_EQ(rig.line().writes().size(), 2U + 7U); // the request again on every tick
    EXPECT_TRUE(rig.messages.isEmpty());
    EXPECT_EQ(rig.connection.connectAttempts(), 7);

    bool dialogGoneFirst = false;
    QObject::connect(&rig.connection, &Connection::messageRequested,
                     [&] { dialogGoneFirst = rig.dialogsAlive == 0; });
    rig.connection.ConnectTimerTimer();
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Conenction failed")});
    EXPECT_TRUE(dialogGoneFirst);
    EXPECT_EQ(rig.connection.connectAttempts(), 0);
    EXPECT_FALSE(rig.connection.connectTimer()->isActive());
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_EQ(rig.refreshEnabled, (std::vector<bool>{false, true}));
    EXPECT_TRUE(rig.devices.deviceTiles()[0].redCross);
    EXPECT_FALSE(rig.connection.connected());
}

TEST(Connection, ACancelledAttemptLeavesItsCountForTheNextTile) {
    ConnectionRig rig;
    const int first = rig.add("127.0.0.2", KindNetwork);
    const int second = rig.add("127.0.0.3", KindNetwork);
    rig.click(first);
    for (int tick = 0; tick < 3; ++tick)
        rig.connection.ConnectTimerTimer();
    rig.cancel();
    EXPECT_FALSE(rig.connection.connectTimer()->isActive());
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_EQ(rig.dialogsAlive, 1); // hidden, not destroyed
    EXPECT_FALSE(rig.lastDialog->visible);
    EXPECT_FALSE(rig.connection.cancelBusy());
    EXPECT_EQ(rig.refreshEnabled, std::vector<bool>{false}); // UPDATE stays disabled

    rig.click(second);
    EXPECT_EQ(rig.dialogsAlive, 1);
    EXPECT_EQ(rig.dialogsMade, 2);
    for (int tick = 0; tick < 4; ++tick)
        rig.connection.ConnectTimerTimer();
    EXPECT_TRUE(rig.messages.isEmpty());
    rig.connection.ConnectTimerTimer(); // the fifth tick is the eighth of the count
    EXPECT_EQ(rig.messages.size(), 1);
    EXPECT_TRUE(rig.devices.deviceTiles()[static_cast<std::size_t>(second)].redCross);
    EXPECT_FALSE(rig.devices.deviceTiles()[static_cast<std::size_t>(first)].redCross);
}

TEST(Connection, ASilentLinkIsLostAtTheSecondCheckAndReconnectsUntilTheDeviceAnswers) {
    ConnectionRig rig;
    const int index = rig.connectTo("127.0.0.2", KindNetwork);
    rig.reply(frame(0x0B)); // traffic in the first period
    rig.connection.CheckTimerTimer();
    EXPECT_TRUE(rig.connection.connected());
    EXPECT_FALSE(rig.link.linkAlive);

    rig.connection.CheckTimerTimer(); // nothing for a whole period
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_EQ(rig.linkFlag.back(), false);
    EXPECT_TRUE(rig.devices.deviceTiles()[static_cast<std::size_t>(index)].redCross);
    EXPECT_FALSE(rig.devices.frame().visible);
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_FALSE(rig.connection.checkTimer()->isActive());
    EXPECT_TRUE(rig.connection.reconnectTimer()->isActive());

    for (int tick = 1; tick <= 3; ++tick) {
        rig.connection.ReconnectTimerTimer();
        EXPECT_EQ(rig.line().openCount(), 1 + tick);
    }
    rig.sync.recallTimer()->stop();
    rig.reply(connectReply("Amp"));
    EXPECT_TRUE(rig.connection.connected());
    EXPECT_FALSE(rig.connection.reconnectTimer()->isActive());
    EXPECT_FALSE(rig.devices.deviceTiles()[static_cast<std::size_t>(index)].redCross);
    EXPECT_TRUE(rig.sync.recallTimer()->isActive()); // a second Recall follows
}

TEST(Connection, ClickingAnotherTileWhileConnectedOverTcpStartsAFreshAttempt) {
    ConnectionRig rig;
    rig.connectTo("127.0.0.2", KindNetwork);
    const int other = rig.add("127.0.0.3", KindNetwork);
    // A partial frame from the old device must not glue onto the new one's bytes.
    rig.reply(Bytes{0x01, 0x20, 0x03, 0x40, 27, 0x1F});
    rig.click(other);
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_EQ(rig.line().address(), "127.0.0.3:5000");
    EXPECT_EQ(rig.refreshEnabled.back(), false);
    rig.reply(connectReply("B"));
    EXPECT_TRUE(rig.connection.connected());
    EXPECT_EQ(rig.devices.connectedIndex(), other);
}

TEST(Connection, LosingTheConnectedDeviceOrItsPortDisconnects) {
    ConnectionRig rig;
    rig.connection.ComPort1Exception(31);
    EXPECT_TRUE(rig.messages.isEmpty());
    rig.connection.ComPort1Exception(5);
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Puerto COM no disponiable")});

    const int usb = rig.connectTo("/dev/pts/4", KindUsb);
    rig.connection.connectedPortRemoved();
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_FALSE(rig.devices.frame().visible);
    EXPECT_FALSE(rig.connection.checkTimer()->isActive());

    rig.click(usb);
    rig.reply(connectReply("Amp"));
    ASSERT_TRUE(rig.connection.connected());
    rig.devices.removeDevice(usb);
    EXPECT_FALSE(rig.connection.connected());
    EXPECT_FALSE(rig.line().isOpen());
    EXPECT_EQ(rig.linkFlag.back(), false);
}

} // namespace
} // namespace tq50r::devices
