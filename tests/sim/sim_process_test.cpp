// tq50r-sim as the application meets it: frames over TCP and a
// pseudo-terminal, the fault modes and the discovery datagrams, all on
// loopback and with bounded waits.
#include "protocol/frames.h"
#include "protocol/preset_file.h"
#include "sim_process.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq50r::sim::testing {
namespace {

using protocol::CommandCode;

// A quiet device on a free TCP port: no discovery datagrams.
std::vector<std::string> quietArgs(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--tcp-port", "0", "--discovery", "none"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

Bytes request(CommandCode code) {
    return bytesOf(protocol::buildRequest(code));
}

Bytes withPreamble(const Bytes& frame) {
    Bytes b(protocol::ZeroPreambleSize + frame.size(), 0x00);
    std::copy(frame.begin(), frame.end(), b.begin() + protocol::ZeroPreambleSize);
    return b;
}

protocol::FrameBytes view(const Bytes& b) {
    return protocol::FrameBytes(b.data(), b.size());
}

struct Link {
    base::UniqueFd fd;

    // Sends and waits for `count` answer frames.
    std::vector<Bytes> ask(const Bytes& bytes, std::size_t count = 1, Ms wait = DefaultWait) {
        if (!sendAll(fd.get(), bytes)) {
            return {};
        }
        return readFrames(fd.get(), count, wait);
    }
};

// A per-process name in the temporary directory.
std::filesystem::path tempPath(const std::string& stem, const std::string& suffix = "") {
    return std::filesystem::temp_directory_path() / (stem + std::to_string(::getpid()) + suffix);
}

Link tcpTo(const SimProcess& sim, int number = 1) {
    const DeviceLine& d = sim.device(number);
    return Link{connectTcp(d.host, d.port)};
}

// ---- the connect handshake and the setting ------------------------------------

TEST(SimOverTcp, ConnectHandshakeWithAndWithoutZeroPreamble) {
    SimProcess sim(quietArgs({"--name", "Hall"}));
    ASSERT_TRUE(sim.ready());
    for (const bool preamble : {true, false}) {
        Link link = tcpTo(sim);
        ASSERT_TRUE(link.fd);
        const Bytes connect = request(CommandCode::Connect);
        const auto frames = link.ask(preamble ? withPreamble(connect) : connect);
        ASSERT_EQ(frames.size(), 1U) << "preamble " << preamble;
        const auto reply = protocol::readConnectReply(view(frames[0]));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->name, "Hall 1");
        EXPECT_EQ(reply->revision, 17);
    }
}

TEST(SimOverTcp, RecallGivesTheResetSettingAndEchoesAreStored) {
    SimProcess sim(quietArgs());
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    ASSERT_TRUE(link.fd);

    auto frames = link.ask(request(CommandCode::Recall));
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0], bytesOf(protocol::ResetBlock));

    eq::EqBand band;
    band.type = static_cast<int>(eq::EqBandType::HighShelf);
    band.freqIndex = 250;
    band.gainIndex = 10;
    band.qIndex = 80;
    const std::vector<Bytes> echoed = {
        bytesOf(protocol::buildBandFrame(4, band)),
        bytesOf(protocol::buildTrimFrame(-18)),
        bytesOf(protocol::buildBypassFrame(true)),
        bytesOf(protocol::buildBypassFrame(false)),
    };
    for (const Bytes& frame : echoed) {
        frames = link.ask(frame);
        ASSERT_EQ(frames.size(), 1U);
        EXPECT_EQ(frames[0], frame);
    }
    frames = link.ask(request(CommandCode::Recall));
    ASSERT_EQ(frames.size(), 1U);
    const auto fields = protocol::readParameterBlock(view(frames[0]));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->trim, 85);
    EXPECT_EQ(fields->bypass, 0);
    EXPECT_EQ(fields->bands[3].typeCode, 4);
    EXPECT_EQ(fields->bands[3].freqHigh, 2);
    EXPECT_EQ(fields->bands[3].freqLow, 50);
    EXPECT_EQ(fields->bands[3].gainIndex, 10);
    EXPECT_EQ(fields->bands[3].qIndex, 80);
    const std::string state = sim.command("state 1");
    EXPECT_NE(state.find("trim -18 bypass 0"), std::string::npos) << state;
}

