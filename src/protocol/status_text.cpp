#include "protocol/status_text.h"

#include <array>
#include <string_view>

namespace tq50r::protocol {

namespace {

struct TemperatureRow {
    std::uint16_t readingBelow; // first row whose bound exceeds the reading
    int celsius;
};

// Upper bounds of the reading per row; readings from the last bound on are the coldest row.
constexpr std::array<TemperatureRow, 9> TemperatureRows = {{
    {245, 80},
    {368, 70},
    {409, 60},
    {511, 50},
    {613, 40},
    {642, 30},
    {777, 20},
    {859, 10},
    {920, 0},
}};
constexpr int ColdestCelsius = -10;
constexpr std::string_view TemperaturePrefix = "Temperature:";
constexpr std::string_view CelsiusSign = "\u2103";
constexpr std::string_view ColdestText = "Temperature:-10\u2103";

constexpr std::uint32_t MinutesPerHour = 60;
constexpr std::uint32_t MinutesPerDay = 24 * MinutesPerHour;
// From this number on a unit word takes its plural form.
constexpr std::uint32_t PluralFrom = 2;

std::string unitText(std::uint32_t n, std::string_view word) {
    std::string text = std::to_string(n);
    text += ' ';
    text += word;
    if (n >= PluralFrom) {
        text += 's';
    }
    return text;
}

} // namespace

int temperatureFromReading(std::uint16_t reading) {
    for (const TemperatureRow& row : TemperatureRows) {
        if (reading < row.readingBelow) {
            return row.celsius;
        }
    }
    return ColdestCelsius;
}

std::string temperatureText(std::uint16_t reading) {
    const int celsius = temperatureFromReading(reading);
    if (celsius == ColdestCelsius) {
        return std::string(ColdestText);
    }
    std::string text(TemperaturePrefix);
    text += std::to_string(celsius);
    text += CelsiusSign;
    return text;
}

std::uint32_t flagColour(std::uint8_t flag) {
    return flag == 0 ? NormalColour : ActiveColour;
}

std::string burningReportText(unsigned count, std::uint32_t totalMinutes) {
    const std::uint32_t days = totalMinutes / MinutesPerDay;
    const std::uint32_t hours = (totalMinutes % MinutesPerDay) / MinutesPerHour;
    const std::uint32_t minutes = totalMinutes % MinutesPerHour;
    std::string text = "Burning success times:" + std::to_string(count) + "\n";
    text += "Time:" + unitText(days, "day") + ", " + unitText(hours, "hour") + ", " +
            unitText(minutes, "minute");
    return text;
}

} // namespace tq50r::protocol
