#include "simulator.h"

#include "net_guard.h"
#include "protocol/preset_file.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/tcp.h>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tq50r::sim {

namespace {

constexpr std::size_t ReadBufferSize = 1024;
// Bytes waiting for a slow reader beyond this are dropped, as a device's
// small send buffer would lose them.
constexpr std::size_t MaxPendingOut = 64 * 1024;
constexpr int ListenBacklog = 4;
constexpr std::chrono::milliseconds DriftPeriod{1000};
constexpr int DriftSpread = 12;
constexpr std::size_t MaxControlLine = 512;
constexpr std::size_t MaxControlClients = 8;
// --address auto tries 127.0.0.2, 127.0.1.2, ... 127.0.99.2.
constexpr int AutoAddressAttempts = 100;
constexpr std::uint32_t AutoAddressStep = 256;

// The search datagram of the port-8000 path and the module search text.
constexpr std::array<std::uint8_t, 12> Port8000Search = {0x01, 0x02, 0x00, 0x0C, 0x00, 0x00,
                                                         0x00, 0x00, 0x00, 0x01, 0xFF, 0xFF};
constexpr std::string_view ModuleSearch = "HF-A11ASSISTHREAD";
constexpr std::string_view ModuleName = "TQ50R-S2E";
constexpr std::size_t Port8000AnswerSize = 40;
constexpr std::uint8_t Port8000AnswerKind = 0x81;

volatile std::sig_atomic_t signalWriteFd = -1;

extern "C" void onSignal(int) {
    const int fd = signalWriteFd;
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
}

bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

sockaddr_in socketAddress(in_addr address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

std::uint16_t boundPort(int fd) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        return 0;
    }
    return ntohs(sa.sin_port);
}

// Removes `path` if it is a symbolic link; anything else there is left alone.
void removeSymlink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        ::unlink(path.c_str());
    }
}

std::string commandName(std::uint8_t code) {
    using protocol::CommandCode;
    switch (static_cast<CommandCode>(code)) {
    case CommandCode::Poll:
        return "Poll";
    case CommandCode::Trim:
        return "Trim";
    case CommandCode::Band:
        return "Band";
    case CommandCode::Bypass:
        return "Bypass";
    case CommandCode::Setting:
        return "Setting";
    case CommandCode::Recall:
        return "Recall";
    case CommandCode::Rename:
        return "Rename";
    case CommandCode::Connect:
        return "Connect";
    case CommandCode::SetMac:
        return "SetMac";
    case CommandCode::MacReport:
        return "MacReport";
    case CommandCode::ReadState:
        return "ReadState";
    case CommandCode::Burning:
        return "Burning";
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    char pair[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", b);
        text += pair;
    }
    return text;
}

} // namespace

struct Simulator::Device {
    int number = 0;
    bool serial = false;
    SimDevice logic;
    FaultSettings faults;
    std::uint64_t connection = 0; // changes whenever the peer changes
    int framesOnConnection = 0;
    Bytes pendingOut;
    SendClock::time_point lastScheduled{}; // when the last chunk scheduled leaves
    int queuedChunks = 0;                  // chunks waiting in timers

    // network
    in_addr address{};
    std::uint16_t tcpPort = 0;
    base::UniqueFd listenFd;
    base::UniqueFd clientFd;
    base::UniqueFd udp8000;
    base::UniqueFd udpModule;
    base::UniqueFd udpSsdp;
    // Inside a namespace of its own: searches sent to the broadcast address
    // arrive only on sockets bound to any address.
    base::UniqueFd anySearch8000;
    base::UniqueFd anySearchModule;
    unsigned discovery = DiscoveryAll;
    std::optional<EventLoop::TimerId> announceTimer;

    // serial
    base::UniqueFd masterFd;
    base::UniqueFd slaveFd;
    std::string ptyPath;
    std::string link;
    bool plugged = false;
};

Simulator::Simulator(SimOptions options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err),
      rng_(options_.seedGiven ? options_.seed : std::random_device{}()),
      startTime_(std::chrono::steady_clock::now()) {}

