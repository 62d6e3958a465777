#include "sim_process.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace tq50r::sim::testing {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t ReadChunk = 1024;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool waitReadable(int fd, Clock::time_point deadline) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, remainingMs(deadline)) > 0;
}

} // namespace

std::optional<DeviceLine> parseDeviceLine(const std::string& line) {
    std::istringstream in(line);
    DeviceLine d;
    std::string word;
    if (!(in >> word) || word != "device" || !(in >> d.number >> d.kind >> d.where)) {
        return std::nullopt;
    }
    if (d.kind == "tcp") {
        const auto colon = d.where.rfind(':');
        d.host = d.where.substr(0, colon);
        d.port = static_cast<std::uint16_t>(std::stoi(d.where.substr(colon + 1)));
    }
    const auto name = line.find(" name ");
    if (name != std::string::npos) {
        d.name = line.substr(name + 6);
    }
    return d;
}

SimProcess::SimProcess(std::vector<std::string> args, int runtimeLimitS) {
    args.insert(args.begin(), TQ50R_SIM_PROGRAM);
    args.emplace_back("--max-runtime-s");
    args.emplace_back(std::to_string(runtimeLimitS));
    // [0] reads, [1] writes; the child's ends close in the parent once it has them.
    std::array<base::UniqueFd, 2> inPipe;
    std::array<base::UniqueFd, 2> outPipe;
    std::array<base::UniqueFd, 2> errPipe;
    for (auto* pipe : {&inPipe, &outPipe, &errPipe}) {
        std::array<int, 2> ends{-1, -1};
        if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
            return;
        }
        (*pipe)[0].reset(ends[0]);
        (*pipe)[1].reset(ends[1]);
    }
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(inPipe[0].get(), STDIN_FILENO);
        ::dup2(outPipe[1].get(), STDOUT_FILENO);
        ::dup2(errPipe[1].get(), STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    in_ = std::move(inPipe[1]);
    out_ = std::move(outPipe[0]);
    err_ = std::move(errPipe[0]);
    ::fcntl(err_.get(), F_SETFL, O_NONBLOCK);
    constexpr int MaxStartupLines = 64;
    for (int i = 0; i < MaxStartupLines; ++i) {
        const auto line = readLine();
        if (!line) {
            break;
        }
        if (*line == "ready") {
            ready_ = true;
            break;
        }
        if (auto d = parseDeviceLine(*line)) {
            devices_.push_back(*d);
        }
    }
}

SimProcess::~SimProcess() {
    if (pid_ > 0 && !exited_) {
        if (terminate() < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
}

std::optional<std::string> SimProcess::readLine(Ms wait) {
    const auto deadline = Clock::now() + wait;
    while (true) {
        if (const auto nl = outBuffer_.find('\n'); nl != std::string::npos) {
            std::string line = outBuffer_.substr(0, nl);
            outBuffer_.erase(0, nl + 1);
            return line;
        }
        if (!out_ || !waitReadable(out_.get(), deadline)) {
            return std::nullopt;
        }
        char buffer[ReadChunk];
        const ssize_t n = ::read(out_.get(), buffer, sizeof buffer);
        if (n <= 0) {
            return std::nullopt;
        }
        outBuffer_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string SimProcess::command(const std::string& line, Ms wait) {
    const std::string text = line + "\n";
    if (::write(in_.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        return "write failed";
    }
    // Device lines printed on the way (a re-plugged port) come before the reply.
    const auto deadline = Clock::now() + wait;
    while (const auto reply = readLine(std::chrono::duration_cast<Ms>(deadline - Clock::now()))) {
        if (reply->starts_with("ok") || reply->starts_with("error")) {
            return *reply;
        }
    }
    return "no reply";
}

int SimProcess::terminate(Ms wait) {
    if (pid_ <= 0 || exited_) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + wait;
    constexpr Ms Step{10};
    while (Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(Step);
    }
    return -1;
}

std::string SimProcess::stderrText(Ms wait) {
    const auto deadline = Clock::now() + wait;
    char buffer[ReadChunk];
    while (err_ && waitReadable(err_.get(), deadline)) {
        const ssize_t n = ::read(err_.get(), buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        errBuffer_.append(buffer, static_cast<std::size_t>(n));
    }
    return errBuffer_;
}

sockaddr_in ipv4Address(const std::string& host, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, host.c_str(), &sa.sin_addr);
    return sa;
}

std::uint16_t freeUdpPort() {
    const base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa = ipv4Address("127.0.0.1", 0);
    ::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
}

base::UniqueFd connectTcp(const std::string& host, std::uint16_t port, Ms wait) {
    base::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const sockaddr_in sa = ipv4Address(host, port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 &&
        errno != EINPROGRESS) {
        return {};
    }
    pollfd p{fd.get(), POLLOUT, 0};
    int error = 0;
    socklen_t len = sizeof error;
    if (::poll(&p, 1, static_cast<int>(wait.count())) != 1 ||
        ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
        return {};
    }
    return fd;
}

bool sendAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + DefaultWait;
    while (done < bytes.size() && Clock::now() < deadline) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) {
            n = ::write(fd, bytes.data() + done, bytes.size() - done); // a serial port
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN) {
            return false;
        } else {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, remainingMs(deadline));
        }
    }
    return done == bytes.size();
}

std::vector<Bytes> readFrames(int fd, std::size_t count, Ms wait, int* reads,
                              std::size_t* rawBytes) {
    std::vector<Bytes> frames;
    protocol::FrameParser parser([&](protocol::FrameBytes f, protocol::FrameSource) {
        frames.emplace_back(f.begin(), f.end());
    });
    const auto deadline = Clock::now() + wait;
    while (frames.size() < count && waitReadable(fd, deadline)) {
        std::uint8_t buffer[ReadChunk];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        if (reads != nullptr) {
            ++*reads;
        }
        if (rawBytes != nullptr) {
            *rawBytes += static_cast<std::size_t>(n);
        }
        parser.feed(std::span(buffer, static_cast<std::size_t>(n)), 0);
    }
    return frames;
}

bool peerClosed(int fd, Ms wait) {
    const auto deadline = Clock::now() + wait;
    while (waitReadable(fd, deadline)) {
        std::uint8_t buffer[ReadChunk];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            return true;
        }
    }
    return false;
}

base::UniqueFd openSerial(const std::string& path) {
    base::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return fd;
    }
    termios tio{};
    ::tcgetattr(fd.get(), &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(fd.get(), TCSANOW, &tio);
    return fd;
}

base::UniqueFd udpListener(std::uint16_t port) {
    base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_in sa = ipv4Address("127.0.0.1", port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        return {};
    }
    return fd;
}

std::optional<Datagram> receiveDatagram(int fd, Ms wait) {
    if (!waitReadable(fd, Clock::now() + wait)) {
        return std::nullopt;
    }
    std::uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n =
        ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) {
        return std::nullopt;
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    return Datagram{Bytes(buffer, buffer + n), text};
}

} // namespace tq50r::sim::testing
