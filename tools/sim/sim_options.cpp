#include "sim_options.h"

#include "net_guard.h"
#include "protocol/frames.h"

#include <arpa/inet.h>
#include <charconv>
#include <functional>
#include <limits>
#include <map>
#include <sstream>

namespace tq50r::sim {

namespace {

constexpr int MaxDelayMs = 60000;
constexpr int MinAnnounceMs = 50;
constexpr int MaxAnnounceMs = 3600000;
constexpr int MaxRevision = 255;
constexpr int MaxReading = 65535;
constexpr int MaxBurnCount = 255;
constexpr int MaxPort = 65535;
constexpr int MaxRuntimeS = 7 * 24 * 3600;
constexpr const char* DefaultBaseAddress = "127.0.0.2";
constexpr const char* DefaultAppAddress = "127.0.0.1";

template <typename Int> bool parseInt(const std::string& text, Int& out, Int lo, Int hi) {
    Int value{};
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || value < lo || value > hi) {
        return false;
    }
    out = value;
    return true;
}

bool parsePort(const std::string& text, std::uint16_t& out) {
    int port = 0;
    if (!parseInt(text, port, 0, MaxPort)) {
        return false;
    }
    out = static_cast<std::uint16_t>(port);
    return true;
}

bool parseFlags(const std::string& text, std::array<std::uint8_t, StatusFlagCount>& out) {
    std::array<std::uint8_t, StatusFlagCount> flags{};
    std::stringstream in(text);
    std::string item;
    std::size_t i = 0;
    while (std::getline(in, item, ',')) {
        int value = 0;
        if (i >= flags.size() ||
            !parseInt(item, value, 0, int{std::numeric_limits<std::uint8_t>::max()})) {
            return false;
        }
        flags[i++] = static_cast<std::uint8_t>(value);
    }
    if (i != flags.size()) {
        return false;
    }
    out = flags;
    return true;
}

} // namespace

