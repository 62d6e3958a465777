#include "devices/device_list.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace tq50r::devices {
namespace {

// Adds a device and builds its tile, as the tile timer's tick does 10 ms later.
void addBuilt(DeviceList& list, const QString& key, std::int32_t kind = KindNetwork,
              const QString& mac = UnknownMac) {
    ASSERT_TRUE(list.addDevice(key, mac, kind));
    list.DeviceTimerTimer();
}

void expectInStep(const DeviceList& list) {
    const auto n = static_cast<std::size_t>(list.size());
    ASSERT_EQ(list.deviceEntries().size(), n);
    ASSERT_EQ(list.deviceTiles().size(), n);
    ASSERT_EQ(list.deviceAges().size(), n);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(list.deviceEntries()[i].index, static_cast<int>(i));
        EXPECT_EQ(list.deviceEntries()[i].key, list.deviceKeys()[static_cast<int>(i)]);
        EXPECT_EQ(list.deviceTiles()[i].tag, static_cast<int>(i));
    }
}

TEST(DeviceList, TilesStackDownTheBoxWithTheirTexts) {
    DeviceList list;
    addBuilt(list, QStringLiteral("127.0.0.2"), KindNetwork, QStringLiteral("00a1b0123abc"));
    addBuilt(list, QStringLiteral("/dev/pts/4"), KindUsb);
    addBuilt(list, QStringLiteral("127.0.0.3"), KindModule);

    const auto& tiles = list.deviceTiles();
    EXPECT_EQ(tiles[0].top, 10);
    EXPECT_EQ(tiles[1].top, 101);
    EXPECT_EQ(tiles[2].top, 192);
    EXPECT_EQ(tiles[0].left, 7);
    EXPECT_EQ(tiles[0].addressCaption, QStringLiteral("IP:"));
    EXPECT_EQ(tiles[1].addressCaption, QStringLiteral("Port:"));
    EXPECT_EQ(tiles[2].addressCaption, QStringLiteral("IP:"));
    EXPECT_EQ(tiles[0].macText, QStringLiteral("00:A1:B0:12:3A:BC"));
    EXPECT_EQ(tiles[1].macText, QStringLiteral("FF:FF:FF:FF:FF:FF"));
    EXPECT_EQ(tiles[2].nameText, QStringLiteral("Device2"));
    EXPECT_EQ(tiles[1].addressText, QStringLiteral("/dev/pts/4"));
    EXPECT_EQ(list.deviceCount(), 3);
    expectInStep(list);
}

TEST(DeviceList, AFindWhileATileIsPendingIsDroppedAndUsbFindsCloseTheProbe) {
    DeviceList list;
    QSignalSpy closeProbe(&list, &DeviceList::probeCloseRequested);
    ASSERT_TRUE(list.addDevice(QStringLiteral("COM3"), UnknownMac, KindUsb));
    EXPECT_EQ(closeProbe.count(), 1);
    EXPECT_TRUE(list.deviceTimer()->isActive());
    EXPECT_EQ(list.deviceCount(), 0); // no tile until the tick

    EXPECT_FALSE(list.addDevice(QStringLiteral("127.0.0.2"), UnknownMac, KindNetwork));
    EXPECT_EQ(list.size(), 1);

    list.DeviceTimerTimer();
    EXPECT_FALSE(list.deviceTimer()->isActive());
    EXPECT_EQ(list.flags().tilePending, 0);
    EXPECT_TRUE(list.addDevice(QStringLiteral("127.0.0.2"), UnknownMac, KindNetwork));
    EXPECT_EQ(closeProbe.count(), 1);
}

TEST(DeviceList, LookupIgnoresCase) {
    DeviceList list;
    addBuilt(list, QStringLiteral("ttyUSB0"), KindUsb);
    EXPECT_EQ(list.indexOfKey(QStringLiteral("TTYusb0")), 0);
    EXPECT_EQ(list.indexOfKey(QStringLiteral("ttyUSB1")), -1);
}

