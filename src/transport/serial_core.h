#pragma once
// SerialCore: one POSIX serial port as the operating system offers it. It opens a tty for this
// program alone, applies termios settings, reads and writes without blocking longer than it is
// told, and runs the event thread that waits in poll() for received bytes, line errors or its
// stop eventfd. It knows nothing of the component's properties, events, codes or texts: every
// failure is returned as an errno value, and TComPort (com_port.h) turns it into the published
// behaviour.
//
// Threads: open, close, applySettings, read, write and the queries are called by one thread at a
// time (the component serialises them). The event thread works on the descriptor it was started
// with and is stopped before that descriptor is closed.
#include "base/unique_fd.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>

namespace tq50r::transport {

/// What the line is set to, in the terms termios knows.
struct LineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    /// A modem output line: held off, held on, or left to the driver (handshake, toggle).
    enum class Output { Off, On, Driver };

    int speedBps = 9600;
    int dataBits = 8; // 5..8
    Parity parity = Parity::None;
    bool parityCheck = false;
    bool twoStopBits = false; // also one and a half with five data bits
    bool rtsCtsFlow = false;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    char xonChar = 17;
    char xoffChar = 19;
    Output dtr = Output::Off;
    Output rts = Output::Off;
};

/// Bytes moved and the errno of a failure (0: none).
struct IoResult {
    int count = 0;
    int error = 0;
};

/// The state of the modem input lines; all false on a port that has none.
struct ModemLines {
    bool cts = false;
    bool dsr = false;
    bool rlsd = false;
};

/// What the event thread saw on the line.
struct LineEvents {
    bool error = false;    // the line reported an error or hang-up
    bool received = false; // more bytes wait than were announced
    bool any() const { return error || received; }
};

class SerialCore {
public:
    /// Hands one set of events over and returns once they have been handled, or at once when
    /// `stop` is requested. Runs on the event thread.
    using EventSink = std::function<void(LineEvents events, const std::stop_token& stop)>;

    SerialCore() = default;
    ~SerialCore();
    SerialCore(const SerialCore&) = delete;
    SerialCore& operator=(const SerialCore&) = delete;

    /// Opens the tty at `path` non-blocking, without making it our controlling terminal, and
    /// claims it: 0, or an errno value (ENOTTY for anything but a terminal). EBUSY (or EWOULDBLOCK)
    /// when another program holds it: through the advisory lock that every instance of this program
    /// takes, through the kernel's exclusive mode set by the holder, or because another process has
    /// it open (/proc).
    int open(const std::string& path);
    /// Stops the event thread, gives up the claim and closes. Nothing when closed.
    void close();
    bool isOpen() const { return fd_.valid(); }

    int applySettings(const LineSettings& settings);
    /// 0 with the lines' state, or an errno value; a port without modem lines has them all off.
    int modemLines(ModemLines& lines) const;
    /// Discards both queues: 0 or an errno value.
    int purge();
    /// Bytes the driver has taken and not yet sent (0 where it cannot tell).
    int outputQueued() const;
    /// Waits until the driver has sent what it holds, or `limit` has passed.
    void drainOutput(std::chrono::milliseconds limit) const;

    /// Hands `count` bytes to the kernel. Returns as soon as the kernel has taken them all (it
    /// does not wait for them to leave the line), or with the part taken when `limit` has passed
    /// while the kernel's queue was full.
    IoResult write(const void* buffer, int count, std::chrono::milliseconds limit);
    /// Reads up to `count` bytes: at once what has arrived when `returnAtOnce`, else until
    /// `count` have come or `limit` has passed.
    IoResult read(void* buffer, int count, std::chrono::milliseconds limit, bool returnAtOnce);
    /// Received bytes waiting in the driver, or -errno.
    int inputCount() const;

    /// Starts the event thread, which watches the line for what is asked (received bytes,
    /// errors) and hands what it sees to `sink`. Without an open port it only waits for stop.
    /// Returns 0 or an errno value (no thread then).
    int startEvents(bool watchReceived, bool watchErrors, EventSink sink);
    /// Ends the event thread and waits for it. A sink call in progress sees its stop token.
    void stopEvents();
    bool eventsRunning() const { return eventThread_.joinable(); }

    /// `count` bytes are announced to the host: only more than these is news to the event
    /// thread, until reads take them.
    void setAnnounced(int count) { announced_.store(count); }

private:
    void eventLoop(const std::stop_token& stop, int portFd, int stopFd, bool watchReceived,
                   bool watchErrors, const EventSink& sink);

    base::UniqueFd fd_;
    base::UniqueFd stopFd_;
    std::atomic<int> announced_{0};
    std::jthread eventThread_;
};

} // namespace tq50r::transport