TEST(SimOverTcp, APresetBlockIsKeptByteForByte) {
    SimProcess sim(quietArgs());
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    protocol::ParameterBlock block = protocol::buildParameterBlock(eq::startSetting(), false);
    block[8] = 0x42;
    block[13] = 0x11;
    for (std::size_t i = protocol::block::ReservedOffset; i < protocol::block::TrailerOffset; ++i) {
        block[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    const Bytes sent = bytesOf(block);
    auto frames = link.ask(sent);
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0], sent);
    frames = link.ask(request(CommandCode::Recall));
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0], sent);
}

TEST(SimOverTcp, StartsFromAPresetFile) {
    const auto path = tempPath("tq50r-sim-preset-", ".bin");
    eq::EqSetting setting = eq::startSetting();
    setting.trimDb = -3;
    const protocol::ParameterBlock block = protocol::buildParameterBlock(setting, false);
    ASSERT_TRUE(protocol::writePresetFile(block, path).ok());
    {
        SimProcess sim(quietArgs({"--preset", path.string()}));
        ASSERT_TRUE(sim.ready());
        Link link = tcpTo(sim);
        const auto frames = link.ask(request(CommandCode::Recall));
        ASSERT_EQ(frames.size(), 1U);
        EXPECT_EQ(frames[0], bytesOf(block));
    }
    std::filesystem::remove(path);
    SimProcess missing(quietArgs({"--preset", path.string()}));
    EXPECT_FALSE(missing.ready());
    EXPECT_EQ(missing.terminate(), 1);
}

TEST(SimOverTcp, StatusAndBurnInReplies) {
    SimProcess sim(quietArgs({"--temperature", "920", "--flags", "0,1,0,5", "--burn-count", "12",
                              "--burn-minutes", "1561"}));
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    auto frames = link.ask(request(CommandCode::ReadState));
    ASSERT_EQ(frames.size(), 1U);
    auto state = protocol::readDeviceState(view(frames[0]));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->temperatureReading, 920);
    EXPECT_EQ(state->overTemperature, 1);
    EXPECT_EQ(state->standby, 5);

    frames = link.ask(request(CommandCode::Burning));
    ASSERT_EQ(frames.size(), 1U);
    const auto burn = protocol::readBurningReport(view(frames[0]));
    ASSERT_TRUE(burn);
    EXPECT_EQ(burn->count, 12);
    EXPECT_EQ(burn->totalMinutes, 1561U);

    // Flags and reading change at run time.
    EXPECT_EQ(sim.command("flags 1 1 0 0 0"), "ok");
    EXPECT_EQ(sim.command("temperature 1 244"), "ok");
    frames = link.ask(request(CommandCode::ReadState));
    ASSERT_EQ(frames.size(), 1U);
    state = protocol::readDeviceState(view(frames[0]));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->temperatureReading, 244);
    EXPECT_EQ(state->protection, 1);
    EXPECT_EQ(state->standby, 0);
}

TEST(SimOverTcp, RenameAndMacAreKept) {
    SimProcess sim(quietArgs());
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    ASSERT_TRUE(sendAll(link.fd.get(), bytesOf(protocol::buildRenameFrame("Foyer"))));
    ASSERT_TRUE(sendAll(link.fd.get(), bytesOf(*protocol::buildMacFrame("00A1B0123ABC"))));
    const auto frames = link.ask(request(CommandCode::Connect));
    ASSERT_EQ(frames.size(), 1U) << "rename and MAC are not answered";
    EXPECT_EQ(protocol::readConnectReply(view(frames[0]))->name, "Foyer");
    const std::string state = sim.command("state 1");
    EXPECT_NE(state.find("mac 00A1B0123ABC"), std::string::npos) << state;
    EXPECT_EQ(sim.command("macreport 1"), "ok");
    const auto report = readFrames(link.fd.get(), 1);
    ASSERT_EQ(report.size(), 1U);
    EXPECT_EQ(protocol::macText(*protocol::readMacReport(view(report[0]))), "00A1B0123ABC");
}

TEST(SimOverTcp, OneClientAtATimeTheNewestWins) {
    SimProcess sim(quietArgs());
    ASSERT_TRUE(sim.ready());
    Link first = tcpTo(sim);
    ASSERT_EQ(first.ask(request(CommandCode::Poll)).size(), 1U);
    Link second = tcpTo(sim);
    ASSERT_EQ(second.ask(request(CommandCode::Poll)).size(), 1U);
    EXPECT_TRUE(peerClosed(first.fd.get()));
}

