#include "transport/com_port.h"

#include "transport/custom_baud.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace tq50r::transport {
namespace {

constexpr std::array<const char*, kLastComError> kComErrorTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
    "Port Not Open",
};

constexpr const char* kDevDir = "/dev/";

// While received bytes sit unread the port stays readable; the event thread then waits this
// long (for stop only) before it looks again, so that it never spins.
constexpr int kUnreadBackoffMs = 10;
// Longest write wait when both write timeouts are 0 (the driver would wait without limit).
constexpr std::int64_t kUnboundedWriteCapMs = 60000;
// Longest total timeout honoured: larger settings (up to 2^32 ms per byte) would overflow the
// clock's deadline arithmetic.
constexpr std::int64_t kLongestTimeoutMs = 24LL * 60 * 60 * 1000;

std::int64_t totalTimeoutMs(std::uint32_t multiplierMs, int count, std::uint32_t constantMs) {
    const std::int64_t total = static_cast<std::int64_t>(multiplierMs) * count + constantMs;
    return std::min(total, kLongestTimeoutMs);
}

using Clock = std::chrono::steady_clock;

// Whole milliseconds left until `deadline`; 0 once it has passed.
int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}
// Step of the wait for the transmit queue to drain.
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

struct BaudRateSpeed {
    TBaudRate rate;
    int bps;
};
constexpr std::array<BaudRateSpeed, 15> kBaudRateSpeeds = {{
    {TBaudRate::br110, 110},
    {TBaudRate::br300, 300},
    {TBaudRate::br600, 600},
    {TBaudRate::br1200, 1200},
    {TBaudRate::br2400, 2400},
    {TBaudRate::br4800, 4800},
    {TBaudRate::br9600, 9600},
    {TBaudRate::br14400, 14400},
    {TBaudRate::br19200, 19200},
    {TBaudRate::br38400, 38400},
    {TBaudRate::br56000, 56000},
    {TBaudRate::br57600, 57600},
    {TBaudRate::br115200, 115200},
    {TBaudRate::br128000, 128000},
    {TBaudRate::br256000, 256000},
}};

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

} // namespace

// ---------------------------------------------------------------------------------------------
// Free helpers

int baudRateToInt(TBaudRate rate, int customBaudRate) {
    if (rate == TBaudRate::brCustom) {
        return customBaudRate;
    }
    for (const auto& entry : kBaudRateSpeeds) {
        if (entry.rate == rate) {
            return entry.bps;
        }
    }
    return customBaudRate;
}

std::string comErrorText(int code) {
    if (code < kFirstComError || code > kLastComError) {
        return {};
    }
    return kComErrorTexts[static_cast<std::size_t>(code - kFirstComError)];
}

std::int64_t osErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
    case EACCES:
    case EBUSY:
    case EWOULDBLOCK: // the port's lock is held by another process
        return kOsErrorAccessDenied;
    case EIO:
        return kOsErrorDeviceFailure;
    default:
        return errnoValue;
    }
}

namespace {
std::string exceptionMessage(int code, std::int64_t osError) {
    std::string text = comErrorText(code);
    if (osError > 0) {
        text += " (Error: " + std::to_string(osError) + ")";
    }
    return text;
}
} // namespace

EComPort::EComPort(int code, std::int64_t osError)
    : std::runtime_error(exceptionMessage(code, osError)), code_(code), osError_(osError) {}

// ---------------------------------------------------------------------------------------------
// Setting objects

TComParity& TComParity::operator=(const TComParity& other) {
    bits_ = other.bits_;
    check_ = other.check_;
    replace_ = other.replace_;
    replaceChar_ = other.replaceChar_;
    owner_->ApplyDCB();
    return *this;
}
void TComParity::setBits(TParityBits v) {
    bits_ = v;
    owner_->ApplyDCB();
}
void TComParity::setCheck(bool v) {
    check_ = v;
    owner_->ApplyDCB();
}
void TComParity::setReplace(bool v) {
    replace_ = v;
    owner_->ApplyDCB();
}
void TComParity::setReplaceChar(char v) {
    replaceChar_ = v;
    owner_->ApplyDCB();
}

