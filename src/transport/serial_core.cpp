#include "transport/serial_core.h"

#include "platform/device_holders.h"
#include "transport/custom_baud.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tq50r::transport {
namespace {

using Clock = std::chrono::steady_clock;

// While received bytes sit unread the port stays readable; the event thread then waits this
// long (for stop only) before it looks again, so that it never spins.
constexpr int kUnreadBackoffMs = 10;
// Step of the wait for the transmit queue to drain before a port is closed.
constexpr auto kDrainPollStep = std::chrono::milliseconds(1);

struct SpeedConstant {
    int bps;
    speed_t constant;
};
constexpr std::array<SpeedConstant, 11> kTermiosSpeeds = {{
    {110, B110},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
}};

constexpr std::array<tcflag_t, 4> kSizeFlags = {CS5, CS6, CS7, CS8};
constexpr int kFewestDataBits = 5;

// Modem-line requests fail this way on ports that have no lines (pseudo-terminals).
bool isNoModemLines(int err) {
    return err == ENOTTY || err == EINVAL;
}

int pendingInput(int fd) {
    int count = 0;
    if (::ioctl(fd, FIONREAD, &count) != 0) {
        return -1;
    }
    return count;
}

// Whole milliseconds left until `deadline`; 0 once it has passed.
int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

// Moves up to `count` bytes, `step(done)` being one read or write of the rest. While the port can
// move none it waits in poll() for `readiness` until `deadline`, or stops at once when
// `returnAtOnce`; an end of file (0) stops it too.
template <typename Step>
IoResult transfer(int fd, int count, short readiness, Clock::time_point deadline, bool returnAtOnce,
                  Step step) {
    int done = 0;
    while (done < count) {
        const ssize_t n = step(done);
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return {done, errno};
        }
        if (n == 0 || returnAtOnce) {
            break;
        }
        const int waitMs = remainingMs(deadline);
        if (waitMs == 0) {
            break;
        }
        pollfd pfd{fd, readiness, 0};
        if (::poll(&pfd, 1, waitMs) < 0 && errno != EINTR) {
            return {done, errno};
        }
    }
    return {done, 0};
}

void setTermiosFlags(termios& tio, const LineSettings& s) {
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    const auto sizeIndex = static_cast<std::size_t>(std::clamp(s.dataBits - kFewestDataBits, 0, 3));
    tio.c_cflag |= kSizeFlags[sizeIndex];
    switch (s.parity) {
    case LineSettings::Parity::None:
        break;
    case LineSettings::Parity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case LineSettings::Parity::Even:
        tio.c_cflag |= PARENB;
        break;
    case LineSettings::Parity::Mark:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case LineSettings::Parity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (s.parityCheck) {
        tio.c_iflag |= INPCK;
    }
    // One and a half stop bits exist only with five data bits, where the UART makes them of CSTOPB.
    if (s.twoStopBits) {
        tio.c_cflag |= CSTOPB;
    }
    if (s.rtsCtsFlow) {
        tio.c_cflag |= CRTSCTS;
    }
    if (s.xonXoffOut) {
        tio.c_iflag |= IXON;
    }
    if (s.xonXoffIn) {
        tio.c_iflag |= IXOFF;
    }
    tio.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

} // namespace

SerialCore::~SerialCore() {
    close();
}

int SerialCore::open(const std::string& path) {
    if (fd_) {
        return 0;
    }
    base::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return errno;
    }
    // Only a terminal is a serial port: a plain file opened by mistake would be written over and
    // would keep the event thread awake for ever.
    if (::isatty(fd.get()) == 0) {
        return ENOTTY;
    }
    // Not shared. The lock is respected by other instances of this program, root included;
    // the kernel refuses the open above with EBUSY when the holder set exclusive mode (unless we
    // are root); and /proc shows any other process that has the port open, whatever it did.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return errno;
    }
    if (platform::heldByAnotherProcess(fd.get())) {
        return EBUSY;
    }
    (void)::ioctl(fd.get(), TIOCEXCL);
    fd_ = std::move(fd);
    announced_.store(0);
    return 0;
}

void SerialCore::close() {
    stopEvents();
    if (fd_) {
        // Give up the exclusive claim: it would outlive us while other handles keep the tty open.
        (void)::ioctl(fd_.get(), TIOCNXCL);
        fd_.reset();
    }
}

int SerialCore::applySettings(const LineSettings& settings) {
    if (!fd_) {
        return EBADF;
    }
    termios tio{};
    if (::tcgetattr(fd_.get(), &tio) != 0) {
        return errno;
    }
    setTermiosFlags(tio, settings);
    bool standardSpeed = false;
    for (const auto& entry : kTermiosSpeeds) {
        if (entry.bps == settings.speedBps) {
            ::cfsetispeed(&tio, entry.constant);
            ::cfsetospeed(&tio, entry.constant);
            standardSpeed = true;
        }
    }
    if (::tcsetattr(fd_.get(), TCSANOW, &tio) != 0) {
        return errno;
    }
    if (!standardSpeed) {
        if (const int err = detail::setArbitrarySpeed(fd_.get(), settings.speedBps); err != 0) {
            return err;
        }
    }
    // DTR and RTS: held as told; ports without modem lines have nothing to set.
    int firstError = 0;
    const auto setLine = [this, &firstError](int line, LineSettings::Output output) {
        if (output == LineSettings::Output::Driver) {
            return;
        }
        const int rc =
            ::ioctl(fd_.get(), output == LineSettings::Output::On ? TIOCMBIS : TIOCMBIC, &line);
        if (rc != 0 && !isNoModemLines(errno) && firstError == 0) {
            firstError = errno;
        }
    };
    setLine(TIOCM_DTR, settings.dtr);
    setLine(TIOCM_RTS, settings.rts);
    return firstError;
}