TEST(SimOverTcp, LogsEveryReceivedFrame) {
    const auto path = tempPath("tq50r-sim-frames-", ".log");
    std::filesystem::remove(path);
    {
        SimProcess sim(quietArgs({"--log-file", path.string()}));
        ASSERT_TRUE(sim.ready());
        Link link = tcpTo(sim);
        ASSERT_EQ(link.ask(withPreamble(request(CommandCode::Connect))).size(), 1U);
        ASSERT_EQ(link.ask(bytesOf(protocol::buildTrimFrame(-5))).size(), 1U);
        EXPECT_EQ(sim.terminate(), 0);
    }
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2U) << "the zero preamble is not a frame";
    EXPECT_NE(lines[0].find(" device 1 Connect 01 20 03 40 09 1F 01 05 60"), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(" device 1 Trim 01 20 03 40 0B 0E 6F 48 01 05 60"), std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[0].rfind("frame ", 0), 0U);
    std::filesystem::remove(path);
}

// ---- faults ------------------------------------------------------------------------

TEST(SimFaults, SilentReadsButDoesNotAnswer) {
    SimProcess sim(quietArgs());
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    EXPECT_EQ(sim.command("silent 1 on"), "ok");
    EXPECT_TRUE(link.ask(bytesOf(protocol::buildTrimFrame(-4)), 1, Ms{300}).empty());
    EXPECT_EQ(sim.command("silent 1 off"), "ok");
    const auto frames = link.ask(request(CommandCode::Recall));
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0][protocol::block::TrimOffset], eq::encodeTrim(-4)) << "stored while silent";
}

TEST(SimFaults, DropClosesTheConnectionAndTheNextOneWorks) {
    SimProcess sim(quietArgs());
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    ASSERT_EQ(link.ask(request(CommandCode::Poll)).size(), 1U);
    EXPECT_EQ(sim.command("drop 1"), "ok");
    EXPECT_TRUE(peerClosed(link.fd.get()));
    Link again = tcpTo(sim);
    EXPECT_EQ(again.ask(request(CommandCode::Poll)).size(), 1U);
}

TEST(SimFaults, DropAfterFramesEndsTheConnectionOnThatFrame) {
    SimProcess sim(quietArgs({"--drop-after", "2"}));
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    ASSERT_EQ(link.ask(request(CommandCode::Poll)).size(), 1U);
    ASSERT_TRUE(sendAll(link.fd.get(), request(CommandCode::Poll)));
    EXPECT_TRUE(peerClosed(link.fd.get()));
}

TEST(SimFaults, RefuseAndAcceptAgainOnTheSamePort) {
    SimProcess sim(quietArgs({"--refuse"}));
    ASSERT_TRUE(sim.ready());
    EXPECT_FALSE(connectTcp(sim.device(1).host, sim.device(1).port, Ms{500}));
    EXPECT_EQ(sim.command("refuse 1 off"), "ok");
    Link link = tcpTo(sim);
    ASSERT_TRUE(link.fd);
    EXPECT_EQ(link.ask(request(CommandCode::Poll)).size(), 1U);
    EXPECT_EQ(sim.command("refuse 1 on"), "ok");
    EXPECT_FALSE(connectTcp(sim.device(1).host, sim.device(1).port, Ms{500}));
}

TEST(SimFaults, DelayedAnswersComeLateButInOrder) {
    constexpr Ms Delay{400};
    SimProcess sim(quietArgs({"--delay-ms", std::to_string(Delay.count())}));
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(sendAll(link.fd.get(), request(CommandCode::Connect)));
    ASSERT_TRUE(sendAll(link.fd.get(), request(CommandCode::Poll)));
    auto frames = readFrames(link.fd.get(), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, Delay) << "nothing before the delay";
    if (frames.size() == 1) {
        const auto second = readFrames(link.fd.get(), 1);
        frames.insert(frames.end(), second.begin(), second.end());
    }
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[0][protocol::CommandOffset], 0x1F);
    EXPECT_EQ(frames[1][protocol::CommandOffset], 0x0B);
}