Simulator::~Simulator() {
    for (auto& d : devices_) {
        if (d->serial) {
            unplug(*d);
        } else {
            stopNetwork(*d);
        }
    }
    controlClients_.clear();
    controlFd_.reset();
    if (signalPipe_[1]) {
        signalWriteFd = -1;
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
}

bool Simulator::start() {
    // Without a standard input (started with it closed) the descriptor number
    // would go to the first pipe or socket opened below.
    if (options_.readStdin && ::fcntl(STDIN_FILENO, F_GETFD) < 0) {
        options_.readStdin = false;
    }
    if (options_.namespaceOk && !inPrivateNetworkNamespace()) {
        err_ << "tq50r-sim: --namespace-ok is allowed only inside a network namespace of its own\n";
        return false;
    }
    if (options_.logFrames && !options_.logFile.empty()) {
        logFile_ = std::make_unique<std::ofstream>(options_.logFile, std::ios::app);
        if (!*logFile_) {
            err_ << "tq50r-sim: cannot open " << options_.logFile << "\n";
            return false;
        }
    }

    protocol::ParameterBlock startBlock = protocol::ResetBlock;
    if (options_.presetPath) {
        const auto preset = protocol::readPresetFile(*options_.presetPath);
        if (!preset.ok()) {
            err_ << "tq50r-sim: " << *options_.presetPath << ": " << preset.message << "\n";
            return false;
        }
        startBlock = *preset.block;
    }
    protocol::MacBytes baseMac = {0x02, 0x54, 0x51, 0x50, 0x00, 0x01};
    if (options_.macText) {
        baseMac = protocol::macBytesFromText(*options_.macText).value_or(baseMac);
    }

    const int total = options_.networkDevices + options_.serialDevices;
    for (int i = 0; i < total; ++i) {
        auto d = std::make_unique<Device>();
        d->number = i + 1;
        d->serial = i >= options_.networkDevices;
        d->logic = SimDevice(startBlock);
        d->logic.setName(options_.baseName + " " + std::to_string(d->number));
        d->logic.revision = static_cast<std::uint8_t>(options_.revision);
        d->logic.mac = baseMac;
        // Device n: the last three bytes of the base MAC plus n - 1.
        std::uint32_t tail =
            (std::uint32_t{baseMac[3]} << 16) | (std::uint32_t{baseMac[4]} << 8) | baseMac[5];
        tail += static_cast<std::uint32_t>(i);
        d->logic.mac[3] = static_cast<std::uint8_t>(tail >> 16);
        d->logic.mac[4] = static_cast<std::uint8_t>(tail >> 8);
        d->logic.mac[5] = static_cast<std::uint8_t>(tail);
        d->logic.status.temperatureReading =
            static_cast<std::uint16_t>(options_.temperatureReading);
        d->logic.status.flags = options_.flags;
        d->logic.burnIn =
            BurnIn{static_cast<std::uint8_t>(options_.burnCount), options_.burnMinutes};
        d->faults = options_.faults;
        d->discovery = options_.discovery;
        devices_.push_back(std::move(d));
    }

    watchSignals();
    if (!startNetworkDevices()) {
        return false;
    }
    for (auto& d : devices_) {
        if (d->serial && !startSerial(*d)) {
            return false;
        }
    }
    if (options_.controlPort >= 0 && !openControlPort()) {
        return false;
    }
    if (options_.readStdin) {
        // Standard input stays blocking (its mode is shared with whoever
        // started the simulator) and is read only when poll() finds input. A
        // simulator running in the background gets an error instead of being
        // stopped when it reads the terminal, and then gives up its input.
        std::signal(SIGTTIN, SIG_IGN);
        loop_.watch(STDIN_FILENO, POLLIN, [this](short) { readStdin(); });
    }
    if (options_.drift) {
        loop_.after(DriftPeriod, [this] { driftTick(); });
    }

    for (const auto& d : devices_) {
        out_ << deviceLine(*d) << "\n";
    }
    if (controlFd_) {
        out_ << "control 127.0.0.1:" << controlPort_ << "\n";
    }
    out_ << "ready" << std::endl;
    for (auto& d : devices_) {
        if (!d->serial) {
            scheduleAnnounce(*d, std::chrono::milliseconds{0});
        }
    }
    return true;
}

void Simulator::driftTick() {
    std::uniform_int_distribution<int> step(-1, 1);
    for (auto& d : devices_) {
        d->logic.driftReading(step(rng_), options_.temperatureReading, DriftSpread);
    }
    loop_.after(DriftPeriod, [this] { driftTick(); });
}

void Simulator::run() {
    auto deadline = std::chrono::steady_clock::time_point::max();
    if (options_.maxRuntimeS > 0) {
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds{options_.maxRuntimeS};
    }
    loop_.run(deadline);
}

void Simulator::watchSignals() {
    std::array<int, 2> ends{-1, -1};
    if (::pipe(ends.data()) != 0) {
        return;
    }
    signalPipe_[0].reset(ends[0]);
    signalPipe_[1].reset(ends[1]);
    setNonBlocking(signalPipe_[0].get());
    setNonBlocking(signalPipe_[1].get());
    signalWriteFd = signalPipe_[1].get();
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    loop_.watch(signalPipe_[0].get(), POLLIN, [this](short) {
        char drain[16];
        while (::read(signalPipe_[0].get(), drain, sizeof drain) > 0) {
        }
        loop_.stop();
    });
}

// ---- network devices --------------------------------------------------------

bool Simulator::startNetworkDevices() {
    // With an automatic address the devices move on to 127.0.1.2, 127.0.2.2, ...
    // until every one of them finds its TCP port free.
    const int attempts = options_.autoAddress ? AutoAddressAttempts : 1;
    std::string error;
    for (int k = 0; k < attempts; ++k) {
        if (options_.autoAddress) {
            options_.baseAddress =
                offsetAddress(options_.baseAddress, k == 0 ? 0 : AutoAddressStep);
        }
        error.clear();
        for (auto& d : devices_) {
            if (!d->serial && error.empty()) {
                error = startNetwork(*d);
            }
        }
        if (error.empty()) {
            return true;
        }
        for (auto& d : devices_) {
            if (!d->serial) {
                stopNetwork(*d);
            }
        }
    }
    err_ << "tq50r-sim: " << error << "\n";
    return false;
}

std::string Simulator::startNetwork(Device& d) {
    d.address = offsetAddress(options_.baseAddress, static_cast<std::uint32_t>(d.number - 1));
    d.tcpPort = options_.tcpPort;
    if (!options_.namespaceOk && !isLoopback(d.address)) {
        return "device " + std::to_string(d.number) + ": " + addressText(d.address) +
               " lies outside 127.0.0.0/8";
    }
    if (!openListener(d)) {
        return "device " + std::to_string(d.number) + ": cannot listen on " +
               addressText(d.address) + ":" + std::to_string(d.tcpPort) + ": " +
               std::strerror(errno);
    }
    if (d.faults.refuse) {
        closeListener(d);
    }
    // The search ports are taken only when asked for: a device socket on
    // 127.0.0.2:8000 would make the application's bind to any address on
    // port 8000 (or 48899) fail.
    const bool searches = options_.answerSearches || options_.namespaceOk;
    d.udp8000 = openUdp(d.address, searches ? options_.port8000 : 0, options_.namespaceOk);
    d.udpModule = openUdp(d.address, searches ? options_.modulePort : 0, options_.namespaceOk);
    d.udpSsdp = openUdp(d.address, 0, false);
    if (!d.udp8000 || !d.udpModule || !d.udpSsdp) {
        return "device " + std::to_string(d.number) + ": cannot open discovery sockets";
    }
    loop_.watch(d.udp8000.get(), POLLIN,
                [this, &d](short) { readSearch(d, d.udp8000.get(), false); });
    loop_.watch(d.udpModule.get(), POLLIN,
                [this, &d](short) { readSearch(d, d.udpModule.get(), true); });
    if (options_.namespaceOk) {
        in_addr any{};
        any.s_addr = htonl(INADDR_ANY);
        d.anySearch8000 = openUdp(any, options_.port8000, true);
        d.anySearchModule = openUdp(any, options_.modulePort, true);
        if (d.anySearch8000) {
            loop_.watch(d.anySearch8000.get(), POLLIN,
                        [this, &d](short) { readSearch(d, d.anySearch8000.get(), false); });
        }
        if (d.anySearchModule) {
            loop_.watch(d.anySearchModule.get(), POLLIN,
                        [this, &d](short) { readSearch(d, d.anySearchModule.get(), true); });
        }
    }
    return {};
}

void Simulator::stopNetwork(Device& d) {
    closeClient(d);
    closeListener(d);
    for (base::UniqueFd* fd :
         {&d.udp8000, &d.udpModule, &d.udpSsdp, &d.anySearch8000, &d.anySearchModule}) {
        if (*fd) {
            loop_.unwatch(fd->get());
            fd->reset();
        }
    }
}

bool Simulator::openListener(Device& d) {
    base::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        return false;
    }
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in sa = socketAddress(d.address, d.tcpPort);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd.get(), ListenBacklog) != 0) {
        const int saved = errno;
        fd.reset();
        errno = saved;
        return false;
    }
    d.listenFd = std::move(fd);
    d.tcpPort = boundPort(d.listenFd.get()); // a port chosen by the system stays the device's port
    loop_.watch(d.listenFd.get(), POLLIN, [this, &d](short) { acceptClient(d); });
    return true;
}

