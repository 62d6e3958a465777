#include "control.h"

#include <charconv>
#include <map>
#include <sstream>

namespace tq50r::sim {

namespace {

enum class Arg { OnOff, Number, Text };

struct Range {
    long long lo = 0;
    long long hi = 0;
};

struct Verb {
    bool takesDevice = true;
    bool allowsAll = true;
    std::vector<Arg> args;
    std::vector<Range> ranges; // one per Number argument
};

constexpr long long MaxDelayMs = 60000;
constexpr long long MaxWord = 0xFFFF;
constexpr long long MaxByte = 0xFF;
constexpr long long MaxMinutes = 0xFFFFFFFFLL;

const std::map<std::string, Verb, std::less<>>& verbs() {
    static const std::map<std::string, Verb, std::less<>> table = {
        {"silent", {true, true, {Arg::OnOff}, {}}},
        {"refuse", {true, true, {Arg::OnOff}, {}}},
        {"split", {true, true, {Arg::OnOff}, {}}},
        {"garbage", {true, true, {Arg::OnOff}, {}}},
        {"delay", {true, true, {Arg::Number}, {{0, MaxDelayMs}}}},
        {"drop", {true, true, {}, {}}},
        {"unplug", {true, true, {}, {}}},
        {"plug", {true, true, {}, {}}},
        {"discovery", {true, true, {Arg::Text}, {}}},
        {"announce", {true, true, {}, {}}},
        {"temperature", {true, true, {Arg::Number}, {{0, MaxWord}}}},
        {"flags",
         {true,
          true,
          {Arg::Number, Arg::Number, Arg::Number, Arg::Number},
          {{0, MaxByte}, {0, MaxByte}, {0, MaxByte}, {0, MaxByte}}}},
        {"burning", {true, true, {Arg::Number, Arg::Number}, {{0, MaxByte}, {0, MaxMinutes}}}},
        {"revision", {true, true, {Arg::Number}, {{0, MaxByte}}}},
        {"macreport", {true, true, {}, {}}},
        {"state", {true, false, {}, {}}},
        {"list", {false, false, {}, {}}},
        {"quit", {false, false, {}, {}}},
    };
    return table;
}

bool parseNumber(const std::string& text, long long& out) {
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc{} && ptr == end;
}

} // namespace

ParsedControl parseControlLine(std::string_view line, int deviceCount) {
    ParsedControl parsed;
    std::istringstream in{std::string(line)};
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    if (words.empty()) {
        return parsed;
    }
    const auto verb = verbs().find(words[0]);
    if (verb == verbs().end()) {
        parsed.error = "unknown command " + words[0];
        return parsed;
    }
    const Verb& v = verb->second;
    const std::size_t expected = 1 + (v.takesDevice ? 1 : 0) + v.args.size();
    if (words.size() != expected) {
        parsed.error = "usage: wrong number of arguments for " + words[0];
        return parsed;
    }

    ControlCommand cmd;
    cmd.verb = words[0];
    std::size_t at = 1;
    if (v.takesDevice) {
        long long n = 0;
        if (v.allowsAll && words[at] == "all") {
            cmd.device = AllDevices;
        } else if (parseNumber(words[at], n) && n >= 1 && n <= deviceCount) {
            cmd.device = static_cast<int>(n);
        } else {
            parsed.error = "no device " + words[at];
            return parsed;
        }
        ++at;
    }
    std::size_t range = 0;
    for (const Arg arg : v.args) {
        const std::string& w = words[at++];
        switch (arg) {
        case Arg::OnOff:
            if (w != "on" && w != "off") {
                parsed.error = "expected on or off, got " + w;
                return parsed;
            }
            cmd.on = w == "on";
            break;
        case Arg::Number: {
            long long n = 0;
            const Range r = v.ranges.at(range++);
            if (!parseNumber(w, n) || n < r.lo || n > r.hi) {
                parsed.error = "bad number " + w;
                return parsed;
            }
            cmd.numbers.push_back(n);
            break;
        }
        case Arg::Text:
            cmd.text = w;
            break;
        }
    }
    parsed.command = cmd;
    return parsed;
}

} // namespace tq50r::sim
