// The window finds simulated devices on loopback: three network devices and one on a
// pseudo-terminal become four tiles. The discovery ports are moved, so this runs beside others.
#include "app_test_support.h"
#include "devices/device_list.h"
#include "devices/ui/device_box_view.h"
#include "devices/ui/device_panel.h"
#include "sim/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>
#include <set>

namespace tq50r::app {
namespace {

using sim::testing::SimProcess;

constexpr int TileWaitMs = 15000;

bool pumpUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(WindowDiscovery, ThreeNetworkDevicesAndAUsbDeviceBecomeFourTiles) {
    const std::uint16_t port8000 = sim::testing::freeUdpPort();
    const std::uint16_t ssdpPort = sim::testing::freeUdpPort();
    const std::uint16_t modulePort = sim::testing::freeUdpPort();
    SimProcess sim({"--devices", "3", "--serial", "1", "--address", "auto", "--tcp-port", "0",
                    "--port8000", std::to_string(port8000), "--ssdp-port", std::to_string(ssdpPort),
                    "--module-port", std::to_string(modulePort), "--announce-ms", "1000",
                    "--no-stdin"});
    ASSERT_TRUE(sim.ready()) << sim.stderrText();
    ASSERT_EQ(sim.devices().size(), 4u);
    const std::string pty = sim.device(4).where;

    AppOptions options = testing::quietOptions();
    options.discovery = {true, port8000, ssdpPort, modulePort};
    options.serialPortLister = [pty] { return std::optional<std::vector<std::string>>({pty}); };
    testing::ScriptedWindow w(options);
    w.form->show();
    QElapsedTimer shown;
    shown.start();
    auto& view = w.form->deviceBoxView();
    ASSERT_TRUE(pumpUntil([&] { return view.tileCount() == 4; }, TileWaitMs))
        << view.tileCount() << " tiles";
    RecordProperty("ms_to_four_tiles", static_cast<int>(shown.elapsed()));

    std::set<std::string> expected{pty};
    for (int n = 1; n <= 3; ++n)
        expected.insert(sim.device(n).host);
    std::set<std::string> shownKeys;
    for (int i = 0; i < 4; ++i) {
        const devices::ui::TDevicePanel* tile = view.tileAt(i);
        shownKeys.insert(tile->IPLabel->text().toStdString());
        EXPECT_EQ(tile->pos().y(), 10 + 91 * i);
        const bool usb = tile->IPLabel->text().toStdString() == pty;
        EXPECT_EQ(tile->addressCaption->text(),
                  usb ? QStringLiteral("Port:") : QStringLiteral("IP:"));
        EXPECT_EQ(tile->MACLabel->text(),
                  usb ? QStringLiteral("FF:FF:FF:FF:FF:FF") : QStringLiteral("00:00:00:00:00:00"));
    }
    EXPECT_EQ(shownKeys, expected);
    EXPECT_EQ(w.form->findChild<QLabel*>(QStringLiteral("deviceCountLabel"))->text(),
              QStringLiteral("4"));
    // Found on its port, the USB device holds the scan; the probe port closed behind it.
    EXPECT_EQ(w.form->deviceList().flags().scanHold, 1);

    if (const QByteArray dir = qgetenv("TQ50R_SHOT_DIR"); !dir.isEmpty())
        w.form->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/four_tiles.png"));
}

} // namespace
} // namespace tq50r::app