void Simulator::closeListener(Device& d) {
    if (d.listenFd) {
        loop_.unwatch(d.listenFd.get());
        d.listenFd.reset();
    }
}

void Simulator::acceptClient(Device& d) {
    base::UniqueFd fd(::accept4(d.listenFd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd) {
        return;
    }
    // One client at a time: a new connection takes the place of the old one.
    closeClient(d);
    const int one = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    d.clientFd = std::move(fd);
    ++d.connection;
    d.framesOnConnection = 0;
    d.logic.resetReceiver();
    loop_.watch(d.clientFd.get(), POLLIN, [this, &d](short revents) {
        if ((revents & POLLOUT) != 0) {
            flushOut(d);
        }
        if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            readClient(d);
        }
    });
}

void Simulator::closeClient(Device& d) {
    if (d.clientFd) {
        loop_.unwatch(d.clientFd.get());
        d.clientFd.reset();
        ++d.connection;
        d.pendingOut.clear();
    }
}

void Simulator::readClient(Device& d) {
    std::array<std::uint8_t, ReadBufferSize> buffer{};
    const ssize_t n = ::read(d.clientFd.get(), buffer.data(), buffer.size());
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        closeClient(d);
        return;
    }
    if (n > 0) {
        handleBytes(d, std::span(buffer.data(), static_cast<std::size_t>(n)));
    }
}