TComFlowControl& TComFlowControl::operator=(const TComFlowControl& other) {
    outCtsFlow_ = other.outCtsFlow_;
    outDsrFlow_ = other.outDsrFlow_;
    controlDtr_ = other.controlDtr_;
    controlRts_ = other.controlRts_;
    xonXoffOut_ = other.xonXoffOut_;
    xonXoffIn_ = other.xonXoffIn_;
    dsrSensitivity_ = other.dsrSensitivity_;
    txContinueOnXoff_ = other.txContinueOnXoff_;
    xonChar_ = other.xonChar_;
    xoffChar_ = other.xoffChar_;
    changed();
    return *this;
}
void TComFlowControl::changed() {
    owner_->ApplyDCB();
}
void TComFlowControl::setOutCTSFlow(bool v) {
    outCtsFlow_ = v;
    changed();
}
void TComFlowControl::setOutDSRFlow(bool v) {
    outDsrFlow_ = v;
    changed();
}
void TComFlowControl::setControlDTR(TDTRFlowControl v) {
    controlDtr_ = v;
    changed();
}
void TComFlowControl::setControlRTS(TRTSFlowControl v) {
    controlRts_ = v;
    changed();
}
void TComFlowControl::setXonXoffOut(bool v) {
    xonXoffOut_ = v;
    changed();
}
void TComFlowControl::setXonXoffIn(bool v) {
    xonXoffIn_ = v;
    changed();
}
void TComFlowControl::setDSRSensitivity(bool v) {
    dsrSensitivity_ = v;
    changed();
}
void TComFlowControl::setTxContinueOnXoff(bool v) {
    txContinueOnXoff_ = v;
    changed();
}
void TComFlowControl::setXonChar(char v) {
    xonChar_ = v;
    changed();
}
void TComFlowControl::setXoffChar(char v) {
    xoffChar_ = v;
    changed();
}

TComTimeouts& TComTimeouts::operator=(const TComTimeouts& other) {
    readInterval_ = other.readInterval_;
    readTotalMultiplier_ = other.readTotalMultiplier_;
    readTotalConstant_ = other.readTotalConstant_;
    writeTotalMultiplier_ = other.writeTotalMultiplier_;
    writeTotalConstant_ = other.writeTotalConstant_;
    changed();
    return *this;
}
void TComTimeouts::changed() {
    owner_->ApplyTimeouts();
}
void TComTimeouts::setReadInterval(std::uint32_t v) {
    readInterval_ = v;
    changed();
}
void TComTimeouts::setReadTotalMultiplier(std::uint32_t v) {
    readTotalMultiplier_ = v;
    changed();
}
void TComTimeouts::setReadTotalConstant(std::uint32_t v) {
    readTotalConstant_ = v;
    changed();
}
void TComTimeouts::setWriteTotalMultiplier(std::uint32_t v) {
    writeTotalMultiplier_ = v;
    changed();
}
void TComTimeouts::setWriteTotalConstant(std::uint32_t v) {
    writeTotalConstant_ = v;
    changed();
}

namespace {
int evenSize(int v) {
    return v - (v % 2);
}
} // namespace

TComBuffer& TComBuffer::operator=(const TComBuffer& other) {
    inputSize_ = other.inputSize_;
    outputSize_ = other.outputSize_;
    changed();
    return *this;
}
void TComBuffer::changed() {
    owner_->ApplyBuffer();
}
void TComBuffer::setInputSize(int v) {
    inputSize_ = evenSize(v);
    changed();
}
void TComBuffer::setOutputSize(int v) {
    outputSize_ = evenSize(v);
    changed();
}

// ---------------------------------------------------------------------------------------------
// Delivery of events to the port's thread

// One per event thread. The event thread posts a handler call and waits until it has run;
// Close() marks the gate abandoned so that a call still in the queue does nothing, and it stops
// the wait through the thread's stop token.
struct TComPort::DeliveryGate {
    std::mutex mutex;
    std::condition_variable_any cv;
    bool abandoned = false;
    bool running = false;
    std::uint64_t posted = 0;
    std::uint64_t finished = 0;
};

TComPort::TComPort(QObject* parent) : QObject(parent) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ >= 0) {
        wakeNotifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(wakeNotifier_, &QSocketNotifier::activated, this, &TComPort::runPendingEvents);
    }
}

TComPort::~TComPort() {
    try {
        Close();
    } catch (const EComPort&) {
        // A port that cannot be purged is closed all the same.
    }
    delete wakeNotifier_;
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

std::string TComPort::Port() const {
    const std::lock_guard lock(portMutex_);
    return port_;
}

std::string TComPort::devicePath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    return kDevDir + name;
}

