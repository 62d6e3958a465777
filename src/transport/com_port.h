#pragma once
// TComPort: the serial port component as its hosts see it: one port opened by name, its
// published properties and events, error codes and texts, the exception hook and EComPort. The
// operating system's side (open, termios, read, write, the event thread) is SerialCore
// (serial_core.h); this layer maps the properties onto it, turns its errno values into the
// component's errors, and hands the event thread's news to the port's own thread.
#include "transport/serial_core.h"

#include <QObject>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace tq50r::platform {
class ThreadWake;
}

namespace tq50r::transport {

enum class TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};
/// Line speed in bits per second; `brCustom` gives `customBaudRate`.
int baudRateToInt(TBaudRate rate, int customBaudRate);

enum class TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum class TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum class TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum class TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum class TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum class TSyncMethod { smThreadSync, smWindowSync, smNone };

enum class TComEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full,
};
inline constexpr std::size_t kComEventCount = 10;

/// A set of TComEvent values.
class TComEvents {
public:
    TComEvents() = default;
    static TComEvents all() {
        TComEvents set;
        set.bits_.set();
        return set;
    }
    TComEvents& operator+=(TComEvent e) {
        bits_.set(static_cast<std::size_t>(e));
        return *this;
    }
    TComEvents& operator-=(TComEvent e) {
        bits_.reset(static_cast<std::size_t>(e));
        return *this;
    }
    bool contains(TComEvent e) const { return bits_.test(static_cast<std::size_t>(e)); }
    bool empty() const { return bits_.none(); }
    bool operator==(const TComEvents&) const = default;

private:
    std::bitset<kComEventCount> bits_;
};

/// Error codes of the component; `comErrorText` gives their fixed texts.
enum class ComError : int {
    OpenFailed = 1,
    WriteFailed = 2,
    ReadFailed = 3,
    InvalidAsync = 4,
    PurgeFailed = 5,
    AsyncCheck = 6,
    SetStateFailed = 7,
    TimeoutsFailed = 8,
    SetupComFailed = 9,
    ClearComFailed = 10,
    ModemStatFailed = 11,
    EscapeComFailed = 12,
    TransmitFailed = 13,
    ConnChangeProp = 14,
    EnumPortsFailed = 15,
    StoreFailed = 16,
    LoadFailed = 17,
    RegFailed = 18,
    LedStateFailed = 19,
    ThreadCreated = 20,
    WaitFailed = 21,
    HasLink = 22,
    RegError = 23,
    PortNotOpen = 24,
};
inline constexpr int kFirstComError = 1;
inline constexpr int kLastComError = 24;
/// The text of an error code 1..24; empty for any other number.
std::string comErrorText(int code);

/// OS error code reported with "Port Not Open" (there is no OS call behind it).
inline constexpr std::int64_t kOsErrorPortNotOpen = -24;
/// OS error code that means "the port is held by another program". Opening a port that another
/// process holds fails with EBUSY or EACCES on Linux; both are reported as this code.
inline constexpr std::int64_t kOsErrorAccessDenied = 5;
/// EIO would collide with kOsErrorAccessDenied, so a failing device is reported as this code.
inline constexpr std::int64_t kOsErrorDeviceFailure = 31;
/// Maps an errno value to the OS error code the component reports.
std::int64_t osErrorFromErrno(int errnoValue);

/// The component's exception: error code, OS error code and the fixed message.
class EComPort : public std::runtime_error {
public:
    EComPort(int code, std::int64_t osError);
    int code() const { return code_; }
    std::int64_t osError() const { return osError_; }

private:
    int code_;
    std::int64_t osError_;
};

class TComPort;

/// Parity setting; a change re-applies the line settings of an open port.
class TComParity {
public:
    explicit TComParity(TComPort* owner) : owner_(owner) {}
    TComParity& operator=(const TComParity& other);
    TComParity(const TComParity&) = delete;

    TParityBits Bits() const { return bits_; }
    bool Check() const { return check_; }
    bool Replace() const { return replace_; }
    char ReplaceChar() const { return replaceChar_; }
    void setBits(TParityBits v);
    void setCheck(bool v);
    void setReplace(bool v);
    void setReplaceChar(char v);

private:
    TComPort* owner_;
    TParityBits bits_ = TParityBits::prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

/// Handshake setting; a change re-applies the line settings of an open port.
class TComFlowControl {
public:
    static constexpr char kDefaultXonChar = 17;
    static constexpr char kDefaultXoffChar = 19;

    explicit TComFlowControl(TComPort* owner) : owner_(owner) {}
    TComFlowControl& operator=(const TComFlowControl& other);
    TComFlowControl(const TComFlowControl&) = delete;

