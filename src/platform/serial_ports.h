#pragma once
// The serial ports this computer offers, as the device scan and the port watch see them.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tq50r::platform {

/// Where the kernel lists its tty devices.
inline constexpr const char* kDefaultSysTtyRoot = "/sys/class/tty";

/// Port names (such as "ttyUSB0") of the serial ports under `sysTtyRoot`: every tty that has a
/// `device` link, except the legacy ttyS* ports whose UART type is unknown (0), i.e. slots with no
/// hardware behind them. Sorted by prefix and then by number (ttyACM0, ttyS1, ttyUSB2, ttyUSB10).
/// `devRoot` is where the device nodes live; only used to ask the driver for the UART type of a
/// ttyS* port whose sysfs directory lacks the `type` attribute.
std::vector<std::string> listSysfsSerialPorts(const std::filesystem::path& sysTtyRoot,
                                              const std::filesystem::path& devRoot = "/dev");

/// Registers extra port paths (pseudo-terminals of a simulator, given on the command line). They
/// are listed after the kernel's ports, in registration order, as long as the path exists.
/// Thread-safe; a path registered twice is listed once.
void registerExtraSerialPorts(const std::vector<std::string>& portPaths);

/// Forgets every registered extra port (for tests).
void clearExtraSerialPorts();

/// The registered extra port paths that exist right now.
std::vector<std::string> existingExtraSerialPorts();

/// The kernel's serial ports followed by the existing extra ports; std::nullopt when there are
/// none at all (never an empty list).
std::optional<std::vector<std::string>>
readSerialPorts(const std::filesystem::path& sysTtyRoot = kDefaultSysTtyRoot);

/// Orders port names by their alphabetic prefix, then numerically by a trailing number.
bool serialPortNameLess(const std::string& a, const std::string& b);

} // namespace tq50r::platform