TEST(SimFaults, SplitAndGarbageStillDeliverWholeFrames) {
    SimProcess sim(quietArgs({"--seed", "7"}));
    ASSERT_TRUE(sim.ready());
    Link link = tcpTo(sim);
    struct Mode {
        const char* on;
        const char* off;
        bool moreReads;
        bool extraBytes;
    };
    for (const Mode& m : {Mode{"split 1 on", "split 1 off", true, false},
                          Mode{"garbage 1 on", "garbage 1 off", false, true}}) {
        ASSERT_EQ(sim.command(m.on), "ok");
        constexpr int Rounds = 5;
        int reads = 0;
        for (int i = 0; i < Rounds; ++i) {
            ASSERT_TRUE(sendAll(link.fd.get(), request(CommandCode::Recall)));
            std::size_t raw = 0;
            const auto frames = readFrames(link.fd.get(), 1, DefaultWait, &reads, &raw);
            ASSERT_EQ(frames.size(), 1U) << m.on;
            EXPECT_EQ(frames[0], bytesOf(protocol::ResetBlock)) << m.on;
            if (m.extraBytes) {
                EXPECT_GT(raw, protocol::ParameterBlockSize);
            }
        }
        if (m.moreReads) {
            // A busy reader may take two pieces at once now and then, never every time.
            EXPECT_GT(reads, Rounds) << "pieces arrive apart";
        }
        ASSERT_EQ(sim.command(m.off), "ok");
    }
}

TEST(SimFaults, ControlCommandsReportErrors) {
    SimProcess sim(quietArgs({"--serial", "1"}));
    ASSERT_TRUE(sim.ready());
    EXPECT_EQ(sim.command("silent 3 on").rfind("error", 0), 0U);
    EXPECT_EQ(sim.command("refuse 2 on").rfind("error", 0), 0U) << "serial has no TCP port";
    EXPECT_EQ(sim.command("unplug 1").rfind("error", 0), 0U) << "network has no plug";
    EXPECT_EQ(sim.command("discovery 1 pigeon").rfind("error", 0), 0U);
    EXPECT_EQ(sim.command("frobnicate").rfind("error", 0), 0U);
    EXPECT_EQ(sim.command("silent all on"), "ok");
}

// ---- the serial device --------------------------------------------------------------

TEST(SimOverSerial, AnswersOnThePseudoTerminalAndSurvivesUnplug) {
    const auto link = tempPath("tq50r-sim-tty-");
    SimProcess sim(quietArgs({"--devices", "0", "--serial", "1", "--serial-link", link.string()}));
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(sim.devices().size(), 1U);
    EXPECT_EQ(sim.device(1).kind, "serial");
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.device(1).where);

    Link port{openSerial(link.string())};
    ASSERT_TRUE(port.fd);
    // The application claims the port exclusively whenever it opens it; the
    // claim must not outlive its close, or the next opening fails.
    ASSERT_EQ(::ioctl(port.fd.get(), TIOCEXCL), 0);
    // The probe and the connect as the application sends them: no preamble on serial.
    EXPECT_EQ(port.ask(request(CommandCode::Poll)), std::vector<Bytes>{request(CommandCode::Poll)});
    int exclusive = -1;
    ASSERT_EQ(::ioctl(port.fd.get(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    auto frames = port.ask(request(CommandCode::Connect));
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(protocol::readConnectReply(view(frames[0]))->revision, 17);

    const std::string unplugged = sim.command("unplug 1");
    EXPECT_NE(unplugged.find("serial unplugged"), std::string::npos) << unplugged;
    EXPECT_TRUE(peerClosed(port.fd.get())) << "the open port sees the device vanish";
    EXPECT_FALSE(std::filesystem::is_symlink(link));

    const std::string plugged = sim.command("plug 1");
    EXPECT_NE(plugged.find("serial /dev/"), std::string::npos) << plugged;
    Link again{openSerial(link.string())};
    ASSERT_TRUE(again.fd);
    frames = again.ask(request(CommandCode::Recall));
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0], bytesOf(protocol::ResetBlock));
    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the process";
}

// ---- many devices, one process ---------------------------------------------------------

TEST(SimProcessLife, ManyDevicesEachReachableAndSigtermEndsCleanly) {
    SimProcess sim(quietArgs({"--devices", "3", "--serial", "1"}));
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(sim.devices().size(), 4U);
    const char* hosts[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(sim.device(n).kind, "tcp");
        EXPECT_EQ(sim.device(n).host, hosts[n - 1]);
        Link link = tcpTo(sim, n);
        const auto frames = link.ask(request(CommandCode::Connect));
        ASSERT_EQ(frames.size(), 1U);
        EXPECT_EQ(protocol::readConnectReply(view(frames[0]))->name,
                  "TQ50R Sim " + std::to_string(n));
    }
    EXPECT_EQ(sim.device(4).kind, "serial");
    struct stat st {};
    EXPECT_EQ(::stat(sim.device(4).where.c_str(), &st), 0);
    EXPECT_EQ(sim.terminate(), 0);
}