    bool OutCTSFlow() const { return outCtsFlow_; }
    bool OutDSRFlow() const { return outDsrFlow_; }
    TDTRFlowControl ControlDTR() const { return controlDtr_; }
    TRTSFlowControl ControlRTS() const { return controlRts_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DSRSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    char XonChar() const { return xonChar_; }
    char XoffChar() const { return xoffChar_; }
    void setOutCTSFlow(bool v);
    void setOutDSRFlow(bool v);
    void setControlDTR(TDTRFlowControl v);
    void setControlRTS(TRTSFlowControl v);
    void setXonXoffOut(bool v);
    void setXonXoffIn(bool v);
    void setDSRSensitivity(bool v);
    void setTxContinueOnXoff(bool v);
    void setXonChar(char v);
    void setXoffChar(char v);

private:
    void changed();

    TComPort* owner_;
    bool outCtsFlow_ = false;
    bool outDsrFlow_ = false;
    TDTRFlowControl controlDtr_ = TDTRFlowControl::dtrDisable;
    TRTSFlowControl controlRts_ = TRTSFlowControl::rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = kDefaultXonChar;
    char xoffChar_ = kDefaultXoffChar;
};

/// Timeouts in milliseconds. With the defaults a read returns at once with what has arrived and
/// a write of n bytes may take up to 100 x n + 1000 ms.
class TComTimeouts {
public:
    static constexpr std::uint32_t kReadIntervalNoWait = 0xFFFFFFFFu;
    static constexpr std::uint32_t kDefaultWriteTotalMultiplierMs = 100;
    static constexpr std::uint32_t kDefaultWriteTotalConstantMs = 1000;

    explicit TComTimeouts(TComPort* owner) : owner_(owner) {}
    TComTimeouts& operator=(const TComTimeouts& other);
    TComTimeouts(const TComTimeouts&) = delete;

    std::uint32_t ReadInterval() const { return readInterval_; }
    std::uint32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    std::uint32_t ReadTotalConstant() const { return readTotalConstant_; }
    std::uint32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    std::uint32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void setReadInterval(std::uint32_t v);
    void setReadTotalMultiplier(std::uint32_t v);
    void setReadTotalConstant(std::uint32_t v);
    void setWriteTotalMultiplier(std::uint32_t v);
    void setWriteTotalConstant(std::uint32_t v);

private:
    void changed();

    TComPort* owner_;
    std::uint32_t readInterval_ = kReadIntervalNoWait;
    std::uint32_t readTotalMultiplier_ = 0;
    std::uint32_t readTotalConstant_ = 0;
    std::uint32_t writeTotalMultiplier_ = kDefaultWriteTotalMultiplierMs;
    std::uint32_t writeTotalConstant_ = kDefaultWriteTotalConstantMs;
};

/// Driver queue sizes; an odd size is stored as the next lower even number. The Linux tty layer
/// has fixed queues, so the sizes are kept (and checked against an open handle) but not applied.
class TComBuffer {
public:
    static constexpr int kDefaultSize = 1024;

    explicit TComBuffer(TComPort* owner) : owner_(owner) {}
    TComBuffer& operator=(const TComBuffer& other);
    TComBuffer(const TComBuffer&) = delete;

    int InputSize() const { return inputSize_; }
    int OutputSize() const { return outputSize_; }
    void setInputSize(int v);
    void setOutputSize(int v);

private:
    void changed();

    TComPort* owner_;
    int inputSize_ = kDefaultSize;
    int outputSize_ = kDefaultSize;
};

/// The serial port component. Create it on the GUI thread: its events run on the thread the object
/// lives on, whatever SyncMethod says. Open and Close may be called from several threads at once;
/// Write and Read from any one thread at a time, as long as the object outlives the call.
class TComPort : public QObject {
    Q_OBJECT
public:
    using RxCharHandler = std::function<void(TComPort& sender, int count)>;
    using RxBufHandler = std::function<void(TComPort& sender, const void* buffer, int count)>;
    using NotifyHandler = std::function<void(TComPort& sender)>;
    using SignalHandler = std::function<void(TComPort& sender, bool state)>;
    using ExceptionHandler =
        std::function<void(TComPort& sender, int code, const std::string& portMessage,
                           std::int64_t osError, const std::string& osMessage)>;

    static constexpr const char* kDefaultPort = "COM1";
    static constexpr int kDefaultCustomBaudRate = 9600;

    explicit TComPort(QObject* parent = nullptr);
    ~TComPort() override;
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    void Open();
    /// Lets what Write handed to the driver reach the line (within the write timeout for it),
    /// then discards both queues, stops the event thread and closes.
    void Close();
    bool Connected() const { return connected_; }
    void setConnected(bool value);
    /// Writes `count` bytes; blocks until the driver has taken them all, or with what it took when
    /// the write timeout passed while its queue was full. It does not wait for the bytes to leave
    /// the line. Returns the number of bytes written (0 after a failure reported through
    /// OnException).
    int Write(const void* buffer, int count);
    /// Reads up to `count` bytes that have arrived; returns the number read.
    int Read(void* buffer, int count);
    /// Received bytes waiting in the driver.
    int InputCount();
    /// True while the port has an OS handle (false after a failed Open reported through the hook).
    bool HasHandle() const { return core_.isOpen(); }

    /// A name such as "ttyUSB0" (opened under /dev) or a full path.
    std::string Port() const;
    void setPort(const std::string& name);
    /// The path Open uses for `name`.
    static std::string devicePath(const std::string& name);

