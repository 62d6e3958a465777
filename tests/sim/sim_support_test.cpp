#include "base/unique_fd.h"
#include "control.h"
#include "event_loop.h"
#include "faults.h"
#include "net_guard.h"
#include "protocol/frame_parser.h"
#include "protocol/frames.h"
#include "sim_options.h"
#include "simulator.h"
#include "support/open_descriptors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace tq50r::sim {
namespace {

in_addr addr(const char* text) {
    in_addr a{};
    EXPECT_EQ(::inet_pton(AF_INET, text, &a), 1) << text;
    return a;
}

// ---- the send guard ----------------------------------------------------------

TEST(SendGuard, OnlyLoopbackDestinationsLeaveWithoutNamespace) {
    const struct {
        const char* address;
        bool allowed;
    } cases[] = {
        {"127.0.0.1", true},        {"127.0.0.2", true},     {"127.255.255.254", true},
        {"126.255.255.255", false}, {"128.0.0.0", false},    {"255.255.255.255", false},
        {"239.255.255.250", false}, {"192.168.1.20", false}, {"10.0.0.1", false},
        {"0.0.0.0", false},         {"172.16.0.1", false},   {"8.8.8.8", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(destinationAllowed(addr(c.address), false), c.allowed) << c.address;
        EXPECT_TRUE(destinationAllowed(addr(c.address), true)) << c.address;
    }
}

TEST(SendGuard, RefusedDestinationNeverReachesTheSocket) {
    const base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ASSERT_TRUE(fd);
    const std::uint8_t data[] = {1, 2, 3};
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(9);
    for (const char* text : {"255.255.255.255", "239.255.255.250", "192.168.0.1"}) {
        dest.sin_addr = addr(text);
        EXPECT_EQ(guardedSendTo(fd.get(), data, dest, false), SendResult::Refused) << text;
    }
    // A loopback destination goes through; a closed socket shows it reached sendto().
    dest.sin_addr = addr("127.0.0.1");
    EXPECT_EQ(guardedSendTo(-1, data, dest, false), SendResult::Failed);
}

TEST(SendGuard, DefaultRouteMeansTheNamespaceHasAWayOut) {
    const std::string header = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\t"
                               "MTU\tWindow\tIRTT\n";
    const struct {
        const char* table;
        bool defaultRoute;
    } cases[] = {
        {"", false},
        {"veth0\t0000090A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n", false},
        {"eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", true},
        // A host route to 0.0.0.0 with a full mask is not a way out.
        {"lo\t00000000\t00000000\t0001\t0\t0\t0\tFFFFFFFF\t0\t0\t0\n", false},
    };
    for (const auto& c : cases) {
        std::istringstream routes(header + c.table);
        EXPECT_EQ(hasDefaultRoute(routes), c.defaultRoute) << c.table;
    }
}

TEST(SendGuard, AddressHelpers) {
    EXPECT_EQ(addressText(offsetAddress(addr("127.0.0.254"), 3)), "127.0.1.1");
    in_addr out{};
    EXPECT_TRUE(parseAddress("127.0.0.9", out));
    EXPECT_FALSE(parseAddress("127.0.0", out));
    EXPECT_FALSE(parseAddress("localhost", out));
}

// ---- options -----------------------------------------------------------------

TEST(SimOptionsParse, DefaultsDescribeOneDeviceOnTheDevicePorts) {
    const ParsedOptions p = parseOptions({});
    ASSERT_EQ(p.error, "");
    const SimOptions& o = p.options;
    EXPECT_EQ(o.networkDevices, 1);
    EXPECT_EQ(o.serialDevices, 0);
    EXPECT_EQ(addressText(o.baseAddress), "127.0.0.2");
    EXPECT_EQ(addressText(o.appAddress), "127.0.0.1");
    EXPECT_EQ(o.tcpPort, 5000);
    EXPECT_EQ(o.port8000, 8000);
    EXPECT_EQ(o.ssdpPort, 1900);
    EXPECT_EQ(o.modulePort, 48899);
    EXPECT_EQ(o.discovery, DiscoveryAll);
    EXPECT_EQ(o.revision, 17);
    EXPECT_FALSE(o.namespaceOk);
}

TEST(SimOptionsParse, ReadsValuesInBothSpellings) {
    const ParsedOptions p =
        parseOptions({"--devices",  "3",          "--serial=1",      "--serial-link",   "/tmp/tq",
                      "--tcp-port", "0",          "--discovery",     "ssdp,module",     "--flags",
                      "0,1,0,5",    "--mac",      "00a1b0123abc",    "--delay-ms=250",  "--split",
                      "--silent",   "--log-file", "/tmp/frames.log", "--max-runtime-s", "9"});
    ASSERT_EQ(p.error, "");
    const SimOptions& o = p.options;
    EXPECT_EQ(o.networkDevices, 3);
    EXPECT_EQ(o.serialDevices, 1);
    EXPECT_EQ(o.serialLinks, std::vector<std::string>{"/tmp/tq"});
    EXPECT_EQ(o.tcpPort, 0);
    EXPECT_EQ(o.discovery, unsigned{DiscoverySsdp | DiscoveryModule});
    EXPECT_EQ(o.flags, (std::array<std::uint8_t, 4>{0, 1, 0, 5}));
    EXPECT_EQ(o.macText, "00a1b0123abc");
    EXPECT_EQ(o.faults.delayMs, 250);
    EXPECT_TRUE(o.faults.split);
    EXPECT_TRUE(o.faults.silent);
    EXPECT_TRUE(o.logFrames);
    EXPECT_EQ(o.logFile, "/tmp/frames.log");
    EXPECT_EQ(o.maxRuntimeS, 9);
}

TEST(SimOptionsParse, RejectsWhatItCannotUse) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--devices"}, // value missing
        {"--devices", "many"},
        {"--devices", "-1"},
        {"--tcp-port", "70000"},
        {"--flags", "0,1,0"}, // four flags
        {"--flags", "0,1,0,0,0"},
        {"--flags", "0,1,0,256"},
        {"--mac", "00A1B0123AB"}, // 11 digits
        {"--mac", "00A1B0123ABG"},
        {"--discovery", "8000,carrier"},
        {"--discovery", ""},
        {"--silent=yes"},              // a switch takes no value
        {"--address", "192.168.1.10"}, // never outside loopback...
        {"--app-address", "255.255.255.255"},
        {"--address", "127.255.255.254", "--devices", "3"}, // ...not even device 3
    };
    for (const auto& args : bad) {
        EXPECT_NE(parseOptions(args).error, "") << args.front();
    }
    // The same addresses pass once a namespace is claimed (checked again at start).
    EXPECT_EQ(parseOptions({"--address", "10.1.0.2", "--namespace-ok"}).error, "");
    // "auto" searches from the first device address whatever came before it.
    const ParsedOptions automatic =
        parseOptions({"--address", "127.255.255.2", "--address", "auto"});
    ASSERT_EQ(automatic.error, "");
    EXPECT_TRUE(automatic.options.autoAddress);
    EXPECT_EQ(addressText(automatic.options.baseAddress), "127.0.0.2");
}

