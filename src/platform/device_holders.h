#pragma once
// Who else has a device open: the answer /proc gives, for a port that must not be shared.
#include <filesystem>

namespace tq50r::platform {

/// Whether a process other than this one holds the character device behind `fd` open, as far as
/// `procRoot` shows (every process to root, one's own processes otherwise). A process that also
/// holds the master side of the same pseudo-terminal is the line's far end (a terminal, a device
/// simulator), not a user of the port, and does not count.
bool heldByAnotherProcess(int fd, const std::filesystem::path& procRoot = "/proc");

} // namespace tq50r::platform
