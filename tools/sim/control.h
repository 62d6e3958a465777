// The text commands that switch faults and state of running devices.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq50r::sim {

inline constexpr int AllDevices = 0;

struct ControlCommand {
    std::string verb;
    int device = AllDevices;        // 1..count, or AllDevices
    bool on = false;                // on|off argument
    std::vector<long long> numbers; // numeric arguments in order
    std::string text;               // text argument (a discovery list)
};

struct ParsedControl {
    std::optional<ControlCommand> command; // nothing for an empty line
    std::string error;
};

// One line as typed: "silent 2 on", "delay all 300", "flags 1 0 1 0 0".
// Device numbers outside 1..deviceCount, missing or extra arguments, and
// numbers out of their range are errors.
ParsedControl parseControlLine(std::string_view line, int deviceCount);

} // namespace tq50r::sim