TEST(SimProcessLife, AutomaticAddressesLetSimulatorsShareTheDevicePort) {
    // Both on port 5000, as the application dials it; the second moves aside.
    const std::vector<std::string> args = {"--address",   "auto", "--tcp-port", "5000",
                                           "--discovery", "none", "--devices",  "2"};
    SimProcess first(args);
    SimProcess second(args);
    ASSERT_TRUE(first.ready());
    ASSERT_TRUE(second.ready());
    std::vector<std::string> hosts;
    for (const SimProcess* sim : {&first, &second}) {
        for (int n = 1; n <= 2; ++n) {
            EXPECT_EQ(sim->device(n).port, 5000);
            EXPECT_EQ(sim->device(n).host.rfind("127.0.", 0), 0U);
            hosts.push_back(sim->device(n).host);
            Link link = tcpTo(*sim, n);
            EXPECT_EQ(link.ask(request(CommandCode::Poll)).size(), 1U);
        }
    }
    std::sort(hosts.begin(), hosts.end());
    EXPECT_EQ(std::unique(hosts.begin(), hosts.end()), hosts.end()) << "four distinct devices";
}

TEST(SimProcessLife, RefusesNamespaceModeOutsideAPrivateNamespace) {
    SimProcess sim({"--namespace-ok", "--discovery", "none", "--tcp-port", "0"});
    EXPECT_FALSE(sim.ready());
    EXPECT_EQ(sim.terminate(), 1);
    EXPECT_NE(sim.stderrText().find("namespace"), std::string::npos);
}

TEST(SimProcessLife, RejectsAddressesOutsideLoopback) {
    SimProcess sim({"--app-address", "255.255.255.255"});
    EXPECT_FALSE(sim.ready());
    EXPECT_EQ(sim.terminate(), 2);
}

// ---- discovery ------------------------------------------------------------------------

struct DiscoveryPorts {
    std::uint16_t port8000 = freeUdpPort();
    std::uint16_t ssdp = freeUdpPort();
    std::uint16_t module = freeUdpPort();
    base::UniqueFd fd8000 = udpListener(port8000);
    base::UniqueFd fdSsdp = udpListener(ssdp);
    base::UniqueFd fdModule = udpListener(module);
    std::vector<std::string> args(const std::string& paths) const {
        return {"--tcp-port",    "0",
                "--discovery",   paths,
                "--announce-ms", "200",
                "--port8000",    std::to_string(port8000),
                "--ssdp-port",   std::to_string(ssdp),
                "--module-port", std::to_string(module)};
    }
};

bool contains(const Bytes& data, std::string_view text) {
    return std::search(data.begin(), data.end(), text.begin(), text.end()) != data.end();
}

TEST(SimDiscovery, EachPathReachesItsListenerAlone) {
    struct Case {
        const char* path;
        base::UniqueFd DiscoveryPorts::*fd;
    };
    for (const Case& c :
         {Case{"8000", &DiscoveryPorts::fd8000}, Case{"ssdp", &DiscoveryPorts::fdSsdp},
          Case{"module", &DiscoveryPorts::fdModule}}) {
        DiscoveryPorts ports;
        ASSERT_TRUE(ports.fd8000 && ports.fdSsdp && ports.fdModule);
        SimProcess sim(ports.args(c.path));
        ASSERT_TRUE(sim.ready()) << c.path;
        const auto got = receiveDatagram((ports.*(c.fd)).get());
        ASSERT_TRUE(got) << c.path;
        EXPECT_EQ(got->from, "127.0.0.2") << "the device's own address is its key";
        const std::string path = c.path;
        if (path == "8000") {
            EXPECT_GT(got->data.size(), 12U);
        } else if (path == "ssdp") {
            EXPECT_TRUE(contains(got->data, "upnp_MDL-S2E"));
            EXPECT_LE(got->data.size(), 1024U);
        } else {
            EXPECT_GT(got->data.size(), 20U);
        }
        // The other listeners hear nothing, over several announcement periods.
        for (base::UniqueFd DiscoveryPorts::*other :
             {&DiscoveryPorts::fd8000, &DiscoveryPorts::fdSsdp, &DiscoveryPorts::fdModule}) {
            if (other != c.fd) {
                EXPECT_FALSE(receiveDatagram((ports.*other).get(), Ms{500})) << c.path;
            }
        }
    }
}

