// Command-line options of tq50r-sim.
#pragma once

#include "faults.h"

#include <array>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <vector>

namespace tq50r::sim {

// Which ways a network device makes itself found.
enum DiscoveryPath : unsigned {
    DiscoveryNone = 0,
    DiscoveryPort8000 = 1U << 0, // answer datagram to the port-8000 listener
    DiscoverySsdp = 1U << 1,     // SSDP announcement to the SSDP listener
    DiscoveryModule = 1U << 2,   // module answer to the module listener
    DiscoveryAll = DiscoveryPort8000 | DiscoverySsdp | DiscoveryModule,
};

inline constexpr std::uint16_t DeviceTcpPort = 5000;
inline constexpr std::uint16_t SearchPort8000 = 8000;
inline constexpr std::uint16_t SsdpPort = 1900;
inline constexpr std::uint16_t ModulePort = 48899;
inline constexpr int DefaultAnnounceMs = 2000;
inline constexpr int DefaultRevision = 17;
// Reads as 30 degrees on the application's status row.
inline constexpr int DefaultTemperatureReading = 620;
inline constexpr int MaxDevices = 200;
inline constexpr int StatusFlagCount = 4;

struct SimOptions {
    int networkDevices = 1;
    int serialDevices = 0;
    std::vector<std::string> serialLinks; // i-th link names the i-th serial device

    in_addr baseAddress{};    // device n binds baseAddress + (n - 1); 127.0.0.2 by default
    bool autoAddress = false; // "auto": the first of 127.0.k.2 whose TCP ports are free
    std::uint16_t tcpPort = DeviceTcpPort; // 0: any free port, printed
    in_addr appAddress{};                  // where announcements go; 127.0.0.1 by default
    std::uint16_t port8000 = SearchPort8000;
    std::uint16_t ssdpPort = SsdpPort;
    std::uint16_t modulePort = ModulePort;
    unsigned discovery = DiscoveryAll;
    int announceMs = DefaultAnnounceMs;
    // Listen for search datagrams on the search ports of the device's own
    // address (always so with namespaceOk).
    bool answerSearches = false;

    std::string baseName = "TQ50R Sim";
    int revision = DefaultRevision;
    std::optional<std::string> presetPath;
    std::optional<std::string> macText; // 12 hex digits; device n adds n - 1
    int temperatureReading = DefaultTemperatureReading;
    bool drift = false;
    std::array<std::uint8_t, StatusFlagCount> flags{};
    int burnCount = 0;
    std::uint32_t burnMinutes = 0;

    FaultSettings faults;

    bool logFrames = false;
    std::string logFile;  // empty: stderr
    int controlPort = -1; // >= 0: control socket on 127.0.0.1 (0: any free port)
    bool readStdin = true;
    std::uint32_t seed = 0;
    bool seedGiven = false;
    bool namespaceOk = false;
    int maxRuntimeS = 0; // > 0: the process ends by itself after this long
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    SimOptions options;
    std::string error; // empty when the command line was sound
};

ParsedOptions parseOptions(const std::vector<std::string>& args);
std::string helpText();

// "8000,ssdp,module", "all" or "none" into DiscoveryPath bits.
std::optional<unsigned> parseDiscoveryList(const std::string& text);

} // namespace tq50r::sim