TEST(SimOptionsParse, DiscoveryLists) {
    EXPECT_EQ(parseDiscoveryList("all"), unsigned{DiscoveryAll});
    EXPECT_EQ(parseDiscoveryList("none"), unsigned{DiscoveryNone});
    EXPECT_EQ(parseDiscoveryList("8000"), unsigned{DiscoveryPort8000});
    EXPECT_EQ(parseDiscoveryList("1900,48899"), unsigned{DiscoverySsdp | DiscoveryModule});
    EXPECT_FALSE(parseDiscoveryList("8000,,ssdp"));
    EXPECT_FALSE(parseDiscoveryList("SSDP"));
}

// ---- control lines -------------------------------------------------------------

TEST(ControlLines, ParsesDeviceArgumentsAndRanges) {
    const auto silent = parseControlLine("silent 2 on", 3);
    ASSERT_TRUE(silent.command);
    EXPECT_EQ(silent.command->device, 2);
    EXPECT_TRUE(silent.command->on);

    const auto flags = parseControlLine("  flags all 0 1 0 255 ", 3);
    ASSERT_TRUE(flags.command);
    EXPECT_EQ(flags.command->device, AllDevices);
    EXPECT_EQ(flags.command->numbers, (std::vector<long long>{0, 1, 0, 255}));

    const auto burning = parseControlLine("burning 1 12 4294967295", 1);
    ASSERT_TRUE(burning.command);
    EXPECT_EQ(burning.command->numbers.back(), 4294967295LL);

    const auto empty = parseControlLine("   ", 1);
    EXPECT_FALSE(empty.command);
    EXPECT_EQ(empty.error, "");
}

TEST(ControlLines, RejectsBadLines) {
    for (const char* line :
         {"explode 1", "silent 4 on", "silent 0 on", "silent 1 maybe", "silent 1",
          "silent 1 on now", "delay 1 -5", "delay 1 60001", "temperature 1 65536", "flags 1 0 0 0",
          "state all", "quit now", "drop one"}) {
        const auto parsed = parseControlLine(line, 3);
        EXPECT_FALSE(parsed.command) << line;
        EXPECT_NE(parsed.error, "") << line;
    }
}