TEST(DeviceList, RemovingTheSecondOfThreeMovesTheThirdAndTheFrame) {
    DeviceList list;
    for (const char* key : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        addBuilt(list, QString::fromLatin1(key));
    list.setConnectedIndex(2);
    list.markConnected(QStringLiteral("Stage left"));
    EXPECT_EQ(list.frame().top, 192 - 5);
    EXPECT_EQ(list.frame().left, 2);

    QSignalSpy count(&list, &DeviceList::deviceCountChanged);
    list.DeviceMouseDown(1, Qt::RightButton);
    list.RemoveDeviceItemClick();

    EXPECT_EQ(list.connectedIndex(), 1);
    EXPECT_EQ(list.deviceTiles()[1].top, 101);
    EXPECT_EQ(list.deviceTiles()[1].nameText, QStringLiteral("Stage left"));
    EXPECT_EQ(list.frame().top, 101 - 5);
    EXPECT_TRUE(list.frame().visible);
    EXPECT_EQ(list.deviceKeys(), QStringList({"127.0.0.2", "127.0.0.4"}));
    ASSERT_EQ(count.count(), 1);
    EXPECT_EQ(count.at(0).at(0).toInt(), 2);
    EXPECT_EQ(list.flags().listPause, 0);
    expectInStep(list);
}

TEST(DeviceList, RemovingTheConnectedUsbDeviceHidesTheFrameAndReleasesTheScan) {
    DeviceList list;
    addBuilt(list, QStringLiteral("127.0.0.2"));
    addBuilt(list, QStringLiteral("COM3"), KindUsb);
    list.flags().scanHold = 1;
    list.setConnectedIndex(1);
    list.markConnected(QStringLiteral("Rack 1"));
    QSignalSpy removed(&list, &DeviceList::connectedDeviceRemoved);
    QSignalSpy released(&list, &DeviceList::scanHoldReleased);

    list.removeDevice(1);

    EXPECT_EQ(list.connectedIndex(), -1);
    EXPECT_FALSE(list.frame().visible);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(0).toInt(), KindUsb);
    EXPECT_EQ(released.count(), 1);
    EXPECT_EQ(list.flags().scanHold, 0);

    // Removing another device later never moves a frame for a device that is gone.
    list.removeDevice(0);
    EXPECT_EQ(list.connectedIndex(), -1);
    EXPECT_EQ(removed.count(), 1);
}

TEST(DeviceList, RemovingAnEntryThatWaitsForItsTileReleasesThePendingFlag) {
    DeviceList list;
    addBuilt(list, QStringLiteral("127.0.0.2"));
    ASSERT_TRUE(list.addDevice(QStringLiteral("127.0.0.3"), UnknownMac, KindNetwork));
    list.removeDevice(1);

    EXPECT_EQ(list.flags().tilePending, 0);
    EXPECT_FALSE(list.deviceTimer()->isActive());
    EXPECT_EQ(list.deviceCount(), 1);
    EXPECT_TRUE(list.addDevice(QStringLiteral("127.0.0.4"), UnknownMac, KindNetwork));
    list.DeviceTimerTimer();
    EXPECT_EQ(list.deviceTiles()[1].top, 101);
    expectInStep(list);

    // An earlier removal moves the pending entry down with the rest.
    ASSERT_TRUE(list.addDevice(QStringLiteral("127.0.0.5"), UnknownMac, KindNetwork));
    list.removeDevice(0);
    EXPECT_EQ(list.pendingTileIndex(), 1);
    list.DeviceTimerTimer();
    EXPECT_TRUE(list.deviceTiles()[1].built);
    EXPECT_EQ(list.deviceTiles()[1].addressText, QStringLiteral("127.0.0.5"));
    expectInStep(list);
}

TEST(DeviceList, AgeingMarksOneSilentNetworkDevicePerTick) {
    DeviceList list;
    addBuilt(list, QStringLiteral("COM1"), KindUsb);
    addBuilt(list, QStringLiteral("127.0.0.2"));
    addBuilt(list, QStringLiteral("127.0.0.3"), KindModule);
    addBuilt(list, QStringLiteral("127.0.0.4"));
    for (int tick = 1; tick < DeviceList::AgeLimitTicks; ++tick) {
        list.DisconnectTimerTimer();
        list.resetAge(3); // heard on every tick
    }
    for (const DeviceTile& t : list.deviceTiles())
        EXPECT_FALSE(t.redCross);

    list.DisconnectTimerTimer(); // the 20th tick: the first network device only
    EXPECT_FALSE(list.deviceTiles()[0].redCross);
    EXPECT_TRUE(list.deviceTiles()[1].redCross);
    EXPECT_FALSE(list.deviceTiles()[2].redCross);

    list.flags().listPause = 1; // a list change in progress: the tick does nothing
    list.DisconnectTimerTimer();
    EXPECT_FALSE(list.deviceTiles()[2].redCross);
    list.flags().listPause = 0;

    list.DisconnectTimerTimer();
    EXPECT_TRUE(list.deviceTiles()[2].redCross);
    EXPECT_FALSE(list.deviceTiles()[3].redCross);
    EXPECT_EQ(list.flags().ageingBusy, 0);

    // A connect hides the cross; hearing the device again does not.
    list.setConnectedIndex(1);
    list.markConnected(QStringLiteral("Amp"));
    EXPECT_FALSE(list.deviceTiles()[1].redCross);
    list.resetAge(2);
    EXPECT_TRUE(list.deviceTiles()[2].redCross);
}