// ---- serial devices ---------------------------------------------------------

bool Simulator::startSerial(Device& d) {
    const auto serialIndex = static_cast<std::size_t>(d.number - 1 - options_.networkDevices);
    if (serialIndex < options_.serialLinks.size()) {
        d.link = options_.serialLinks[serialIndex];
    }
    if (!plug(d)) {
        err_ << "tq50r-sim: device " << d.number
             << ": cannot open a pseudo-terminal: " << std::strerror(errno) << "\n";
        return false;
    }
    return true;
}

bool Simulator::plug(Device& d) {
    if (d.plugged) {
        return true;
    }
    base::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master) {
        return false;
    }
    const char* name = nullptr;
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
        (name = ::ptsname(master.get())) == nullptr) {
        return false;
    }
    d.ptyPath = name;
    // The USB port's line: 9600 baud, 8 data bits, no parity, 1 stop bit, raw.
    termios tio{};
    if (::tcgetattr(master.get(), &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(master.get(), TCSANOW, &tio);
    }
    // Holding the far side open keeps the master readable while no program
    // has the port open; the bytes it receives are never read here.
    d.slaveFd.reset(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    d.masterFd = std::move(master);
    d.plugged = true;
    ++d.connection;
    d.logic.resetReceiver();
    if (!d.link.empty()) {
        removeSymlink(d.link);
        if (::symlink(d.ptyPath.c_str(), d.link.c_str()) != 0) {
            err_ << "tq50r-sim: device " << d.number << ": cannot create link " << d.link << ": "
                 << std::strerror(errno) << "\n";
        }
    }
    loop_.watch(d.masterFd.get(), POLLIN, [this, &d](short revents) {
        if ((revents & POLLOUT) != 0) {
            flushOut(d);
        }
        if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            readSerial(d);
        }
    });
    return true;
}

void Simulator::unplug(Device& d) {
    if (!d.plugged) {
        return;
    }
    loop_.unwatch(d.masterFd.get());
    d.masterFd.reset();
    d.slaveFd.reset();
    d.plugged = false;
    ++d.connection;
    d.pendingOut.clear();
    if (!d.link.empty()) {
        removeSymlink(d.link);
    }
}

