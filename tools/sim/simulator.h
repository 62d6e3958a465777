// The running simulator: the devices of one process with their TCP ports,
// pseudo-terminals and discovery sockets on one event loop, plus the control
// interface. Device decisions live in SimDevice; this class moves bytes.
#pragma once

#include "base/unique_fd.h"
#include "control.h"
#include "event_loop.h"
#include "faults.h"
#include "sim_device.h"
#include "sim_options.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <netinet/in.h>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace tq50r::sim {

class Simulator {
public:
    Simulator(SimOptions options, std::ostream& out, std::ostream& err);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens every port, prints one line per device and "ready". False (with a
    // message on err) when something could not be opened.
    bool start();
    // Runs until quit, a stop request or the maximum run time.
    void run();
    void requestStop() { loop_.stop(); }
    EventLoop& loop() { return loop_; }

    // Carries out one control line and returns its reply line (no newline).
    std::string execute(const std::string& line);

private:
    struct Device;
    struct ControlClient {
        base::UniqueFd fd;
        std::string buffer;
    };

    bool startNetworkDevices();
    // Empty on success, else what failed.
    std::string startNetwork(Device& d);
    void stopNetwork(Device& d);
    bool startSerial(Device& d);
    bool openListener(Device& d);
    void closeListener(Device& d);
    void acceptClient(Device& d);
    void closeClient(Device& d);
    void readClient(Device& d);
    bool plug(Device& d);
    void unplug(Device& d);
    void readSerial(Device& d);
    void handleBytes(Device& d, std::span<const std::uint8_t> bytes);
    void sendAnswer(Device& d, const std::vector<Bytes>& frames);
    void writeOut(Device& d, std::uint64_t connection, const Bytes& bytes);
    void flushOut(Device& d);
    int outputFd(const Device& d) const;

    // A UDP socket on address:port, or on an ephemeral port of that address
    // when the port is taken. `shared` lets sockets of several devices share
    // the port (namespace mode).
    base::UniqueFd openUdp(in_addr address, std::uint16_t port, bool shared);
    void scheduleAnnounce(Device& d, std::chrono::milliseconds delay);
    void announce(Device& d);
    // A datagram on one of the device's search sockets; answers leave from
    // the device's own address.
    void readSearch(Device& d, int fd, bool moduleSocket);
    void sendDatagram(int fd, const Bytes& data, in_addr address, std::uint16_t port);
    Bytes port8000Answer(const Device& d) const;
    Bytes moduleAnswer(const Device& d) const;
    Bytes ssdpAnnouncement(const Device& d) const;

    void logFrame(const Device& d, protocol::FrameBytes frame);
    std::string deviceLine(const Device& d) const;
    std::string stateLine(const Device& d) const;
    std::string applyCommand(Device& d, const ControlCommand& cmd);

    bool openControlPort();
    void readControlClient(int fd);
    void readStdin();
    void watchSignals();
    void driftTick();

    SimOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<std::ostream> logFile_;
    EventLoop loop_;
    std::mt19937 rng_;
    std::chrono::steady_clock::time_point startTime_;
    std::vector<std::unique_ptr<Device>> devices_;
    base::UniqueFd controlFd_;
    std::uint16_t controlPort_ = 0;
    std::vector<ControlClient> controlClients_;
    std::string stdinBuffer_;
    std::array<base::UniqueFd, 2> signalPipe_;
};

} // namespace tq50r::sim