// ---- shaping answers under faults ---------------------------------------------

std::vector<Bytes> sampleFrames() {
    const auto poll = protocol::buildRequest(protocol::CommandCode::Poll);
    return {Bytes(poll.begin(), poll.end()),
            Bytes(protocol::ResetBlock.begin(), protocol::ResetBlock.end())};
}

Bytes joined(const std::vector<Chunk>& chunks) {
    Bytes all;
    for (const auto& c : chunks) {
        all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    }
    return all;
}

// The frames a receiver assembles from `stream`.
std::vector<Bytes> parsed(const Bytes& stream) {
    std::vector<Bytes> frames;
    protocol::FrameParser parser([&](protocol::FrameBytes f, protocol::FrameSource) {
        frames.emplace_back(f.begin(), f.end());
    });
    parser.feed(stream, 0);
    return frames;
}

// Each frame leaves whole; a delay puts only the first chunk later.
TEST(AnswerShaping, WithoutSplitOrGarbageFramesLeaveWholeAndOnlyTheFirstIsDelayed) {
    const auto frames = sampleFrames();
    for (const int delayMs : {0, 300}) {
        std::mt19937 rng(1);
        FaultSettings faults;
        faults.delayMs = delayMs;
        const auto chunks = shapeAnswer(frames, faults, rng);
        ASSERT_EQ(chunks.size(), 2U) << "delay " << delayMs;
        EXPECT_EQ(chunks[0].bytes, frames[0]);
        EXPECT_EQ(chunks[1].bytes, frames[1]);
        EXPECT_EQ(chunks[0].delayMs, delayMs);
        EXPECT_EQ(chunks[1].delayMs, 0);
    }
}

TEST(AnswerShaping, SplitAndGarbageStillCarryEveryFrameIntact) {
    const auto frames = sampleFrames();
    for (std::uint32_t seed = 0; seed < 200; ++seed) {
        std::mt19937 rng(seed);
        for (const bool garbage : {false, true}) {
            FaultSettings faults;
            faults.split = true;
            faults.garbage = garbage;
            const auto chunks = shapeAnswer(frames, faults, rng);
            EXPECT_GE(chunks.size(), 4U) << "every frame in two pieces at least";
            for (std::size_t i = 0; i < chunks.size(); ++i) {
                EXPECT_FALSE(chunks[i].bytes.empty());
                if (i > 0) {
                    EXPECT_EQ(chunks[i].delayMs, SplitGapMs);
                }
            }
            const Bytes stream = joined(chunks);
            EXPECT_EQ(parsed(stream), frames) << "seed " << seed;
            if (!garbage) {
                EXPECT_EQ(stream.size(), frames[0].size() + frames[1].size());
            }
        }
    }
}

TEST(AnswerShaping, GarbageRunsAreShortAndNeverHoldAHeaderStart) {
    const auto frames = sampleFrames();
    for (std::uint32_t seed = 0; seed < 200; ++seed) {
        std::mt19937 rng(seed);
        FaultSettings faults;
        faults.garbage = true;
        const auto chunks = shapeAnswer(frames, faults, rng);
        ASSERT_EQ(chunks.size(), 2U);
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            const Bytes& c = chunks[i].bytes;
            const std::size_t run = c.size() - frames[i].size();
            EXPECT_GE(run, 1U);
            EXPECT_LE(run, static_cast<std::size_t>(MaxGarbageBytes));
            EXPECT_TRUE(std::none_of(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(run),
                                     [](std::uint8_t b) { return b == GarbageExcludedByte; }));
            EXPECT_TRUE(std::equal(frames[i].begin(), frames[i].end(),
                                   c.begin() + static_cast<std::ptrdiff_t>(run)));
        }
    }
}

TEST(AnswerShaping, ChunkTimesCountEachDelayFromItsRequestAndKeepTheOrder) {
    const SendClock::time_point t0{};
    const auto at = [&](int ms) { return t0 + std::chrono::milliseconds{ms}; };
    const struct {
        const char* what;
        std::vector<int> delaysMs; // of the answer's chunks
        int nowMs;
        int notBeforeMs;
        std::vector<int> expectedMs;
    } cases[] = {
        {"nothing waiting: at once", {0}, 100, 0, {100}},
        {"delay from this request, not from the answer before", {400}, 10, 400, {410}},
        {"pieces follow one another", {400, SplitGapMs, SplitGapMs}, 0, 0, {400, 410, 420}},
        {"behind an answer still on its way", {0, SplitGapMs}, 100, 300, {300, 310}},
        {"a shorter delay does not overtake", {50}, 100, 500, {500}},
    };
    for (const auto& c : cases) {
        std::vector<Chunk> chunks;
        for (const int delayMs : c.delaysMs) {
            chunks.push_back(Chunk{delayMs, Bytes{0x00}});
        }
        std::vector<SendClock::time_point> expected;
        for (const int ms : c.expectedMs) {
            expected.push_back(at(ms));
        }
        EXPECT_EQ(chunkTimes(chunks, at(c.nowMs), at(c.notBeforeMs)), expected) << c.what;
    }
}

