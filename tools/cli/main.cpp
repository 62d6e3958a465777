// tq50r-tool: the EQ curve and preset files on the command line.
//
//   tq50r-tool response [PRESET.bin]   CSV of the summed response (1024 rows)
//   tq50r-tool preset show PRESET.bin  the decoded setting as a table
#include "eq/eq_setting.h"
#include "eq/response.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

using namespace tq50r;

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

constexpr std::string_view Usage = "usage: tq50r-tool response [PRESET.bin]\n"
                                   "       tq50r-tool preset show PRESET.bin\n";

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

int responseCommand(int argc, char** /*argv*/) {
    if (argc == 2) {
        return writeResponse(eq::startSetting());
    }
    return usageError();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usageError();
    }
    const std::string_view command = argv[1];
    if (command == "response") {
        return responseCommand(argc, argv);
    }
    return usageError();
}
