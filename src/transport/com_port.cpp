#include "transport/com_port.h"

#include "platform/thread_wake.h"

#include <QThread>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
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

// Longest write wait when both write timeouts are 0 (the driver would wait without limit).
constexpr std::int64_t kUnboundedWriteCapMs = 60000;
// Longest total timeout honoured: larger settings (up to 2^32 ms per byte) would overflow the
// clock's deadline arithmetic.
constexpr std::int64_t kLongestTimeoutMs = 24LL * 60 * 60 * 1000;

std::chrono::milliseconds totalTimeout(std::uint32_t multiplierMs, int count,
                                       std::uint32_t constantMs) {
    const std::int64_t total = static_cast<std::int64_t>(multiplierMs) * count + constantMs;
    return std::chrono::milliseconds(std::min(total, kLongestTimeoutMs));
}

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

constexpr int kDataBitsOfFive = 5;

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

TComPort::TComPort(QObject* parent) : QObject(parent), wake_(new platform::ThreadWake(this)) {
    connect(wake_, &platform::ThreadWake::woken, this, &TComPort::runPendingEvents);
}

TComPort::~TComPort() {
    try {
        Close();
    } catch (const EComPort&) {
        // A port that cannot be purged is closed all the same.
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
    if (const int err = core_.open(devicePath(Port())); err != 0) {
        CallErrno(ComError::OpenFailed, err);
    }
    connected_ = true;
    try {
        ApplyBuffer();
        ApplyDCB();
        ApplyTimeouts();
    } catch (...) {
        core_.close();
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
    ModemLines lines;
    if (fromPort) {
        if (const int err = core_.modemLines(lines); err != 0) {
            CallErrno(ComError::ModemStatFailed, err);
        }
    }
    if (OnCTSChange) {
        OnCTSChange(*this, lines.cts);
    }
    if (OnDSRChange) {
        OnDSRChange(*this, lines.dsr);
    }
    if (OnRLSDChange) {
        OnRLSDChange(*this, lines.rlsd);
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
    // Write returns once the driver has the bytes; they still reach the line before the queues
    // are discarded, within the time a write of them may take.
    const int queued = core_.outputQueued();
    if (queued > 0) {
        core_.drainOutput(
            totalTimeout(timeouts_.WriteTotalMultiplier(), queued, timeouts_.WriteTotalConstant()));
    }
    int purgeErrno = core_.purge();
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
    core_.close();
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
    if (!core_.isOpen()) {
        CallErrno(ComError::SetupComFailed, EBADF);
    }
}

void TComPort::ApplyTimeouts() {
    if (!applyAllowed()) {
        return;
    }
    // Reads and writes are non-blocking and timed by Read and Write themselves.
    if (!core_.isOpen()) {
        CallErrno(ComError::TimeoutsFailed, EBADF);
    }
}

LineSettings TComPort::lineSettings() const {
    using Output = LineSettings::Output;
    using Parity = LineSettings::Parity;
    // In the order of TParityBits, TDTRFlowControl and TRTSFlowControl.
    static constexpr std::array<Parity, 5> kParities = {Parity::None, Parity::Odd, Parity::Even,
                                                        Parity::Mark, Parity::Space};
    static constexpr std::array<Output, 3> kDtrOutputs = {Output::Off, Output::On, Output::Driver};
    static constexpr std::array<Output, 4> kRtsOutputs = {Output::Off, Output::On, Output::Driver,
                                                          Output::Driver};
    LineSettings line;
    line.speedBps = baudRateToInt(baudRate_, customBaudRate_);
    line.dataBits = kDataBitsOfFive + static_cast<int>(dataBits_);
    line.parity = kParities[static_cast<std::size_t>(parity_.Bits())];
    line.parityCheck = parity_.Check();
    line.twoStopBits = stopBits_ != TStopBits::sbOneStopBit;
    line.rtsCtsFlow =
        flowControl_.OutCTSFlow() || flowControl_.ControlRTS() == TRTSFlowControl::rtsHandshake;
    line.xonXoffOut = flowControl_.XonXoffOut();
    line.xonXoffIn = flowControl_.XonXoffIn();
    line.xonChar = flowControl_.XonChar();
    line.xoffChar = flowControl_.XoffChar();
    line.dtr = kDtrOutputs[static_cast<std::size_t>(flowControl_.ControlDTR())];
    line.rts = kRtsOutputs[static_cast<std::size_t>(flowControl_.ControlRTS())];
    return line;
}

void TComPort::ApplyDCB() {
    if (!applyAllowed()) {
        return;
    }
    if (const int err = core_.applySettings(lineSettings()); err != 0) {
        CallErrno(ComError::SetStateFailed, err);
    }
}

// ---------------------------------------------------------------------------------------------
// Write, Read, InputCount

int TComPort::Write(const void* buffer, int count) {
    if (!core_.isOpen()) {
        // Reported through the hook, the write goes on and fails on the missing handle.
        CallException(ComError::PortNotOpen, kOsErrorPortNotOpen);
        CallErrno(ComError::WriteFailed, EBADF);
        return 0;
    }
    if (count <= 0) {
        return 0;
    }
    // The bytes are handed to the driver; the write timeout bounds only the wait for room in its
    // queue, not their way down the line (the channel above paces frames itself).
    auto limit =
        totalTimeout(timeouts_.WriteTotalMultiplier(), count, timeouts_.WriteTotalConstant());
    if (limit.count() == 0) {
        limit = std::chrono::milliseconds(kUnboundedWriteCapMs);
    }
    const IoResult result = core_.write(buffer, count, limit);
    if (result.error != 0) {
        CallErrno(ComError::WriteFailed, result.error);
        return 0;
    }
    return result.count;
}

int TComPort::Read(void* buffer, int count) {
    if (!core_.isOpen()) {
        CallException(ComError::PortNotOpen, kOsErrorPortNotOpen);
        CallErrno(ComError::ReadFailed, EBADF);
        return 0;
    }
    if (count <= 0) {
        return 0;
    }
    const bool returnAtOnce = timeouts_.ReadInterval() == TComTimeouts::kReadIntervalNoWait &&
                              timeouts_.ReadTotalMultiplier() == 0 &&
                              timeouts_.ReadTotalConstant() == 0;
    const IoResult result = core_.read(
        buffer, count,
        totalTimeout(timeouts_.ReadTotalMultiplier(), count, timeouts_.ReadTotalConstant()),
        returnAtOnce);
    if (result.error != 0) {
        CallErrno(ComError::ReadFailed, result.error);
        return 0;
    }
    return result.count;
}

int TComPort::InputCount() {
    const int count = core_.inputCount();
    if (count < 0) {
        CallErrno(ComError::ClearComFailed, -count);
        return 0;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// Event thread and delivery of its events to the port's thread

void TComPort::startEventThread() {
    gate_ = std::make_shared<DeliveryGate>();
    const int err = core_.startEvents(
        events_.contains(TComEvent::evRxChar), events_.contains(TComEvent::evError),
        [this, gate = gate_](LineEvents seen, const std::stop_token& stop) {
            TComEvents events;
            if (seen.error) {
                events += TComEvent::evError;
            }
            if (seen.received) {
                events += TComEvent::evRxChar;
            }
            deliver(events, gate, stop);
        });
    if (err != 0) {
        gate_.reset();
        threadCreated_ = false;
        CallErrno(ComError::WaitFailed, err);
        return;
    }
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
    core_.stopEvents();
    gate_.reset();
}

// Every sync method hands the events to the port's thread and waits there until they are
// handled: handlers never run on the event thread, where they would race the port's own thread
// over the handle and the host's state, and could not close the port without joining themselves.
void TComPort::deliver(TComEvents events, const std::shared_ptr<DeliveryGate>& gate,
                       const std::stop_token& stop) {
    std::uint64_t ticket = 0;
    {
        const std::lock_guard lock(gate->mutex);
        ticket = ++gate->posted;
    }
    {
        const std::lock_guard lock(pendingMutex_);
        pending_.push_back({gate, events, ticket});
    }
    wake_->wake();
    std::unique_lock lock(gate->mutex);
    gate->cv.wait(lock, stop, [&gate, ticket] { return gate->finished >= ticket; });
}

void TComPort::runPendingEvents() {
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
            if (!pending_.empty()) {
                wake_->wake();
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

// Runs on the port's thread while the gate is marked running, so Close (from any thread) keeps
// the handle until it has returned.
void TComPort::handleEvents(TComEvents events) {
    if (events.contains(TComEvent::evError) && OnError) {
        OnError(*this);
    }
    if (!events.contains(TComEvent::evRxChar)) {
        return;
    }
    const int count = core_.inputCount();
    if (count <= 0) {
        return;
    }
    if (TriggersOnRxChar()) {
        core_.setAnnounced(count);
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

} // namespace tq50r::transport
