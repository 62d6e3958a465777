// tq50r-tool: the EQ curve, preset files and the devices on the network on the command line.
//
//   tq50r-tool response [PRESET.bin]   CSV of the summed response (1024 rows)
//   tq50r-tool preset show PRESET.bin  the decoded setting as a table
//   tq50r-tool devices [...]           the devices that discovery finds
#include "devices/device_list.h"
#include "devices/discovery.h"
#include "devices/link_monitor.h"
#include "devices/receive_path.h"
#include "devices/serial_scan.h"
#include "eq/encoding.h"
#include "eq/eq_setting.h"
#include "eq/operations.h"
#include "eq/response.h"
#include "platform/serial_ports.h"
#include "protocol/frames.h"
#include "protocol/preset_file.h"
#include "tq50r_version.h"

#include <QCoreApplication>
#include <QTimer>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tq50r;

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

constexpr std::string_view Usage =
    "usage: tq50r-tool response [PRESET.bin]\n"
    "       tq50r-tool preset show PRESET.bin\n"
    "       tq50r-tool devices [--loopback] [--serial-port PATH]... [--seconds N]\n";

constexpr int DefaultSearchSeconds = 5;
constexpr int LongestSearchSeconds = 3600;
constexpr int MsPerSecond = 1000;

// --help: what the program is for, its commands (the usage lines) and its options.
constexpr std::string_view Summary =
    "tq50r-tool: TQ50R Master EQ curves, preset files and the devices on the network on the\n"
    "command line.\n\n";
constexpr std::string_view Details =
    "\nCommands:\n"
    "  response [PRESET.bin]   the summed EQ response as CSV (index, frequency_hz,\n"
    "                          total_db; 1024 rows), of the preset or of the start setting\n"
    "  preset show PRESET.bin  the decoded trim, bypass and five bands as a table\n"
    "  devices                 looks for devices for N seconds (default 5) as the application\n"
    "                          does: the port-8000 search, SSDP announcements, the module\n"
    "                          search and a Poll on every serial port the system lists; then\n"
    "                          prints one line per device found: KEY MAC KIND ROUTE, e.g.\n"
    "                            192.168.1.20 00:A1:B0:12:AB:34 network ssdp\n"
    "                          KIND is usb, network or module; ROUTE (the way that found\n"
    "                          the device first) is port8000, ssdp, module or serial.\n"
    "\nOptions:\n"
    "  --loopback              devices: keep every datagram inside 127.0.0.0/8\n"
    "  --serial-port PATH      devices: probe this port as well (repeatable)\n"
    "  --seconds N             devices: how long to look, 1 to 3600\n"
    "  --help                  print this text and quit\n"
    "  --version               print the program's version and quit\n"
    "\nA file that is not a preset gives a message on stderr and exit status 1; devices\n"
    "exits with 1 when it found none. A command line that is not understood gives the\n"
    "usage and exit status 2.\n";

// The usage lines as the synopsis of --help: "Usage: A", then "  or:  B" for each further line.
std::string helpSynopsis() {
    constexpr std::string_view errorHead = "usage:";
    constexpr std::string_view nextLine = "\n       ";
    std::string text(Usage);
    text.replace(0, errorHead.size(), "Usage:");
    for (std::size_t at = text.find(nextLine); at != std::string::npos;
         at = text.find(nextLine, at + 1)) {
        text.replace(at, nextLine.size(), "\n  or:  ");
    }
    return text;
}

int usageError() {
    std::fputs(Usage.data(), stderr);
    return ExitUsage;
}

// Shortest text that reads back as the same double; never depends on the locale.
std::string number(double value) {
    constexpr std::size_t bufferSize = 64;
    char buffer[bufferSize];
    const auto result = std::to_chars(buffer, buffer + bufferSize, value);
    return std::string(buffer, result.ptr);
}

// Fails when stdout could not take everything (a closed pipe, a full disk).
int finishOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fputs("tq50r-tool: cannot write the output\n", stderr);
        return ExitFailure;
    }
    return ExitOk;
}

int writeResponse(const eq::EqSetting& setting) {
    // Offline view: the `off` flags decide which bands are flat.
    static eq::EqResponse response;
    response.updateAll(setting, false);
    const eq::ResponseGrid& grid = eq::ResponseGrid::instance();
    std::fputs("index,frequency_hz,total_db\n", stdout);
    for (std::size_t i = 0; i < response.total.size(); ++i) {
        const std::string line = std::to_string(i) + ',' + number(grid.freqHz[i]) + ',' +
                                 number(response.total[i]) + '\n';
        std::fputs(line.c_str(), stdout);
    }
    return finishOutput();
}

// The setting a preset file holds, decoded as File > Open does offline: the
// block applied onto the start setting. Prints the reader's message on failure.
std::optional<eq::EqSetting> loadPreset(const char* path) {
    const protocol::PresetReadResult read = protocol::readPresetFile(path);
    if (!read.ok()) {
        const std::string message = "tq50r-tool: " + read.message + '\n';
        std::fputs(message.c_str(), stderr);
        return std::nullopt;
    }
    eq::EqSetting setting = eq::startSetting();
    (void)eq::applyBlock(setting, protocol::readParameterBlock(*read.block));
    return setting;
}

