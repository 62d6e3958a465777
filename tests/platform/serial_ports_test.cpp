#include "base/unique_fd.h"
#include "platform/device_holders.h"
#include "platform/mac_lookup.h"
#include "platform/serial_ports.h"
#include "support/open_descriptors.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tq50r::platform::clearExtraSerialPorts;
using tq50r::platform::listSysfsSerialPorts;
using tq50r::platform::readSerialPorts;
using tq50r::platform::registerExtraSerialPorts;
using tq50r::platform::serialPortNameLess;

namespace {

struct TtyEntry {
    std::string name;
    bool hasDevice;
    std::optional<int> uartType; // the sysfs `type` attribute, when present
};

// A throw-away tree shaped like /sys/class/tty, plus an empty /dev beside it.
class FakeSysfs {
public:
    FakeSysfs() {
        std::random_device rd;
        root_ = fs::temp_directory_path() / ("tq50r-sysfs-" + std::to_string(rd()));
        fs::create_directories(ttyRoot());
        fs::create_directories(devRoot());
    }
    ~FakeSysfs() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    fs::path ttyRoot() const { return root_ / "class" / "tty"; }
    fs::path devRoot() const { return root_ / "dev"; }
    fs::path root() const { return root_; }

    void add(const TtyEntry& e) const {
        const fs::path dir = ttyRoot() / e.name;
        fs::create_directories(dir);
        if (e.hasDevice) {
            fs::create_directories(dir / "device");
        }
        if (e.uartType) {
            std::ofstream(dir / "type") << *e.uartType << "\n";
        }
    }

private:
    fs::path root_;
};

class SerialPortsTest : public ::testing::Test {
protected:
    void TearDown() override { clearExtraSerialPorts(); }
    FakeSysfs sysfs;
};

TEST_F(SerialPortsTest, ListsRealPortsInNaturalOrderAndSkipsEmptyUartSlots) {
    const std::vector<TtyEntry> entries = {
        {"ttyUSB10", true, std::nullopt},
        {"ttyUSB2", true, std::nullopt},
        {"ttyS0", true, 0},            // legacy slot without a UART
        {"ttyS1", true, 4},            // a real 16550A
        {"ttyS2", true, std::nullopt}, // type unknown and no node to ask: skipped
        {"ttyACM0", true, std::nullopt},
        {"tty0", false, std::nullopt}, // virtual console: no device link
        {"ptmx", false, std::nullopt},
    };
    for (const auto& e : entries) {
        sysfs.add(e);
    }
    const std::vector<std::string> expected = {"ttyACM0", "ttyS1", "ttyUSB2", "ttyUSB10"};
    EXPECT_EQ(listSysfsSerialPorts(sysfs.ttyRoot(), sysfs.devRoot()), expected);
    EXPECT_EQ(readSerialPorts(sysfs.ttyRoot()), expected);
}

TEST_F(SerialPortsTest, NoPortsIsNoneNotAnEmptyList) {
    EXPECT_EQ(readSerialPorts(sysfs.ttyRoot()), std::nullopt);
    sysfs.add({"ttyS0", true, 0});
    sysfs.add({"tty1", false, std::nullopt});
    EXPECT_EQ(readSerialPorts(sysfs.ttyRoot()), std::nullopt);
    EXPECT_EQ(readSerialPorts(sysfs.root() / "does-not-exist"), std::nullopt);
}

TEST_F(SerialPortsTest, ExtraPortsFollowTheKernelPortsWhileTheyExist) {
    sysfs.add({"ttyUSB0", true, std::nullopt});
    const fs::path present = sysfs.root() / "pts-7";
    std::ofstream(present) << "";
    const std::string missing = (sysfs.root() / "pts-8").string();

    registerExtraSerialPorts({missing, present.string(), present.string(), ""});
    const std::vector<std::string> expected = {"ttyUSB0", present.string()};
    EXPECT_EQ(readSerialPorts(sysfs.ttyRoot()), expected);

    // An extra port alone is enough for a list.
    const FakeSysfs empty;
    EXPECT_EQ(readSerialPorts(empty.ttyRoot()), std::vector<std::string>{present.string()});

    // The missing one is listed once it appears, after the earlier ones.
    std::ofstream(missing) << "";
    const std::vector<std::string> later = {"ttyUSB0", missing, present.string()};
    EXPECT_EQ(readSerialPorts(sysfs.ttyRoot()), later);

    fs::remove(present);
    fs::remove(missing);
    EXPECT_EQ(readSerialPorts(empty.ttyRoot()), std::nullopt);
}

TEST_F(SerialPortsTest, ProbesAndLookupsLeaveNoDescriptorOpen) {
    // Two UART slots without a type: one node is missing, one opens but is no UART.
    sysfs.add({"ttyS0", true, std::nullopt});
    sysfs.add({"ttyS1", true, std::nullopt});
    std::ofstream(sysfs.devRoot() / "ttyS1") << "x";
    const tq50r::base::UniqueFd null(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(null);
    const long leaked = tq50r::testing::descriptorsLeakedBy([&] {
        EXPECT_TRUE(listSysfsSerialPorts(sysfs.ttyRoot(), sysfs.devRoot()).empty());
        (void)tq50r::platform::heldByAnotherProcess(null.get()); // walks every process's table
        EXPECT_FALSE(tq50r::platform::heldByAnotherProcess(null.get(), sysfs.root()));
        tq50r::platform::nudgeNeighbour(0x7F000001); // 127.0.0.1
    });
    EXPECT_EQ(leaked, 0);
}

TEST(SerialPortNameOrder, ComparesPrefixThenNumber) {
    struct Case {
        std::string a;
        std::string b;
        bool less;
    };
    const std::vector<Case> cases = {
        {"ttyUSB2", "ttyUSB10", true}, {"ttyUSB10", "ttyUSB2", false},
        {"ttyACM9", "ttyUSB0", true},  {"ttyS3", "ttyS3", false},
        {"ttyUSB", "ttyUSB0", true},   {"ttyUSB99999999999999999999", "ttyUSB1", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(serialPortNameLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    }
}

} // namespace
