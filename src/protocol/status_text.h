// Texts and colours of the device status row and the burn-in report.
#pragma once

#include <cstdint>
#include <string>

namespace tq50r::protocol {

// Application message that carries a burn-in report from the receive path
// to the message loop (first parameter: count, second: total minutes).
inline constexpr unsigned BurningMessage = 1124;

// Indicator colours, 0x00BBGGRR.
inline constexpr std::uint32_t NormalColour = 0x0000FF00; // green
inline constexpr std::uint32_t ActiveColour = 0x000000FF; // red

// Temperature in degrees Celsius for a reading; the reading falls as the temperature rises.
int temperatureFromReading(std::uint16_t reading);
// "Temperature:" + value + "℃" (UTF-8).
std::string temperatureText(std::uint16_t reading);

// A flag byte of 0 is normal (green); any other value is active (red).
std::uint32_t flagColour(std::uint8_t flag);

// "Burning success times:<count>\nTime:<d> day(s), <h> hour(s), <m> minute(s)".
std::string burningReportText(unsigned count, std::uint32_t totalMinutes);

} // namespace tq50r::protocol