void TComPort::setPort(const std::string& name) {
    {
        const std::lock_guard lock(portMutex_);
        if (name == port_) {
            return;
        }
        port_ = name;
    }
    const std::lock_guard lifecycle(lifecycleMutex_);
    if (connected_) {
        Close();
        Open();
    }
}

void TComPort::setConnected(bool value) {
    if (value) {
        Open();
    } else {
        Close();
    }
}

void TComPort::setBaudRate(TBaudRate v) {
    baudRate_ = v;
    ApplyDCB();
}
void TComPort::setCustomBaudRate(int v) {
    customBaudRate_ = v;
    ApplyDCB();
}
void TComPort::setDataBits(TDataBits v) {
    dataBits_ = v;
    ApplyDCB();
}
void TComPort::setStopBits(TStopBits v) {
    stopBits_ = v;
    ApplyDCB();
}
void TComPort::setDiscardNull(bool v) {
    discardNull_ = v;
    ApplyDCB();
}
void TComPort::setEventChar(char v) {
    eventChar_ = v;
    ApplyDCB();
}

void TComPort::setSyncMethod(TSyncMethod v) {
    if (v == syncMethod_.load()) {
        return;
    }
    if (connected_) {
        CallException(ComError::ConnChangeProp);
    }
    syncMethod_.store(v);
}

void TComPort::EndUpdate() {
    if (updateCount_ > 0) {
        --updateCount_;
    }
    if (applyAllowed()) {
        ApplyBuffer();
        ApplyDCB();
        ApplyTimeouts();
    }
}

void TComPort::CallException(ComError code, std::int64_t osError, int errnoValue) {
    const int number = static_cast<int>(code);
    if (!OnException) {
        throw EComPort(number, osError);
    }
    const std::string osMessage = osError > 0 ? std::string(std::strerror(errnoValue)) : "";
    OnException(*this, number, comErrorText(number), osError, osMessage);
}

void TComPort::CallErrno(ComError code, int errnoValue) {
    CallException(code, osErrorFromErrno(errnoValue), errnoValue);
}

// ---------------------------------------------------------------------------------------------
// Open and close

void TComPort::Open() {
    const std::lock_guard lifecycle(lifecycleMutex_);
    if (connected_) {
        return;
    }
    if (OnBeforeOpen) {
        OnBeforeOpen(*this);
    }
    const std::string path = devicePath(Port());
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) {
        // Not shared: refuse further opens of the tty, and hold a lock that other instances of
        // this program (which may run as root, where the tty flag does not bind) respect.
        int lockErr = 0;
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            lockErr = errno;
        } else {
            (void)::ioctl(fd_, TIOCEXCL);
        }
        if (lockErr != 0) {
            ::close(fd_);
            fd_ = -1;
            errno = lockErr;
        }
    }
    if (fd_ < 0) {
        CallErrno(ComError::OpenFailed, errno);
    }
    connected_ = true;
    try {
        ApplyBuffer();
        ApplyDCB();
        ApplyTimeouts();
    } catch (...) {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        connected_ = false;
        throw;
    }
    if (events_.empty()) {
        threadCreated_ = false;
    } else {
        startEventThread();
    }
    if (OnAfterOpen) {
        OnAfterOpen(*this);
    }
    raiseModemLines(true);
}

void TComPort::raiseModemLines(bool fromPort) {
    bool cts = false;
    bool dsr = false;
    bool rlsd = false;
    if (fromPort) {
        int status = 0;
        if (fd_ < 0) {
            CallErrno(ComError::ModemStatFailed, EBADF);
        } else if (::ioctl(fd_, TIOCMGET, &status) != 0) {
            if (!isNoModemLines(errno)) {
                CallErrno(ComError::ModemStatFailed, errno);
            }
        } else {
            cts = (status & TIOCM_CTS) != 0;
            dsr = (status & TIOCM_DSR) != 0;
            rlsd = (status & TIOCM_CAR) != 0;
        }
    }
    if (OnCTSChange) {
        OnCTSChange(*this, cts);
    }
    if (OnDSRChange) {
        OnDSRChange(*this, dsr);
    }
    if (OnRLSDChange) {
        OnRLSDChange(*this, rlsd);
    }
}