    TBaudRate BaudRate() const { return baudRate_; }
    void setBaudRate(TBaudRate v);
    int CustomBaudRate() const { return customBaudRate_; }
    void setCustomBaudRate(int v);
    TDataBits DataBits() const { return dataBits_; }
    void setDataBits(TDataBits v);
    TStopBits StopBits() const { return stopBits_; }
    void setStopBits(TStopBits v);
    TComParity& Parity() { return parity_; }
    void setParity(const TComParity& v) { parity_ = v; }
    TComFlowControl& FlowControl() { return flowControl_; }
    void setFlowControl(const TComFlowControl& v) { flowControl_ = v; }
    TComTimeouts& Timeouts() { return timeouts_; }
    void setTimeouts(const TComTimeouts& v) { timeouts_ = v; }
    TComBuffer& Buffer() { return buffer_; }
    void setBuffer(const TComBuffer& v) { buffer_ = v; }
    TComEvents Events() const { return events_; }
    void setEvents(TComEvents v) { events_ = v; }
    bool DiscardNull() const { return discardNull_; }
    void setDiscardNull(bool v);
    char EventChar() const { return eventChar_; }
    void setEventChar(char v);
    /// True: arrivals are announced through OnRxChar and the host reads them. False: the port
    /// reads them itself and hands them to OnRxBuf.
    bool TriggersOnRxChar() const { return triggersOnRxChar_.load(); }
    void setTriggersOnRxChar(bool v) { triggersOnRxChar_.store(v); }
    TSyncMethod SyncMethod() const { return syncMethod_.load(); }
    /// Error 14 while connected. Kept as a setting only: every method delivers events on the
    /// port's own thread and the event thread waits until they have been handled.
    void setSyncMethod(TSyncMethod v);

    /// While an update is open, setting changes are stored but not applied.
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();

    RxCharHandler OnRxChar;
    RxBufHandler OnRxBuf;
    ExceptionHandler OnException;
    NotifyHandler OnError;
    NotifyHandler OnBeforeOpen;
    NotifyHandler OnAfterOpen;
    NotifyHandler OnBeforeClose;
    NotifyHandler OnAfterClose;
    SignalHandler OnCTSChange;
    SignalHandler OnDSRChange;
    SignalHandler OnRLSDChange;

    // Re-application of stored settings on an open port (also used by the setting objects).
    void ApplyDCB();
    void ApplyTimeouts();
    void ApplyBuffer();

private slots:
    /// Runs the event sets the event thread has handed over, oldest first.
    void runPendingEvents();

private:
    struct DeliveryGate;
    struct PendingEvents {
        std::shared_ptr<DeliveryGate> gate;
        TComEvents events;
        std::uint64_t ticket = 0;
    };

    /// Reports a failure: raises EComPort, or calls OnException and returns.
    void CallException(ComError code, std::int64_t osError = 0, int errnoValue = 0);
    void CallErrno(ComError code, int errnoValue);
    bool applyAllowed() const { return connected_ && updateCount_ == 0; }
    void startEventThread();
    void stopEventThread();
    void deliver(TComEvents events, const std::shared_ptr<DeliveryGate>& gate,
                 const std::stop_token& stop);
    void runEventSet(const PendingEvents& next);
    void handleEvents(TComEvents events);
    void raiseModemLines(bool fromPort);
    LineSettings lineSettings() const;

    // Open and Close (and a rename that reopens) run one at a time, whichever threads call them.
    std::recursive_mutex lifecycleMutex_;
    mutable std::mutex portMutex_; // guards port_ only: the GUI thread reads the name of a port
                                   // that a worker thread may rename
    std::string port_ = kDefaultPort;
    TBaudRate baudRate_ = TBaudRate::br9600;
    int customBaudRate_ = kDefaultCustomBaudRate;
    TDataBits dataBits_ = TDataBits::dbEight;
    TStopBits stopBits_ = TStopBits::sbOneStopBit;
    TComParity parity_{this};
    TComFlowControl flowControl_{this};
    TComTimeouts timeouts_{this};
    TComBuffer buffer_{this};
    TComEvents events_ = TComEvents::all();
    bool discardNull_ = false;
    char eventChar_ = 0;
    std::atomic<bool> triggersOnRxChar_{true};
    std::atomic<TSyncMethod> syncMethod_{TSyncMethod::smThreadSync};

    SerialCore core_;
    std::atomic<bool> connected_{false}; // also read by other threads (isOpen checks)
    bool threadCreated_ = false;
    int updateCount_ = 0;
    std::shared_ptr<DeliveryGate> gate_;
    // Event sets on their way to the port's thread. They travel here, under our own lock, and
    // the port's thread is woken through a descriptor it watches, so nothing is allocated on
    // one thread and freed on the other behind the back of thread checkers.
    std::mutex pendingMutex_;
    std::deque<PendingEvents> pending_;
    platform::ThreadWake* wake_ = nullptr;
};

} // namespace tq50r::transport