void Simulator::readSerial(Device& d) {
    std::array<std::uint8_t, ReadBufferSize> buffer{};
    const ssize_t n = ::read(d.masterFd.get(), buffer.data(), buffer.size());
    if (n > 0) {
        // A program that opens the port may claim it exclusively. A USB port
        // drops that claim when the program closes it, but the descriptor held
        // here keeps the pseudo-terminal alive and with it the claim, so that
        // program could not open the port a second time. Its bytes show it has
        // the port open now; the claim is released for its next opening.
        if (d.slaveFd) {
            ::ioctl(d.slaveFd.get(), TIOCNXCL);
        }
        handleBytes(d, std::span(buffer.data(), static_cast<std::size_t>(n)));
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    // The far side hung up (someone closed the held descriptor): hold it open
    // again, or give the port up rather than wake up for nothing forever.
    d.slaveFd.reset(::open(d.ptyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!d.slaveFd) {
        unplug(d);
        out_ << deviceLine(d) << std::endl;
    }
}

// ---- answers ----------------------------------------------------------------

int Simulator::outputFd(const Device& d) const {
    return d.serial ? d.masterFd.get() : d.clientFd.get();
}

void Simulator::handleBytes(Device& d, std::span<const std::uint8_t> bytes) {
    bool dropNow = false;
    const auto answers = d.logic.receive(bytes, [&](protocol::FrameBytes frame) {
        logFrame(d, frame);
        ++d.framesOnConnection;
        if (!d.serial && d.faults.dropAfterFrames > 0 &&
            d.framesOnConnection >= d.faults.dropAfterFrames) {
            dropNow = true;
        }
    });
    if (dropNow) {
        closeClient(d);
        return;
    }
    if (!d.faults.silent && !answers.empty()) {
        sendAnswer(d, answers);
    }
}

void Simulator::sendAnswer(Device& d, const std::vector<Bytes>& frames) {
    const auto chunks = shapeAnswer(frames, d.faults, rng_);
    const auto now = SendClock::now();
    const auto times = chunkTimes(chunks, now, d.lastScheduled);
    const std::uint64_t connection = d.connection;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        d.lastScheduled = times[i];
        // A chunk that is due leaves at once only when nothing of this device
        // still waits in a timer; otherwise it queues behind, in order.
        if (times[i] <= now && d.queuedChunks == 0) {
            writeOut(d, connection, chunks[i].bytes);
            continue;
        }
        ++d.queuedChunks;
        loop_.at(times[i], [this, &d, connection, bytes = chunks[i].bytes] {
            --d.queuedChunks;
            writeOut(d, connection, bytes);
        });
    }
}

void Simulator::writeOut(Device& d, std::uint64_t connection, const Bytes& bytes) {
    const int fd = outputFd(d);
    if (connection != d.connection || fd < 0) {
        return; // the peer this was meant for is gone
    }
    if (d.pendingOut.size() + bytes.size() > MaxPendingOut) {
        return;
    }
    d.pendingOut.insert(d.pendingOut.end(), bytes.begin(), bytes.end());
    flushOut(d);
}

void Simulator::flushOut(Device& d) {
    const int fd = outputFd(d);
    if (fd < 0) {
        d.pendingOut.clear();
        return;
    }
    while (!d.pendingOut.empty()) {
        const ssize_t n = d.serial
                              ? ::write(fd, d.pendingOut.data(), d.pendingOut.size())
                              : ::send(fd, d.pendingOut.data(), d.pendingOut.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        d.pendingOut.erase(d.pendingOut.begin(), d.pendingOut.begin() + n);
    }
    loop_.setEvents(fd, static_cast<short>(POLLIN | (d.pendingOut.empty() ? 0 : POLLOUT)));
}

void Simulator::logFrame(const Device& d, protocol::FrameBytes frame) {
    if (!options_.logFrames) {
        return;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - startTime_)
                        .count();
    constexpr long long MsPerSecond = 1000;
    char time[32];
    std::snprintf(time, sizeof time, "%lld.%03lld", ms / MsPerSecond, ms % MsPerSecond);
    const std::uint8_t code = protocol::commandByte(frame).value_or(0);
    std::ostream& log = logFile_ ? *logFile_ : err_;
    log << "frame " << time << " device " << d.number << " " << commandName(code) << " "
        << hexBytes(frame) << std::endl;
}

// ---- discovery --------------------------------------------------------------

base::UniqueFd Simulator::openUdp(in_addr address, std::uint16_t port, bool shared) {
    base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        return fd;
    }
    if (shared) {
        const int one = 1;
        ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    sockaddr_in sa = socketAddress(address, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        // The port is taken on this address; answers from any port still find
        // the application, which looks only at the source address.
        sa.sin_port = 0;
        if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
            return {};
        }
    }
    return fd;
}

void Simulator::scheduleAnnounce(Device& d, std::chrono::milliseconds delay) {
    if (d.announceTimer) {
        loop_.cancel(*d.announceTimer);
    }
    d.announceTimer = loop_.after(delay, [this, &d] {
        d.announceTimer.reset();
        announce(d);
        scheduleAnnounce(d, std::chrono::milliseconds{options_.announceMs});
    });
}

void Simulator::announce(Device& d) {
    if ((d.discovery & DiscoveryPort8000) != 0) {
        sendDatagram(d.udp8000.get(), port8000Answer(d), options_.appAddress, options_.port8000);
    }
    if ((d.discovery & DiscoverySsdp) != 0) {
        sendDatagram(d.udpSsdp.get(), ssdpAnnouncement(d), options_.appAddress, options_.ssdpPort);
    }
    if ((d.discovery & DiscoveryModule) != 0) {
        sendDatagram(d.udpModule.get(), moduleAnswer(d), options_.appAddress, options_.modulePort);
    }
}

void Simulator::readSearch(Device& d, int fd, bool moduleSocket) {
    std::array<std::uint8_t, ReadBufferSize> buffer{};
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n =
        ::recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n <= 0 || (d.discovery & (moduleSocket ? DiscoveryModule : DiscoveryPort8000)) == 0) {
        return;
    }
    const std::span<const std::uint8_t> data(buffer.data(), static_cast<std::size_t>(n));
    if (moduleSocket) {
        const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
        if (text.starts_with(ModuleSearch)) {
            sendDatagram(d.udpModule.get(), moduleAnswer(d), from.sin_addr, options_.modulePort);
        }
    } else if (std::ranges::equal(data, Port8000Search)) {
        sendDatagram(d.udp8000.get(), port8000Answer(d), from.sin_addr, options_.port8000);
    }
}