TEST(DeviceList, UpdateRemovesLastToFirstAndKeepsDevicesFoundMeanwhile) {
    DeviceList list;
    for (const char* key : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        addBuilt(list, QString::fromLatin1(key));
    QSignalSpy removed(&list, &DeviceList::tileRemoved);
    QSignalSpy finished(&list, &DeviceList::refreshFinished);

    list.RefreshBtnClick();
    EXPECT_EQ(list.flags().listPause, 1);
    EXPECT_EQ(list.size(), 2);
    EXPECT_TRUE(list.refreshRunning());
    // Found between two removals: listed behind the devices UPDATE removes.
    addBuilt(list, QStringLiteral("127.0.0.9"));
    list.RefreshStep();
    list.RefreshStep();
    EXPECT_EQ(finished.count(), 0);
    list.RefreshStep();

    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(list.flags().listPause, 0);
    EXPECT_EQ(list.deviceKeys(), QStringList({"127.0.0.9"}));
    ASSERT_EQ(removed.count(), 3);
    EXPECT_EQ(removed.at(0).at(0).toInt(), 2);
    EXPECT_EQ(removed.at(1).at(0).toInt(), 1);
    EXPECT_EQ(removed.at(2).at(0).toInt(), 0);
    EXPECT_EQ(list.deviceTiles()[0].top, 10);
    expectInStep(list);

    list.RefreshBtnClick();
    list.RefreshStep();
    list.RefreshBtnClick(); // an empty list finishes at once
    EXPECT_EQ(finished.count(), 3);
}

TEST(DeviceList, UnpluggedPortMarksTheFirstMissingUsbEntry) {
    DeviceList list;
    addBuilt(list, QStringLiteral("127.0.0.2"));
    addBuilt(list, QStringLiteral("COM3"), KindUsb);
    addBuilt(list, QStringLiteral("COM4"), KindUsb);
    addBuilt(list, QStringLiteral("COM5"), KindUsb);

    EXPECT_EQ(list.markFirstMissingUsb(QStringList{"COM1", "com3", "COM5"}), 2);
    EXPECT_TRUE(list.deviceTiles()[2].redCross);
    EXPECT_FALSE(list.deviceTiles()[3].redCross);
    // No port listed at all: every key counts as missing.
    EXPECT_EQ(list.markFirstMissingUsb(std::nullopt), 1);
    EXPECT_EQ(list.markFirstMissingUsb(QStringList{"COM3", "COM4", "COM5"}), -1);
}

TEST(DeviceList, PressesPickTheClickAndMenuTargets) {
    DeviceList list;
    addBuilt(list, QStringLiteral("127.0.0.2"));
    addBuilt(list, QStringLiteral("127.0.0.3"));
    list.DeviceMouseDown(1, Qt::LeftButton);
    EXPECT_TRUE(list.deviceTiles()[1].lowered);
    list.DeviceMouseUp(1, Qt::LeftButton);
    EXPECT_FALSE(list.deviceTiles()[1].lowered);
    list.DeviceMouseDown(0, Qt::RightButton);
    EXPECT_EQ(list.pressedIndex(), 1);
    EXPECT_EQ(list.menuIndex(), 0);
}

TEST(DeviceList, RenameAndMacReachEntryAndTile) {
    DeviceList list;
    addBuilt(list, QStringLiteral("127.0.0.2"));
    QSignalSpy renamed(&list, &DeviceList::deviceRenamed);
    list.renameDevice(0, QStringLiteral("FOH left"));
    EXPECT_EQ(list.deviceEntries()[0].name, QStringLiteral("FOH left"));
    EXPECT_EQ(list.deviceTiles()[0].nameText, QStringLiteral("FOH left"));
    EXPECT_EQ(renamed.count(), 1);

    list.setMac(0, QStringLiteral("00A1B012AB34"), false); // the MAC dialog: entry only
    EXPECT_EQ(list.deviceEntries()[0].mac, QStringLiteral("00A1B012AB34"));
    EXPECT_EQ(list.deviceTiles()[0].macText, QStringLiteral("FF:FF:FF:FF:FF:FF"));
    list.setMac(0, QStringLiteral("025451500001"), true); // a MAC report: tile too
    EXPECT_EQ(list.deviceTiles()[0].macText, QStringLiteral("02:54:51:50:00:01"));
}

TEST(DeviceList, ADeviceTypedInByHandGetsItsTileAtOnce) {
    DeviceList list;
    const int index = list.addManualDevice(QStringLiteral("192.0.2.10"));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(list.deviceTiles()[0].built);
    EXPECT_EQ(list.deviceEntries()[0].kind, KindNetwork);
    EXPECT_EQ(list.deviceTiles()[0].nameText, QStringLiteral("Device0"));
    EXPECT_EQ(list.deviceTiles()[0].macText, QStringLiteral("FF:FF:FF:FF:FF:FF"));
    EXPECT_EQ(list.deviceCount(), 1);
}

} // namespace
} // namespace tq50r::devices
