// tq50r-tool devices as a black box against tq50r-sim on loopback. The tool listens on the real
// discovery ports, so these tests hold a CTest resource lock on them.
#include "sim/sim_process.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using tq50r::sim::testing::SimProcess;

struct ToolRun {
    int status = -1;
    std::vector<std::string> lines;
};

ToolRun runTool(const std::string& args) {
    ToolRun run;
    const std::string command = std::string(TQ50R_TOOL_PROGRAM) + " " + args;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr) {
        std::string line(buffer.data());
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        run.lines.push_back(line);
    }
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// The line of the device with `key`, split into its four fields.
std::vector<std::string> fieldsOf(const ToolRun& run, const std::string& key) {
    for (const std::string& line : run.lines) {
        std::istringstream in(line);
        std::vector<std::string> fields;
        for (std::string f; in >> f;)
            fields.push_back(f);
        if (!fields.empty() && fields[0] == key)
            return fields;
    }
    return {};
}

SimProcess startSim(std::vector<std::string> args) {
    for (const char* common :
         {"--address", "auto", "--tcp-port", "0", "--announce-ms", "1000", "--no-stdin"})
        args.emplace_back(common);
    return SimProcess(std::move(args));
}

TEST(DevicesTool, FindsThreeNetworkDevicesAndAUsbDevice) {
    SimProcess sim = startSim({"--devices", "3", "--serial", "1"});
    ASSERT_TRUE(sim.ready()) << sim.stderrText();
    const std::string pty = sim.device(4).where;
    const ToolRun run = runTool("devices --loopback --seconds 5 --serial-port " + pty);
    EXPECT_EQ(run.status, 0);
    for (int n = 1; n <= 3; ++n) {
        const auto fields = fieldsOf(run, sim.device(n).host);
        ASSERT_EQ(fields.size(), 4u) << sim.device(n).host;
        EXPECT_EQ(fields[1], "00:00:00:00:00:00");
        EXPECT_EQ(fields[2], "network");
        EXPECT_TRUE(fields[3] == "port8000" || fields[3] == "ssdp") << fields[3];
    }
    const auto usb = fieldsOf(run, pty);
    ASSERT_EQ(usb.size(), 4u);
    EXPECT_EQ(usb[1], "FF:FF:FF:FF:FF:FF");
    EXPECT_EQ(usb[2], "usb");
    EXPECT_EQ(usb[3], "serial");
}

TEST(DevicesTool, EachDiscoveryRouteAloneFindsItsDevice) {
    struct RouteCase {
        const char* discovery;
        const char* kind;
        const char* route;
    };
    for (const RouteCase& c :
         {RouteCase{"8000", "network", "port8000"}, RouteCase{"ssdp", "network", "ssdp"},
          RouteCase{"module", "module", "module"}}) {
        SimProcess sim = startSim({"--devices", "1", "--discovery", c.discovery});
        ASSERT_TRUE(sim.ready()) << sim.stderrText();
        const ToolRun run = runTool("devices --loopback --seconds 3");
        const auto fields = fieldsOf(run, sim.device(1).host);
        ASSERT_EQ(fields.size(), 4u) << c.discovery;
        EXPECT_EQ(fields[2], c.kind);
        EXPECT_EQ(fields[3], c.route);
        EXPECT_EQ(run.status, 0);
    }
}

TEST(DevicesTool, NothingFoundIsExitOneAndABadCommandLineIsExitTwo) {
    SimProcess sim = startSim({"--devices", "1", "--discovery", "none"});
    ASSERT_TRUE(sim.ready());
    const ToolRun none = runTool("devices --loopback --seconds 1");
    EXPECT_EQ(fieldsOf(none, sim.device(1).host).size(), 0u);
    EXPECT_EQ(none.status, none.lines.empty() ? 1 : 0);
    EXPECT_EQ(runTool("devices --seconds 0 2>/dev/null").status, 2);
    EXPECT_EQ(runTool("devices --loopback --colour 2>/dev/null").status, 2);
    EXPECT_EQ(runTool("--help").status, 0);
}

} // namespace