void Simulator::sendDatagram(int fd, const Bytes& data, in_addr address, std::uint16_t port) {
    const auto result = guardedSendTo(fd, data, socketAddress(address, port), options_.namespaceOk);
    if (result == SendResult::Refused) {
        err_ << "tq50r-sim: refused to send to " << addressText(address) << "\n";
    }
}

Bytes Simulator::port8000Answer(const Device& d) const {
    // Search header with the answer's own kind and size, then MAC, address and name.
    Bytes answer(Port8000AnswerSize, 0);
    std::copy(Port8000Search.begin(), Port8000Search.begin() + 4, answer.begin());
    answer[1] = Port8000AnswerKind;
    answer[3] = static_cast<std::uint8_t>(Port8000AnswerSize);
    std::copy(d.logic.mac.begin(), d.logic.mac.end(), answer.begin() + 4);
    std::memcpy(answer.data() + 10, &d.address.s_addr, sizeof d.address.s_addr);
    const auto& name = d.logic.nameField();
    std::copy(name.begin(), name.end(), answer.begin() + 14);
    return answer;
}

Bytes Simulator::moduleAnswer(const Device& d) const {
    const std::string text = addressText(d.address) + "," + protocol::macText(d.logic.mac) + "," +
                             std::string(ModuleName);
    return Bytes(text.begin(), text.end());
}

Bytes Simulator::ssdpAnnouncement(const Device& d) const {
    const std::string mac = protocol::macText(d.logic.mac);
    const std::string text = "NOTIFY * HTTP/1.1\r\n"
                             "HOST: 239.255.255.250:1900\r\n"
                             "CACHE-CONTROL: max-age=1800\r\n"
                             "LOCATION: http://" +
                             addressText(d.address) +
                             "/\r\n"
                             "NT: urn:schemas-upnp-org:device:upnp_MDL-S2E:1\r\n"
                             "NTS: ssdp:alive\r\n"
                             "SERVER: TQ50R/1.0 UPnP/1.0\r\n"
                             "USN: uuid:" +
                             mac +
                             "::urn:schemas-upnp-org:device:upnp_MDL-S2E:1\r\n"
                             "\r\n";
    return Bytes(text.begin(), text.end());
}