void TComPort::Close() {
    std::unique_lock lifecycle(lifecycleMutex_);
    if (!connected_) {
        return;
    }
    if (threadCreated_ && QThread::currentThread() != thread()) {
        // A handler of this port may be running on the port's thread, and it may open or close
        // the port itself: stop further handlers, then wait for that one without holding the
        // lifecycle lock.
        const std::shared_ptr<DeliveryGate> gate = gate_;
        {
            const std::lock_guard lock(gate->mutex);
            gate->abandoned = true;
        }
        lifecycle.unlock();
        {
            std::unique_lock lock(gate->mutex);
            gate->cv.wait(lock, [&gate] { return !gate->running; });
        }
        lifecycle.lock();
        if (!connected_ || gate_ != gate) {
            return; // closed (and perhaps opened again) by someone else meanwhile
        }
    }
    raiseModemLines(false);
    if (OnBeforeClose) {
        OnBeforeClose(*this);
    }
    int purgeErrno = 0;
    if (fd_ < 0) {
        purgeErrno = EBADF;
    } else if (::tcflush(fd_, TCIOFLUSH) != 0 && !isNoModemLines(errno)) {
        purgeErrno = errno;
    }
    // The hook hears of a failed purge at once and closing goes on. Raised, the error waits
    // until the port is closed: raising it here would leave the handle and the event thread
    // behind on a port that could then never be closed.
    if (purgeErrno != 0 && OnException) {
        CallErrno(ComError::PurgeFailed, purgeErrno);
        purgeErrno = 0;
    }
    if (threadCreated_) {
        stopEventThread();
        threadCreated_ = false;
    }
    if (fd_ >= 0) {
        // Give up the exclusive claim: it would outlive us while other handles keep the tty open.
        (void)::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    connected_ = false;
    if (OnAfterClose) {
        OnAfterClose(*this);
    }
    if (purgeErrno != 0) {
        CallErrno(ComError::PurgeFailed, purgeErrno);
    }
}

// ---------------------------------------------------------------------------------------------
// Settings

void TComPort::ApplyBuffer() {
    if (!applyAllowed()) {
        return;
    }
    // The tty layer's queues are fixed; only the handle is checked.
    if (fd_ < 0) {
        CallErrno(ComError::SetupComFailed, EBADF);
    }
}

void TComPort::ApplyTimeouts() {
    if (!applyAllowed()) {
        return;
    }
    // Reads and writes are non-blocking and timed by Read and Write themselves.
    if (fd_ < 0) {
        CallErrno(ComError::TimeoutsFailed, EBADF);
    }
}

void TComPort::ApplyDCB() {
    if (!applyAllowed()) {
        return;
    }
    if (fd_ < 0) {
        CallErrno(ComError::SetStateFailed, EBADF);
        return;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) {
        CallErrno(ComError::SetStateFailed, errno);
        return;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr std::array<tcflag_t, 4> kSizeFlags = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizeFlags[static_cast<std::size_t>(dataBits_)];
    switch (parity_.Bits()) {
    case TParityBits::prNone:
        break;
    case TParityBits::prOdd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case TParityBits::prEven:
        tio.c_cflag |= PARENB;
        break;
    case TParityBits::prMark:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case TParityBits::prSpace:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (parity_.Check()) {
        tio.c_iflag |= INPCK;
    }
    // One and a half stop bits exist only with five data bits, where the UART makes them of CSTOPB.
    if (stopBits_ != TStopBits::sbOneStopBit) {
        tio.c_cflag |= CSTOPB;
    }
    if (flowControl_.OutCTSFlow() || flowControl_.ControlRTS() == TRTSFlowControl::rtsHandshake) {
        tio.c_cflag |= CRTSCTS;
    }
    if (flowControl_.XonXoffOut()) {
        tio.c_iflag |= IXON;
    }
    if (flowControl_.XonXoffIn()) {
        tio.c_iflag |= IXOFF;
    }
    tio.c_cc[VSTART] = static_cast<cc_t>(flowControl_.XonChar());
    tio.c_cc[VSTOP] = static_cast<cc_t>(flowControl_.XoffChar());
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const int speed = baudRateToInt(baudRate_, customBaudRate_);
    bool standardSpeed = false;
    for (const auto& entry : kTermiosSpeeds) {
        if (entry.bps == speed) {
            ::cfsetispeed(&tio, entry.constant);
            ::cfsetospeed(&tio, entry.constant);
            standardSpeed = true;
        }
    }
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        CallErrno(ComError::SetStateFailed, errno);
        return;
    }
    if (!standardSpeed) {
        if (const int err = detail::setArbitrarySpeed(fd_, speed); err != 0) {
            CallErrno(ComError::SetStateFailed, err);
            return;
        }
    }
    // DTR and RTS: held off unless enabled; ports without modem lines have nothing to set.
    const auto setLine = [this](int line, bool on) {
        const int rc = ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line);
        if (rc != 0 && !isNoModemLines(errno)) {
            CallErrno(ComError::SetStateFailed, errno);
        }
    };
    if (flowControl_.ControlDTR() != TDTRFlowControl::dtrHandshake) {
        setLine(TIOCM_DTR, flowControl_.ControlDTR() == TDTRFlowControl::dtrEnable);
    }
    if (flowControl_.ControlRTS() == TRTSFlowControl::rtsDisable ||
        flowControl_.ControlRTS() == TRTSFlowControl::rtsEnable) {
        setLine(TIOCM_RTS, flowControl_.ControlRTS() == TRTSFlowControl::rtsEnable);
    }
}

// ---------------------------------------------------------------------------------------------
// Write, Read, InputCount

int TComPort::Write(const void* buffer, int count) {
    if (fd_ < 0) {
        // Reported through the hook, the write goes on and fails on the missing handle.
        CallException(ComError::PortNotOpen, kOsErrorPortNotOpen);
        CallErrno(ComError::WriteFailed, EBADF);
        return 0;
    }
    if (count <= 0) {
        return 0;
    }
    std::int64_t limitMs =
        totalTimeoutMs(timeouts_.WriteTotalMultiplier(), count, timeouts_.WriteTotalConstant());
    if (limitMs == 0) {
        limitMs = kUnboundedWriteCapMs;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    int written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd_, bytes + written, static_cast<size_t>(count - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            CallErrno(ComError::WriteFailed, errno);
            return 0;
        }
        const int waitMs = remainingMs(deadline);
        if (waitMs == 0) {
            return written; // write timeout: what went out so far
        }
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, waitMs) < 0 && errno != EINTR) {
            CallErrno(ComError::WriteFailed, errno);
            return 0;
        }
    }
    // Sent means on the line: wait for the transmit queue to drain, within the same limit.
    int queued = 0;
    while (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 && remainingMs(deadline) > 0) {
        std::this_thread::sleep_for(kDrainPollStep);
    }
    return written;
}