std::optional<unsigned> parseDiscoveryList(const std::string& text) {
    static const std::map<std::string, unsigned> names = {
        {"8000", DiscoveryPort8000}, {"ssdp", DiscoverySsdp},    {"1900", DiscoverySsdp},
        {"module", DiscoveryModule}, {"48899", DiscoveryModule}, {"all", DiscoveryAll},
        {"none", DiscoveryNone},
    };
    unsigned bits = DiscoveryNone;
    std::stringstream in(text);
    std::string item;
    bool any = false;
    while (std::getline(in, item, ',')) {
        const auto it = names.find(item);
        if (it == names.end()) {
            return std::nullopt;
        }
        bits |= it->second;
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return bits;
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    SimOptions& o = parsed.options;
    ::inet_pton(AF_INET, DefaultBaseAddress, &o.baseAddress);
    ::inet_pton(AF_INET, DefaultAppAddress, &o.appAddress);

    using Setter = std::function<bool(const std::string&)>;
    const std::map<std::string, Setter> valued = {
        {"--devices",
         [&](const std::string& v) { return parseInt(v, o.networkDevices, 0, MaxDevices); }},
        {"--serial",
         [&](const std::string& v) { return parseInt(v, o.serialDevices, 0, MaxDevices); }},
        {"--serial-link",
         [&](const std::string& v) {
             o.serialLinks.push_back(v);
             return !v.empty();
         }},
        {"--address",
         [&](const std::string& v) {
             o.autoAddress = v == "auto";
             if (o.autoAddress) {
                 // The search always starts from the first device address.
                 return parseAddress(DefaultBaseAddress, o.baseAddress);
             }
             return parseAddress(v, o.baseAddress);
         }},
        {"--tcp-port", [&](const std::string& v) { return parsePort(v, o.tcpPort); }},
        {"--app-address", [&](const std::string& v) { return parseAddress(v, o.appAddress); }},
        {"--port8000", [&](const std::string& v) { return parsePort(v, o.port8000); }},
        {"--ssdp-port", [&](const std::string& v) { return parsePort(v, o.ssdpPort); }},
        {"--module-port", [&](const std::string& v) { return parsePort(v, o.modulePort); }},
        {"--discovery",
         [&](const std::string& v) {
             const auto bits = parseDiscoveryList(v);
             o.discovery = bits.value_or(o.discovery);
             return bits.has_value();
         }},
        {"--announce-ms",
         [&](const std::string& v) {
             return parseInt(v, o.announceMs, MinAnnounceMs, MaxAnnounceMs);
         }},
        {"--name",
         [&](const std::string& v) {
             o.baseName = v;
             return true;
         }},
        {"--revision",
         [&](const std::string& v) { return parseInt(v, o.revision, 0, MaxRevision); }},
        {"--preset",
         [&](const std::string& v) {
             o.presetPath = v;
             return !v.empty();
         }},
        {"--mac",
         [&](const std::string& v) {
             o.macText = v;
             return protocol::macBytesFromText(v).has_value();
         }},
        {"--temperature",
         [&](const std::string& v) { return parseInt(v, o.temperatureReading, 0, MaxReading); }},
        {"--flags", [&](const std::string& v) { return parseFlags(v, o.flags); }},
        {"--burn-count",
         [&](const std::string& v) { return parseInt(v, o.burnCount, 0, MaxBurnCount); }},
        {"--burn-minutes",
         [&](const std::string& v) {
             return parseInt(v, o.burnMinutes, 0U, std::numeric_limits<std::uint32_t>::max());
         }},
        {"--delay-ms",
         [&](const std::string& v) { return parseInt(v, o.faults.delayMs, 0, MaxDelayMs); }},
        {"--drop-after",
         [&](const std::string& v) {
             return parseInt(v, o.faults.dropAfterFrames, 0, std::numeric_limits<int>::max());
         }},
        {"--log-file",
         [&](const std::string& v) {
             o.logFile = v;
             o.logFrames = true;
             return !v.empty();
         }},
        {"--control-port",
         [&](const std::string& v) { return parseInt(v, o.controlPort, 0, MaxPort); }},
        {"--seed",
         [&](const std::string& v) {
             o.seedGiven = true;
             return parseInt(v, o.seed, 0U, std::numeric_limits<std::uint32_t>::max());
         }},
        {"--max-runtime-s",
         [&](const std::string& v) { return parseInt(v, o.maxRuntimeS, 0, MaxRuntimeS); }},
    };
    const std::map<std::string, std::function<void()>> flags = {
        {"--drift", [&] { o.drift = true; }},
        {"--answer-searches", [&] { o.answerSearches = true; }},
        {"--silent", [&] { o.faults.silent = true; }},
        {"--refuse", [&] { o.faults.refuse = true; }},
        {"--split", [&] { o.faults.split = true; }},
        {"--garbage", [&] { o.faults.garbage = true; }},
        {"--log-frames", [&] { o.logFrames = true; }},
        {"--no-stdin", [&] { o.readStdin = false; }},
        {"--namespace-ok", [&] { o.namespaceOk = true; }},
        {"--help", [&] { o.help = true; }},
        {"-h", [&] { o.help = true; }},
        {"--version", [&] { o.version = true; }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (const auto f = flags.find(name); f != flags.end() && !value) {
            f->second();
            continue;
        }
        const auto v = valued.find(name);
        if (v == valued.end()) {
            parsed.error = "unknown option " + args[i];
            return parsed;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                parsed.error = "option " + name + " needs a value";
                return parsed;
            }
            value = args[++i];
        }
        if (!v->second(*value)) {
            parsed.error = "bad value for " + name + ": " + *value;
            return parsed;
        }
    }

    const auto lastNetwork =
        offsetAddress(o.baseAddress, static_cast<std::uint32_t>(std::max(o.networkDevices - 1, 0)));
    if (!o.namespaceOk &&
        (!isLoopback(o.baseAddress) || !isLoopback(lastNetwork) || !isLoopback(o.appAddress))) {
        parsed.error = "addresses must lie in 127.0.0.0/8 (use --namespace-ok only inside a "
                       "network namespace of your own)";
    }
    return parsed;
}

std::string helpText() {
    return R"(tq50r-sim: simulated TQ50R devices on loopback

Usage: tq50r-sim [options]

Devices
  --devices N          network devices (default 1), device n on ADDRESS + n - 1
  --serial N           serial devices on pseudo-terminals (default 0)
  --serial-link PATH   symlink to the pseudo-terminal; repeat for each serial device
  --address A          first device address (default 127.0.0.2); "auto": the first
                       of 127.0.0.2, 127.0.1.2, ... where every TCP port is free
  --tcp-port P         TCP port of every network device (default 5000, 0 = any free)
  --name TEXT          device names TEXT 1, TEXT 2, ... (default "TQ50R Sim")
  --revision N         revision byte of the Connect reply (default 17)
  --preset FILE        start setting from a preset file (default: the reset setting)
  --mac HEX12          MAC of device 1; device n adds n - 1 (default 025451500001)
  --temperature R      temperature reading of the status reply (default 620)
  --drift              let the reading drift slowly
  --flags a,b,c,d      protection, over-temperature, voltage, standby (default 0,0,0,0)
  --burn-count N       burn-in success count (default 0)
  --burn-minutes M     burn-in minutes (default 0)

Discovery (datagrams go to APP-ADDRESS only, never broadcast)
  --app-address A      where the application listens (default 127.0.0.1)
  --discovery LIST     comma list of 8000, ssdp, module; or all, none (default all)
  --port8000 P         port-8000 answers go here (default 8000)
  --ssdp-port P        SSDP announcements go here (default 1900)
  --module-port P      module answers go here (default 48899)
  --announce-ms MS     announcement period (default 2000)
  --answer-searches    also answer search datagrams sent to the device's address on
                       the port-8000 and module ports (those ports are then taken on
                       the device address, which keeps an application on the same
                       machine from binding them on any address)

Faults (also switchable at run time, see Control)
  --silent             read frames but never answer
  --refuse             refuse TCP connections
  --delay-ms MS        delay every answer
  --split              send frames in random pieces
  --garbage            put random bytes before every frame
  --drop-after N       drop the TCP client after N received frames

Logging and control
  --log-frames         log every received frame to stderr (time, device, command, hex)
  --log-file PATH      log received frames to PATH instead
  --control-port P     control commands on 127.0.0.1:P as well (0 = any free port)
  --no-stdin           do not read control commands from standard input
  --seed N             seed of the random faults
  --max-runtime-s S    end by itself after S seconds
  --namespace-ok       allow addresses outside 127.0.0.0/8 (only inside a private
                       network namespace without a default route; refused otherwise)
  --help               this text
  --version            print the program's version and quit

Control commands (one per line; DEV is a device number or "all"):
  silent DEV on|off    refuse DEV on|off    split DEV on|off    garbage DEV on|off
  delay DEV MS         drop DEV             unplug DEV          plug DEV
  discovery DEV on|off announce DEV         temperature DEV R   flags DEV a b c d
  burning DEV COUNT MINUTES                 revision DEV N      macreport DEV
  state DEV            list                 quit
Each command is answered by a line starting with "ok" or "error" ("list" prints the
device lines before it). plug and unplug also print the device's new line on stdout.

Output: one line per device, e.g.
  device 1 tcp 127.0.0.2:5000 mac 025451500001 name TQ50R Sim 1
  device 2 serial /dev/pts/7 mac 025451500002 name TQ50R Sim 2
followed by "ready". A re-plugged serial device prints its line again.
)";
}

} // namespace tq50r::sim