// ---- control ----------------------------------------------------------------

std::string Simulator::deviceLine(const Device& d) const {
    std::ostringstream line;
    line << "device " << d.number;
    if (d.serial) {
        line << " serial " << (d.plugged ? d.ptyPath : std::string("unplugged"));
        if (!d.link.empty()) {
            line << " link " << d.link;
        }
    } else {
        line << " tcp " << addressText(d.address) << ":" << d.tcpPort;
    }
    line << " mac " << protocol::macText(d.logic.mac) << " name " << d.logic.name();
    return line.str();
}

std::string Simulator::stateLine(const Device& d) const {
    const eq::EqSetting& s = d.logic.setting();
    std::ostringstream line;
    line << "state " << d.number << " revision " << int{d.logic.revision} << " mac "
         << protocol::macText(d.logic.mac) << " trim " << s.trimDb << " bypass "
         << (s.bypass ? 1 : 0);
    for (int n = 1; n <= eq::BandCount; ++n) {
        const eq::EqBand& b = s.band(n);
        line << " band" << n << " " << int{eq::typeWireCode(b.type)} << "," << b.freqIndex << ","
             << b.gainIndex << "," << b.qIndex << "," << (b.off ? 1 : 0);
    }
    const DeviceStatus& st = d.logic.status;
    line << " temperature " << st.temperatureReading << " flags " << int{st.flags[0]} << ","
         << int{st.flags[1]} << "," << int{st.flags[2]} << "," << int{st.flags[3]} << " burning "
         << int{d.logic.burnIn.count} << "," << d.logic.burnIn.minutes << " client "
         << ((d.serial ? d.plugged : d.clientFd.valid()) ? 1 : 0) << " name " << d.logic.name();
    return line.str();
}

std::string Simulator::execute(const std::string& line) {
    const ParsedControl parsed = parseControlLine(line, static_cast<int>(devices_.size()));
    if (!parsed.command) {
        return parsed.error.empty() ? std::string() : "error " + parsed.error;
    }
    const ControlCommand& cmd = *parsed.command;
    if (cmd.verb == "quit") {
        loop_.stop();
        return "ok quit";
    }
    if (cmd.verb == "list") {
        // The device lines first, so that the reply still ends the answer.
        std::string all;
        for (const auto& d : devices_) {
            all += deviceLine(*d) + "\n";
        }
        return all + "ok list";
    }
    if (cmd.verb == "discovery" && !parseDiscoveryList(cmd.text)) {
        return "error bad discovery list " + cmd.text;
    }
    std::string reply = "ok";
    for (auto& d : devices_) {
        if (cmd.device != AllDevices && cmd.device != d->number) {
            continue;
        }
        const std::string result = applyCommand(*d, cmd);
        if (result.starts_with("error")) {
            return result;
        }
        if (!result.empty()) {
            reply += " " + result;
        }
    }
    return reply;
}