int responseCommand(int argc, char** argv) {
    if (argc == 2) {
        return writeResponse(eq::startSetting());
    }
    if (argc == 3) {
        const std::optional<eq::EqSetting> setting = loadPreset(argv[2]);
        return setting ? writeResponse(*setting) : ExitFailure;
    }
    return usageError();
}

void writeSetting(const eq::EqSetting& setting) {
    std::printf("Trim: %d dB\n", setting.trimDb);
    std::printf("Bypass: %s\n", setting.bypass ? "on" : "off");
    std::printf("%-4s  %-10s  %9s  %6s  %9s  %s\n", "Band", "Type", "Freq (Hz)", "Q", "Gain (dB)",
                "State");
    for (int n = 1; n <= eq::BandCount; ++n) {
        const eq::EqBand& band = setting.band(n);
        const std::string type(eq::typeName(band.bandType()));
        const std::string freq = eq::frequencyText(band.freqIndex);
        const std::string q = eq::qText(band.qIndex);
        std::printf("%-4d  %-10s  %9s  %6s  %9d  %s\n", n, type.c_str(), freq.c_str(), q.c_str(),
                    eq::gainDbFromGainIndex(band.gainIndex), band.off ? "off" : "on");
    }
}

int presetCommand(int argc, char** argv) {
    if (argc != 4 || std::string_view(argv[2]) != "show") {
        return usageError();
    }
    const std::optional<eq::EqSetting> setting = loadPreset(argv[3]);
    if (!setting) {
        return ExitFailure;
    }
    writeSetting(*setting);
    return finishOutput();
}

struct DevicesOptions {
    bool loopback = false;
    std::vector<std::string> serialPorts;
    int seconds = DefaultSearchSeconds;
};

std::optional<int> parseSeconds(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 1 ||
        value > LongestSearchSeconds) {
        return std::nullopt;
    }
    return value;
}

std::optional<DevicesOptions> parseDevicesOptions(int argc, char** argv) {
    DevicesOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--loopback") {
            options.loopback = true;
        } else if (arg == "--serial-port" && i + 1 < argc) {
            options.serialPorts.emplace_back(argv[++i]);
        } else if (arg == "--seconds" && i + 1 < argc) {
            const std::optional<int> seconds = parseSeconds(argv[++i]);
            if (!seconds) {
                return std::nullopt;
            }
            options.seconds = *seconds;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

std::string_view kindName(std::int32_t kind) {
    switch (kind) {
    case devices::KindUsb:
        return "usb";
    case devices::KindModule:
        return "module";
    default:
        return "network";
    }
}

int devicesCommand(int argc, char** argv) {
    const std::optional<DevicesOptions> options = parseDevicesOptions(argc, argv);
    if (!options) {
        return usageError();
    }
    platform::registerExtraSerialPorts(options->serialPorts);
    int appArgc = 1;
    QCoreApplication application(appArgc, argv);

    devices::DeviceList list;
    devices::LinkMonitor link;
    eq::EqSetting setting = eq::startSetting();
    devices::ReceivePath receivePath(list, setting, link);
    devices::DiscoveryOptions discoveryOptions;
    discoveryOptions.loopback = options->loopback;
    devices::Discovery discovery(list, discoveryOptions);
    devices::SerialScan scan(list, receivePath);
    discovery.start();
    scan.start();
    QTimer::singleShot(options->seconds * MsPerSecond, &application, &QCoreApplication::quit);
    QCoreApplication::exec();

    for (const devices::DeviceEntry& entry : list.deviceEntries()) {
        const devices::Route route =
            entry.kind == devices::KindUsb
                ? devices::Route::Serial
                : discovery.routeOf(entry.key).value_or(entry.kind == devices::KindModule
                                                            ? devices::Route::Module
                                                            : devices::Route::Port8000);
        const std::string line = entry.key.toStdString() + ' ' +
                                 protocol::macDisplayText(entry.mac.toStdString()) + ' ' +
                                 std::string(kindName(entry.kind)) + ' ' +
                                 std::string(devices::routeName(route)) + '\n';
        std::fputs(line.c_str(), stdout);
    }
    const int written = finishOutput();
    if (written != ExitOk) {
        return written;
    }
    return list.size() > 0 ? ExitOk : ExitFailure;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usageError();
    }
    const std::string_view command = argv[1];
    if (command == "--help" && argc == 2) {
        std::fputs((std::string(Summary) + helpSynopsis() + std::string(Details)).c_str(), stdout);
        return finishOutput();
    }
    if (command == "--version" && argc == 2) {
        std::fputs("tq50r-tool " TQ50R_VERSION "\n", stdout);
        return finishOutput();
    }
    if (command == "devices") {
        return devicesCommand(argc, argv);
    }
    if (command == "response") {
        return responseCommand(argc, argv);
    }
    if (command == "preset") {
        return presetCommand(argc, argv);
    }
    return usageError();
}
