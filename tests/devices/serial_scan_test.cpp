#include "devices/receive_path.h"
#include "devices/serial_scan.h"
#include "protocol/frames.h"
#include "support/fake_channel.h"
#include "transport/com_port.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace tq50r::devices {
namespace {

using Ports = std::optional<std::vector<std::string>>;

const protocol::RequestFrame Poll = protocol::buildRequest(protocol::CommandCode::Poll);

struct ScanFixture : ::testing::Test {
    DeviceList list;
    eq::EqSetting setting = eq::startSetting();
    LinkMonitor link;
    ReceivePath receive{list, setting, link};
    Ports ports = std::vector<std::string>{"COM1", "COM3"};
    transport::FakeChannel* probe = nullptr;
    std::unique_ptr<SerialScan> scan;

    ScanFixture() {
        auto channel = std::make_unique<transport::FakeChannel>();
        probe = channel.get();
        scan = std::make_unique<SerialScan>(
            list, receive, [this] { return ports; }, nullptr, std::move(channel));
    }

    // The port the probe was last pointed at, after one step.
    std::string step() {
        scan->ScanStep();
        return probe->link().address();
    }

    // A device on `port` answers the probe.
    void answer(const QString& port) { receive.feed(Poll, FrameOrigin{SourceKind::Serial, port}); }
};

TEST_F(ScanFixture, APassProbesLastToFirstThenPausesAndHoldsAfterAFind) {
    EXPECT_EQ(step(), "COM3");
    EXPECT_EQ(scan->stepTimer()->interval(), 100);
    ASSERT_EQ(probe->link().writes().size(), 1u);
    EXPECT_TRUE(std::ranges::equal(probe->link().writes()[0], Poll));
    EXPECT_EQ(step(), "COM1");
    scan->ScanStep(); // end of the pass
    EXPECT_EQ(scan->stepTimer()->interval(), 3000);
    EXPECT_EQ(probe->link().writes().size(), 2u);

    // COM3 answers: a USB device, the probe port closes 20 ms later, the scan holds.
    answer(QStringLiteral("COM3"));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.deviceEntries()[0].kind, KindUsb);
    EXPECT_EQ(list.deviceEntries()[0].mac, QStringLiteral("FFFFFFFFFFFF"));
    EXPECT_TRUE(scan->closeTimer()->isActive());
    EXPECT_EQ(scan->closeTimer()->interval(), 20);
    probe->open();
    scan->CloseTimerTimer();
    EXPECT_FALSE(probe->isOpen());
    EXPECT_FALSE(scan->closeTimer()->isActive());

    list.DeviceTimerTimer();
    scan->ScanStep();
    EXPECT_TRUE(scan->isHeld());
    EXPECT_FALSE(scan->stepTimer()->isActive());
    EXPECT_EQ(probe->link().writes().size(), 2u);

    // Removing the USB device lets the scan go on; COM3 is probed again.
    list.removeDevice(0);
    EXPECT_FALSE(scan->isHeld());
    EXPECT_TRUE(scan->stepTimer()->isActive());
    EXPECT_EQ(step(), "COM3");
}

TEST_F(ScanFixture, KnownPortsAreLoggedAndPortsThatDoNotOpenAreSkipped) {
    ASSERT_TRUE(list.addDevice(QStringLiteral("com3"), UnknownMac, KindUsb));
    list.DeviceTimerTimer();
    QSignalSpy skipped(scan.get(), &SerialScan::portSkipped);
    probe->link().setOpenFails(true);
    EXPECT_EQ(step(), "COM1"); // COM3 (position 1) is known, whatever its case
    ASSERT_EQ(skipped.count(), 1);
    EXPECT_EQ(skipped[0][0].toInt(), 1);
    EXPECT_TRUE(probe->link().writes().empty());

    // No pass while the lists change.
    scan->ScanStep();
    list.flags().listPause = 1;
    scan->ScanStep();
    EXPECT_EQ(scan->stepTimer()->interval(), 100);
    EXPECT_EQ(skipped.count(), 1);
}

TEST_F(ScanFixture, NoPortYetMeansWaitingAndAVanishedPortIsSkippedQuietly) {
    ports.reset();
    scan->ScanStep();
    EXPECT_EQ(scan->stepTimer()->interval(), 3000);
    EXPECT_EQ(probe->link().address(), "");

    // The real probe channel over ComPort2: a port that does not exist raises inside the scan.
    SerialScan real(list, receive,
                    [] { return Ports(std::vector<std::string>{"/dev/tq50r-none"}); });
    EXPECT_NO_THROW(real.ScanStep());
    EXPECT_FALSE(real.ComPort2().Connected());
    EXPECT_EQ(real.ComPort2().Port(), "/dev/tq50r-none");
}

TEST_F(ScanFixture, ARemovedPortMarksTheFirstMissingUsbDeviceAndTellsTheConnection) {
    ports = std::vector<std::string>{"COM1", "COM3", "COM4"};
    scan->portArrived();
    ASSERT_TRUE(scan->serialPorts().has_value());
    EXPECT_EQ(scan->serialPorts()->size(), 3);
    for (const char* key : {"127.0.0.2", "COM3", "COM4"}) {
        ASSERT_TRUE(list.addDevice(QString::fromLatin1(key), UnknownMac,
                                   key[0] == 'C' ? KindUsb : KindNetwork));
        list.DeviceTimerTimer();
    }
    list.setConnectedIndex(2);
    QSignalSpy lost(scan.get(), &SerialScan::connectedPortRemoved);

    ports = std::vector<std::string>{"COM1"};
    scan->portRemoved();
    EXPECT_TRUE(list.deviceTiles()[1].redCross);
    EXPECT_FALSE(list.deviceTiles()[2].redCross); // only the first missing one
    EXPECT_EQ(lost.count(), 0);
    EXPECT_EQ(list.flags().listPause, 0);

    ports.reset(); // no port at all: every USB key counts as missing
    list.removeDevice(1);
    scan->portRemoved();
    EXPECT_TRUE(list.deviceTiles()[1].redCross);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(scan->serialPorts().has_value());
}

} // namespace
} // namespace tq50r::devices