TEST(SimDiscovery, DevicesAnnounceFromTheirOwnAddresses) {
    DiscoveryPorts ports;
    auto args = ports.args("module");
    args.push_back("--devices");
    args.push_back("3");
    SimProcess sim(args);
    ASSERT_TRUE(sim.ready());
    std::vector<std::string> sources;
    for (int i = 0; i < 30 && sources.size() < 3; ++i) {
        const auto got = receiveDatagram(ports.fdModule.get());
        ASSERT_TRUE(got);
        if (std::find(sources.begin(), sources.end(), got->from) == sources.end()) {
            sources.push_back(got->from);
        }
    }
    std::sort(sources.begin(), sources.end());
    EXPECT_EQ(sources, (std::vector<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.4"}));
}

TEST(SimDiscovery, LeavesTheApplicationsPortsFreeToBindOnAnyAddress) {
    const std::uint16_t port8000 = freeUdpPort();
    const std::uint16_t module = freeUdpPort();
    SimProcess sim({"--tcp-port", "0", "--port8000", std::to_string(port8000), "--module-port",
                    std::to_string(module), "--ssdp-port", std::to_string(freeUdpPort())});
    ASSERT_TRUE(sim.ready());
    // The application binds its listeners to any address, without address reuse.
    for (const std::uint16_t port : {port8000, module}) {
        const base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const sockaddr_in any = ipv4Address("0.0.0.0", port);
        EXPECT_EQ(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any), 0) << port;
    }
}

TEST(SimDiscovery, AnswersSearchesAndSwitchesPathsAtRunTime) {
    DiscoveryPorts ports;
    auto args = ports.args("none");
    args.push_back("--answer-searches");
    args.push_back("--announce-ms");
    args.push_back("3600000"); // no periodic announcement during the test
    SimProcess sim(args);
    ASSERT_TRUE(sim.ready());

    const auto search = [&](int fd, std::uint16_t port, const Bytes& data) {
        const sockaddr_in device = ipv4Address("127.0.0.2", port);
        return ::sendto(fd, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&device),
                        sizeof device) == static_cast<ssize_t>(data.size());
    };
    const std::string text = "HF-A11ASSISTHREAD";
    Bytes moduleSearch(text.begin(), text.end());
    moduleSearch.push_back(0x00);
    const Bytes port8000Search = {0x01, 0x02, 0x00, 0x0C, 0x00, 0x00,
                                  0x00, 0x00, 0x00, 0x01, 0xFF, 0xFF};

    ASSERT_TRUE(search(ports.fdModule.get(), ports.module, moduleSearch));
    EXPECT_FALSE(receiveDatagram(ports.fdModule.get(), Ms{300})) << "path off: no answer";

    EXPECT_EQ(sim.command("discovery 1 module,8000"), "ok");
    ASSERT_TRUE(search(ports.fdModule.get(), ports.module, moduleSearch));
    const auto moduleAnswer = receiveDatagram(ports.fdModule.get());
    ASSERT_TRUE(moduleAnswer);
    EXPECT_EQ(moduleAnswer->from, "127.0.0.2");
    EXPECT_TRUE(contains(moduleAnswer->data, "127.0.0.2,"));

    ASSERT_TRUE(search(ports.fd8000.get(), ports.port8000, port8000Search));
    const auto answer8000 = receiveDatagram(ports.fd8000.get());
    ASSERT_TRUE(answer8000);
    EXPECT_EQ(answer8000->from, "127.0.0.2");
    EXPECT_GT(answer8000->data.size(), 12U);

    // Our own search echoed back must not count: a wrong datagram draws nothing.
    ASSERT_TRUE(search(ports.fd8000.get(), ports.port8000, Bytes(12, 0x00)));
    EXPECT_FALSE(receiveDatagram(ports.fd8000.get(), Ms{300}));

    // "announce" sends the enabled paths at once.
    EXPECT_EQ(sim.command("announce 1"), "ok");
    EXPECT_TRUE(receiveDatagram(ports.fdModule.get()));
    EXPECT_TRUE(receiveDatagram(ports.fd8000.get()));
    EXPECT_FALSE(receiveDatagram(ports.fdSsdp.get(), Ms{300}));
}

} // namespace
} // namespace tq50r::sim::testing