int SerialCore::modemLines(ModemLines& lines) const {
    lines = {};
    if (!fd_) {
        return EBADF;
    }
    int status = 0;
    if (::ioctl(fd_.get(), TIOCMGET, &status) != 0) {
        return isNoModemLines(errno) ? 0 : errno;
    }
    lines.cts = (status & TIOCM_CTS) != 0;
    lines.dsr = (status & TIOCM_DSR) != 0;
    lines.rlsd = (status & TIOCM_CAR) != 0;
    return 0;
}

int SerialCore::purge() {
    if (!fd_) {
        return EBADF;
    }
    if (::tcflush(fd_.get(), TCIOFLUSH) != 0 && !isNoModemLines(errno)) {
        return errno;
    }
    return 0;
}

int SerialCore::outputQueued() const {
    int queued = 0;
    if (!fd_ || ::ioctl(fd_.get(), TIOCOUTQ, &queued) != 0) {
        return 0;
    }
    return queued;
}

void SerialCore::drainOutput(std::chrono::milliseconds limit) const {
    const auto deadline = Clock::now() + limit;
    while (outputQueued() > 0 && remainingMs(deadline) > 0) {
        std::this_thread::sleep_for(kDrainPollStep);
    }
}

IoResult SerialCore::write(const void* buffer, int count, std::chrono::milliseconds limit) {
    if (!fd_) {
        return {0, EBADF};
    }
    // Only a full queue makes this wait: the bytes need not have left the line.
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    return transfer(fd_.get(), count, POLLOUT, Clock::now() + limit, false, [&](int done) {
        return ::write(fd_.get(), bytes + done, static_cast<size_t>(count - done));
    });
}

IoResult SerialCore::read(void* buffer, int count, std::chrono::milliseconds limit,
                          bool returnAtOnce) {
    if (!fd_) {
        return {0, EBADF};
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    const IoResult result =
        transfer(fd_.get(), count, POLLIN, Clock::now() + limit, returnAtOnce, [&](int done) {
            return ::read(fd_.get(), bytes + done, static_cast<size_t>(count - done));
        });
    if (result.error == 0) {
        // Bytes read are no longer "announced and waiting".
        int unread = announced_.load();
        while (!announced_.compare_exchange_weak(unread, std::max(0, unread - result.count))) {
        }
    }
    return result;
}

int SerialCore::inputCount() const {
    if (!fd_) {
        return -EBADF;
    }
    const int count = pendingInput(fd_.get());
    return count < 0 ? -errno : count;
}

// ---------------------------------------------------------------------------------------------
// Event thread

int SerialCore::startEvents(bool watchReceived, bool watchErrors, EventSink sink) {
    stopFd_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopFd_) {
        return errno;
    }
    announced_.store(0);
    eventThread_ = std::jthread([this, portFd = fd_.get(), stopFd = stopFd_.get(), watchReceived,
                                 watchErrors, sink = std::move(sink)](std::stop_token stop) {
        eventLoop(stop, portFd, stopFd, watchReceived, watchErrors, sink);
    });
    return 0;
}

void SerialCore::stopEvents() {
    if (eventThread_.joinable()) {
        eventThread_.request_stop();
        const std::uint64_t one = 1;
        (void)!::write(stopFd_.get(), &one, sizeof one);
        eventThread_.join();
    }
    stopFd_.reset();
}

void SerialCore::eventLoop(const std::stop_token& stop, int portFd, int stopFd, bool watchReceived,
                           bool watchErrors, const EventSink& sink) {
    bool watchPort = portFd >= 0; // without a usable handle the thread only waits for stop
    bool backoff = false;
    while (!stop.stop_requested()) {
        std::array<pollfd, 2> fds{{{stopFd, POLLIN, 0}, {portFd, POLLIN | POLLPRI, 0}}};
        const nfds_t count = (watchPort && !backoff) ? 2 : 1;
        const int timeoutMs = backoff ? kUnreadBackoffMs : -1;
        const int rc = ::poll(fds.data(), count, timeoutMs);
        if (rc < 0) {
            if (errno != EINTR) {
                // Nothing left to watch but stop; should even that wait fail, pace the retries.
                if (!watchPort) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(kUnreadBackoffMs));
                }
                watchPort = false;
            }
            continue;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (backoff) {
            backoff = false;
            continue;
        }
        if (count < 2 || fds[1].revents == 0) {
            continue;
        }
        const short revents = fds[1].revents;
        LineEvents events;
        const bool lineGone = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        events.error = watchErrors && (revents & (POLLERR | POLLNVAL)) != 0;
        const int waiting = pendingInput(portFd);
        if (waiting > announced_.load() && watchReceived) {
            events.received = true;
        } else if (waiting > 0) {
            backoff = true; // bytes nobody is to be told about (again) yet: look again later
        }
        if (lineGone && waiting <= 0) {
            // Hang-up or error stays signalled; stop watching so that the thread does not spin.
            watchPort = false;
        }
        if (events.any()) {
            sink(events, stop);
            if (lineGone && pendingInput(portFd) > 0) {
                backoff = true;
            }
        }
    }
    // Leaving: whatever is still queued either way belongs to this opening only.
    if (portFd >= 0) {
        (void)::tcflush(portFd, TCIOFLUSH);
    }
}

} // namespace tq50r::transport
