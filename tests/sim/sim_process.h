// Test helpers: the tq50r-sim program as a child process, and loopback
// clients that speak frames to it. Every wait ends at a deadline.
#pragma once

#include "base/unique_fd.h"
#include "protocol/frame_parser.h"

#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tq50r::sim::testing {

using Bytes = std::vector<std::uint8_t>;
using Ms = std::chrono::milliseconds;

// Generous: a loaded machine may be slow to answer, and a wait for something
// that comes costs only the time it takes.
inline constexpr Ms DefaultWait{10000};

struct DeviceLine {
    int number = 0;
    std::string kind;  // "tcp" or "serial"
    std::string where; // "127.0.0.2:5000" or "/dev/pts/3"
    std::string host;  // tcp only
    std::uint16_t port = 0;
    std::string name;
};

std::optional<DeviceLine> parseDeviceLine(const std::string& line);

class SimProcess {
public:
    // A simulator left behind by a test that died ends by itself after this long.
    static constexpr int DefaultRuntimeLimitS = 60;

    // Starts the program with `args` plus a run-time limit, and reads its
    // device lines up to "ready".
    explicit SimProcess(std::vector<std::string> args, int runtimeLimitS = DefaultRuntimeLimitS);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ready() const { return ready_; }
    const std::vector<DeviceLine>& devices() const { return devices_; }
    const DeviceLine& device(int number) const {
        return devices_.at(static_cast<std::size_t>(number - 1));
    }

    // One control line on stdin; the reply line ("ok ..." / "error ..."),
    // skipping any other output printed before it.
    std::string command(const std::string& line, Ms wait = DefaultWait);
    // The next line on stdout, if one comes in time.
    std::optional<std::string> readLine(Ms wait = DefaultWait);
    // SIGTERM, then the exit status (or -1 if it did not end in time).
    int terminate(Ms wait = DefaultWait);
    std::string stderrText(Ms wait = Ms{200});
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    base::UniqueFd in_;
    base::UniqueFd out_;
    base::UniqueFd err_;
    std::string outBuffer_;
    std::string errBuffer_;
    std::vector<DeviceLine> devices_;
    bool ready_ = false;
    bool exited_ = false;
};

// host:port as a socket address ("0.0.0.0" for any address).
sockaddr_in ipv4Address(const std::string& host, std::uint16_t port);

// An ephemeral TCP/UDP port on 127.0.0.1 that is free right now.
std::uint16_t freeUdpPort();

// A connected socket, or none when nothing accepted in time.
base::UniqueFd connectTcp(const std::string& host, std::uint16_t port, Ms wait = DefaultWait);
bool sendAll(int fd, const Bytes& bytes);
// Frames assembled from what arrives on fd until `count` frames came or the
// wait ended. `reads` counts the read calls that returned data.
std::vector<Bytes> readFrames(int fd, std::size_t count, Ms wait = DefaultWait,
                              int* reads = nullptr, std::size_t* rawBytes = nullptr);
// True when the peer closed fd (EOF or reset) within the wait.
bool peerClosed(int fd, Ms wait = DefaultWait);

// Opens a pseudo-terminal's far side raw, as the application's serial port would.
base::UniqueFd openSerial(const std::string& path);

// A UDP socket on 127.0.0.1:port, and one datagram from it.
base::UniqueFd udpListener(std::uint16_t port);
struct Datagram {
    Bytes data;
    std::string from;
};
std::optional<Datagram> receiveDatagram(int fd, Ms wait = DefaultWait);

template <std::size_t N> Bytes bytesOf(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

} // namespace tq50r::sim::testing
