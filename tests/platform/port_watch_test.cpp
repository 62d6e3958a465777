#include "platform/port_watch.h"
#include "platform/serial_ports.h"
#include "support/manual_clock.h"

#include <QSignalSpy>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

using tq50r::platform::PortWatch;
using tq50r::testing::ManualClock;
using Ms = std::chrono::milliseconds;

namespace {

QStringList names(const QSignalSpy& spy) {
    QStringList out;
    for (const auto& args : spy) {
        out << args.at(0).toString();
    }
    return out;
}

TEST(PortWatch, ReportsRemovalsThenArrivalsAgainstThePreviousList) {
    std::optional<std::vector<std::string>> ports = std::vector<std::string>{"ttyUSB0", "ttyS1"};
    PortWatch watch(
        nullptr, [&ports] { return ports; }, std::chrono::hours(1));
    QSignalSpy arrived(&watch, &PortWatch::portArrived);
    QSignalSpy removed(&watch, &PortWatch::portRemoved);

    watch.start();
    watch.checkNow();
    EXPECT_EQ(arrived.count(), 0) << "ports present at start are not news";
    EXPECT_EQ(removed.count(), 0);

    ports = std::vector<std::string>{"ttyS1", "ttyACM0", "ttyUSB1"};
    watch.checkNow();
    EXPECT_EQ(names(removed), QStringList{"ttyUSB0"});
    EXPECT_EQ(names(arrived), (QStringList{"ttyACM0", "ttyUSB1"}));

    // The list becoming "none" removes everything; coming back announces arrivals again.
    arrived.clear();
    removed.clear();
    ports = std::nullopt;
    watch.checkNow();
    EXPECT_EQ(names(removed), (QStringList{"ttyS1", "ttyACM0", "ttyUSB1"}));
    EXPECT_TRUE(watch.knownPorts().empty());
    ports = std::vector<std::string>{"ttyS1"};
    watch.checkNow();
    EXPECT_EQ(names(arrived), QStringList{"ttyS1"});
}

TEST(PortWatch, SlotsSeeTheNewListWhenSignalled) {
    std::vector<std::string> ports;
    PortWatch watch(
        nullptr, [&ports] { return std::optional(ports); }, std::chrono::hours(1));
    watch.start();
    bool sawNewList = false;
    QObject::connect(&watch, &PortWatch::portArrived, [&](const QString& name) {
        const auto& known = watch.knownPorts();
        sawNewList = std::find(known.begin(), known.end(), name.toStdString()) != known.end();
    });
    ports.push_back("ttyUSB3");
    watch.checkNow();
    EXPECT_TRUE(sawNewList);
}

// The default watch on the real list, with a registered extra port appearing and going: each is
// noticed within a second.
TEST(PortWatch, DefaultWatchNoticesAnExtraPortArrivingAndLeaving) {
    std::random_device rd;
    const auto path =
        std::filesystem::temp_directory_path() / ("tq50r-pty-" + std::to_string(rd()));
    const QString name = QString::fromStdString(path.string());
    tq50r::platform::registerExtraSerialPorts({path.string()});

    ManualClock clock;
    PortWatch watch(nullptr, {}, PortWatch::kDefaultInterval, &clock);
    QSignalSpy arrived(&watch, &PortWatch::portArrived);
    QSignalSpy removed(&watch, &PortWatch::portRemoved);
    watch.start();
    ASSERT_TRUE(watch.isRunning());

    std::ofstream(path) << "";
    clock.advance(Ms(1000));
    EXPECT_TRUE(names(arrived).contains(name));

    std::filesystem::remove(path);
    clock.advance(Ms(1000));
    EXPECT_TRUE(names(removed).contains(name));

    // Stopped, it notices nothing more.
    watch.stop();
    EXPECT_FALSE(watch.isRunning());
    std::ofstream(path) << "";
    clock.advance(Ms(5000));
    EXPECT_EQ(names(arrived).count(name), 1);
    std::filesystem::remove(path);
    tq50r::platform::clearExtraSerialPorts();
}

} // namespace