// ---- event loop ----------------------------------------------------------------

TEST(SimEventLoop, TimersRunInDueOrderAndCancelledOnesNever) {
    EventLoop loop;
    std::vector<int> order;
    loop.after(std::chrono::milliseconds{20}, [&] { order.push_back(2); });
    loop.after(std::chrono::milliseconds{0}, [&] { order.push_back(1); });
    const auto cancelled = loop.after(std::chrono::milliseconds{10}, [&] { order.push_back(9); });
    loop.after(std::chrono::milliseconds{30}, [&] {
        order.push_back(3);
        loop.stop();
    });
    // Two timers for the same moment run in the order they were set.
    const auto same = EventLoop::Clock::now() + std::chrono::milliseconds{25};
    loop.at(same, [&] { order.push_back(4); });
    loop.at(same, [&] { order.push_back(5); });
    loop.cancel(cancelled);
    loop.run(EventLoop::Clock::now() + std::chrono::seconds{5});
    EXPECT_EQ(order, (std::vector<int>{1, 2, 4, 5, 3}));
    EXPECT_EQ(loop.pendingTimers(), 0U);
}

TEST(SimEventLoop, RunEndsAtItsDeadline) {
    EventLoop loop;
    const auto start = EventLoop::Clock::now();
    loop.run(start + std::chrono::milliseconds{50});
    EXPECT_FALSE(loop.stopped());
    EXPECT_GE(EventLoop::Clock::now() - start, std::chrono::milliseconds{50});
}

TEST(SimEventLoop, AHandlerMayCloseAnotherReadyFd) {
    std::array<int, 2> a{-1, -1};
    std::array<int, 2> b{-1, -1};
    ASSERT_EQ(::pipe(a.data()), 0);
    ASSERT_EQ(::pipe(b.data()), 0);
    const std::array<base::UniqueFd, 4> owned{base::UniqueFd(a[0]), base::UniqueFd(a[1]),
                                              base::UniqueFd(b[0]), base::UniqueFd(b[1])};
    ASSERT_EQ(::write(a[1], "x", 1), 1);
    ASSERT_EQ(::write(b[1], "y", 1), 1);
    EventLoop loop;
    int calls = 0;
    // Whichever runs first unwatches the other; the other must not run.
    loop.watch(a[0], POLLIN, [&](short) {
        ++calls;
        loop.unwatch(b[0]);
    });
    loop.watch(b[0], POLLIN, [&](short) {
        ++calls;
        loop.unwatch(a[0]);
    });
    loop.runOnce(std::chrono::milliseconds{100});
    EXPECT_EQ(calls, 1);
}

// A device whose TCP port another socket holds cannot start; a started simulator ends. Neither
// leaves a socket, pseudo-terminal or pipe open.
TEST(SimDescriptors, NoneLeakWhenAPortIsTakenOrWhenTheSimulatorEnds) {
    const base::UniqueFd holder(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.2", &local.sin_addr);
    ASSERT_EQ(::bind(holder.get(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    ASSERT_EQ(::listen(holder.get(), 1), 0);
    socklen_t length = sizeof local;
    ASSERT_EQ(::getsockname(holder.get(), reinterpret_cast<sockaddr*>(&local), &length), 0);
    const std::string taken = std::to_string(ntohs(local.sin_port));
    std::ostringstream out;
    std::ostringstream err;
    const auto run = [&](const std::string& tcpPort) {
        const ParsedOptions parsed = parseOptions({"--devices", "2", "--serial", "1", "--tcp-port",
                                                   tcpPort, "--control-port", "0", "--no-stdin"});
        EXPECT_EQ(parsed.error, "");
        Simulator sim(parsed.options, out, err);
        return sim.start();
    };
    const long leaked = tq50r::testing::descriptorsLeakedBy([&] {
        EXPECT_FALSE(run(taken));
        EXPECT_TRUE(run("0"));
    });
    EXPECT_EQ(leaked, 0);
}

} // namespace
} // namespace tq50r::sim