int TComPort::Read(void* buffer, int count) {
    if (fd_ < 0) {
        CallException(ComError::PortNotOpen, kOsErrorPortNotOpen);
        CallErrno(ComError::ReadFailed, EBADF);
        return 0;
    }
    if (count <= 0) {
        return 0;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    const bool returnAtOnce = timeouts_.ReadInterval() == TComTimeouts::kReadIntervalNoWait &&
                              timeouts_.ReadTotalMultiplier() == 0 &&
                              timeouts_.ReadTotalConstant() == 0;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(totalTimeoutMs(
                           timeouts_.ReadTotalMultiplier(), count, timeouts_.ReadTotalConstant()));
    int got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd_, bytes + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            CallErrno(ComError::ReadFailed, errno);
            return 0;
        }
        if (returnAtOnce || n == 0) {
            break;
        }
        const int leftMs = remainingMs(deadline);
        if (leftMs == 0) {
            break;
        }
        pollfd pfd{fd_, POLLIN, 0};
        (void)::poll(&pfd, 1, leftMs);
    }
    // Bytes read are no longer "announced and waiting".
    int unread = announcedUnread_.load();
    while (!announcedUnread_.compare_exchange_weak(unread, std::max(0, unread - got))) {
    }
    return got;
}

int TComPort::InputCount() {
    if (fd_ < 0) {
        CallErrno(ComError::ClearComFailed, EBADF);
        return 0;
    }
    const int count = pendingInput(fd_);
    if (count < 0) {
        CallErrno(ComError::ClearComFailed, errno);
        return 0;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// Event thread

void TComPort::startEventThread() {
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        CallErrno(ComError::WaitFailed, errno);
        threadCreated_ = false;
        return;
    }
    gate_ = std::make_shared<DeliveryGate>();
    announcedUnread_.store(0);
    eventThread_ = std::jthread([this, portFd = fd_, stopFd = stopFd_, gate = gate_,
                                 watched = events_](std::stop_token stop) {
        eventLoop(std::move(stop), portFd, stopFd, gate, watched);
    });
    threadCreated_ = true;
}

void TComPort::stopEventThread() {
    const bool onOwnThread = QThread::currentThread() == thread();
    {
        std::unique_lock lock(gate_->mutex);
        gate_->abandoned = true;
        // From another thread, let a handler that already runs here finish before the handle
        // goes away under it. On the port's own thread that handler is our caller.
        if (!onOwnThread) {
            gate_->cv.wait(lock, [this] { return !gate_->running; });
        }
    }
    eventThread_.request_stop();
    const std::uint64_t one = 1;
    (void)!::write(stopFd_, &one, sizeof one);
    if (eventThread_.joinable()) {
        eventThread_.join();
    }
    ::close(stopFd_);
    stopFd_ = -1;
    gate_.reset();
}

void TComPort::eventLoop(std::stop_token stop, int portFd, int stopFd,
                         std::shared_ptr<DeliveryGate> gate, TComEvents watched) {
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
        TComEvents events;
        const bool lineGone = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if ((revents & (POLLERR | POLLNVAL)) != 0 && watched.contains(TComEvent::evError)) {
            events += TComEvent::evError;
        }
        const int waiting = pendingInput(portFd);
        if (waiting > announcedUnread_.load() && watched.contains(TComEvent::evRxChar)) {
            events += TComEvent::evRxChar;
        } else if (waiting > 0) {
            backoff = true; // bytes nobody is to be told about (again) yet: look again later
        }
        if (lineGone && waiting <= 0) {
            // Hang-up or error stays signalled; stop watching so that the thread does not spin.
            watchPort = false;
        }
        if (!events.empty()) {
            deliver(events, gate, stop);
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

void TComPort::deliver(TComEvents events, const std::shared_ptr<DeliveryGate>& gate,
                       const std::stop_token& stop) {
    if (syncMethod_.load() == TSyncMethod::smNone) {
        handleEvents(events);
        return;
    }
    std::uint64_t ticket = 0;
    {
        const std::lock_guard lock(gate->mutex);
        ticket = ++gate->posted;
    }
    {
        const std::lock_guard lock(pendingMutex_);
        pending_.push_back({gate, events, ticket});
    }
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(wakeFd_, &one, sizeof one);
    } else {
        QMetaObject::invokeMethod(this, "runPendingEvents", Qt::QueuedConnection);
    }
    std::unique_lock lock(gate->mutex);
    gate->cv.wait(lock, stop, [&gate, ticket] { return gate->finished >= ticket; });
}

void TComPort::runPendingEvents() {
    if (wakeFd_ >= 0) {
        std::uint64_t wakeCount = 0;
        (void)!::read(wakeFd_, &wakeCount, sizeof wakeCount);
    }
    for (;;) {
        PendingEvents next;
        {
            const std::lock_guard lock(pendingMutex_);
            if (pending_.empty()) {
                return;
            }
            next = std::move(pending_.front());
            pending_.pop_front();
        }
        try {
            runEventSet(next);
        } catch (...) {
            // The handler's exception goes on to the event loop; later sets must not be stranded.
            const std::lock_guard lock(pendingMutex_);
            if (!pending_.empty() && wakeFd_ >= 0) {
                const std::uint64_t one = 1;
                (void)!::write(wakeFd_, &one, sizeof one);
            }
            throw;
        }
    }
}

void TComPort::runEventSet(const PendingEvents& next) {
    DeliveryGate& gate = *next.gate;
    {
        const std::lock_guard lock(gate.mutex);
        if (gate.abandoned) {
            return; // the port was closed while this waited
        }
        gate.running = true;
    }
    const auto finish = [&gate, ticket = next.ticket] {
        {
            const std::lock_guard lock(gate.mutex);
            gate.running = false;
            gate.finished = ticket;
        }
        gate.cv.notify_all();
    };
    try {
        handleEvents(next.events);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TComPort::handleEvents(TComEvents events) {
    if (events.contains(TComEvent::evError) && OnError) {
        OnError(*this);
    }
    if (events.contains(TComEvent::evRxChar) && fd_ >= 0) {
        const int count = pendingInput(fd_);
        if (count <= 0) {
            return;
        }
        if (TriggersOnRxChar()) {
            announcedUnread_.store(count);
            if (OnRxChar) {
                OnRxChar(*this, count);
            }
            return;
        }
        std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
        const int got = Read(bytes.data(), count);
        if (got > 0 && OnRxBuf) {
            OnRxBuf(*this, bytes.data(), got);
        }
    }
}

} // namespace tq50r::transport