std::string Simulator::applyCommand(Device& d, const ControlCommand& cmd) {
    const auto& v = cmd.verb;
    const auto number = [&](std::size_t i) { return cmd.numbers.at(i); };
    if (v == "silent") {
        d.faults.silent = cmd.on;
    } else if (v == "split") {
        d.faults.split = cmd.on;
    } else if (v == "garbage") {
        d.faults.garbage = cmd.on;
    } else if (v == "delay") {
        d.faults.delayMs = static_cast<int>(number(0));
    } else if (v == "refuse") {
        if (d.serial) {
            return cmd.device == AllDevices ? "" : "error device is serial";
        }
        d.faults.refuse = cmd.on;
        if (cmd.on) {
            closeListener(d);
        } else if (!d.listenFd && !openListener(d)) {
            return "error cannot listen again: " + std::string(std::strerror(errno));
        }
    } else if (v == "drop") {
        if (d.serial) {
            return cmd.device == AllDevices ? "" : "error device is serial";
        }
        closeClient(d);
    } else if (v == "unplug" || v == "plug") {
        if (!d.serial) {
            return cmd.device == AllDevices ? "" : "error device is not serial";
        }
        if (v == "unplug") {
            unplug(d);
        } else if (!plug(d)) {
            return "error cannot open a pseudo-terminal";
        }
        // Whoever watches the output learns the new path, whichever way the command came.
        out_ << deviceLine(d) << std::endl;
        return deviceLine(d);
    } else if (v == "discovery") {
        d.discovery = parseDiscoveryList(cmd.text).value_or(d.discovery);
    } else if (v == "announce") {
        if (!d.serial) {
            announce(d);
        }
    } else if (v == "temperature") {
        d.logic.status.temperatureReading = static_cast<std::uint16_t>(number(0));
    } else if (v == "flags") {
        for (std::size_t i = 0; i < d.logic.status.flags.size(); ++i) {
            d.logic.status.flags[i] = static_cast<std::uint8_t>(number(i));
        }
    } else if (v == "burning") {
        d.logic.burnIn =
            BurnIn{static_cast<std::uint8_t>(number(0)), static_cast<std::uint32_t>(number(1))};
    } else if (v == "revision") {
        d.logic.revision = static_cast<std::uint8_t>(number(0));
    } else if (v == "macreport") {
        sendAnswer(d, {d.logic.macReport()});
    } else if (v == "state") {
        return stateLine(d);
    }
    return "";
}

bool Simulator::openControlPort() {
    base::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    in_addr local{};
    ::inet_pton(AF_INET, "127.0.0.1", &local);
    const sockaddr_in sa = socketAddress(local, static_cast<std::uint16_t>(options_.controlPort));
    const int one = 1;
    if (fd) {
        ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (!fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd.get(), ListenBacklog) != 0) {
        err_ << "tq50r-sim: cannot open the control port: " << std::strerror(errno) << "\n";
        return false;
    }
    controlFd_ = std::move(fd);
    controlPort_ = boundPort(controlFd_.get());
    loop_.watch(controlFd_.get(), POLLIN, [this](short) {
        base::UniqueFd client(
            ::accept4(controlFd_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!client || controlClients_.size() >= MaxControlClients) {
            return;
        }
        const int clientFd = client.get();
        controlClients_.push_back(ControlClient{std::move(client), {}});
        loop_.watch(clientFd, POLLIN, [this, clientFd](short) { readControlClient(clientFd); });
    });
    return true;
}

void Simulator::readControlClient(int fd) {
    auto it = std::find_if(controlClients_.begin(), controlClients_.end(),
                           [fd](const ControlClient& c) { return c.fd.get() == fd; });
    if (it == controlClients_.end()) {
        return;
    }
    char buffer[ReadBufferSize];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        loop_.unwatch(fd);
        controlClients_.erase(it); // closes it
        return;
    }
    if (n < 0) {
        return;
    }
    it->buffer.append(buffer, static_cast<std::size_t>(n));
    std::vector<std::string> lines;
    for (std::size_t nl; (nl = it->buffer.find('\n')) != std::string::npos;) {
        lines.push_back(it->buffer.substr(0, nl));
        it->buffer.erase(0, nl + 1);
    }
    if (it->buffer.size() > MaxControlLine) {
        it->buffer.clear();
        lines.emplace_back("error line too long");
    }
    std::string replies;
    for (const auto& line : lines) {
        const std::string reply = line == "error line too long" ? line : execute(line);
        if (!reply.empty()) {
            replies += reply + "\n";
        }
    }
    // Replies are short; a control client that does not read them loses them.
    [[maybe_unused]] const ssize_t w = ::send(fd, replies.data(), replies.size(), MSG_NOSIGNAL);
}

void Simulator::readStdin() {
    char buffer[ReadBufferSize];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        // Without an input the simulator goes on; it ends by signal, quit or time.
        loop_.unwatch(STDIN_FILENO);
        return;
    }
    if (n < 0) {
        return;
    }
    stdinBuffer_.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t nl; (nl = stdinBuffer_.find('\n')) != std::string::npos;) {
        const std::string line = stdinBuffer_.substr(0, nl);
        stdinBuffer_.erase(0, nl + 1);
        const std::string reply = execute(line);
        if (!reply.empty()) {
            out_ << reply << std::endl;
        }
    }
    if (stdinBuffer_.size() > MaxControlLine) {
        stdinBuffer_.clear();
        out_ << "error line too long" << std::endl;
    }
}

} // namespace tq50r::sim
