#include "support/open_descriptors.h"
#include "transport/com_port.h"
#include "transport/test_support.h"

#include <QThread>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

using namespace tq50r::transport;
using tq50r::transport::testing::PtyPair;
using tq50r::transport::testing::pumpUntil;

namespace {

struct HookCall {
    int code;
    std::string text;
    std::int64_t osError;
    std::string osMessage;
};

void recordHook(TComPort& port, std::vector<HookCall>& calls) {
    port.OnException = [&calls](TComPort&, int code, const std::string& text, std::int64_t os,
                                const std::string& osMessage) {
        calls.push_back({code, text, os, osMessage});
    };
}

// What a thread of this process is doing, from /proc: its state letter ('S' asleep, 'R' running)
// and, while it is in a system call, the call's number and first arguments.
struct ThreadLook {
    char state = '?';
    long call = -1;
    std::array<unsigned long, 3> args{};
};

std::vector<ThreadLook> otherThreads() {
    std::vector<ThreadLook> looks;
    const std::string self = std::to_string(::gettid());
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self) {
            continue;
        }
        ThreadLook look;
        std::string stat;
        std::getline(std::ifstream(task.path() / "stat"), stat);
        if (const auto end = stat.rfind(')'); end != std::string::npos && end + 2 < stat.size()) {
            look.state = stat[end + 2];
        }
        std::ifstream(task.path() / "syscall") >> look.call >> std::hex >> look.args[0] >>
            look.args[1] >> look.args[2];
        looks.push_back(look);
    }
    return looks;
}

// Waits (bounded) until every other thread of the process is asleep at one look. A thread that
// spins never sleeps; a sound event thread sleeps in poll() between what it is told.
bool otherThreadsSleep() {
    return pumpUntil([] {
        const auto looks = otherThreads();
        return std::all_of(looks.begin(), looks.end(),
                           [](const ThreadLook& t) { return t.state == 'S' || t.state == 'D'; });
    });
}

// Waits (bounded) until some thread waits in poll() on one descriptor without a timeout: the
// event thread that watches nothing but its stop signal.
bool eventThreadWaitsForStopOnly() {
    constexpr long PollCall = SYS_poll;
    constexpr unsigned long NoTimeout = 0xffffffffu; // -1 as the 32-bit argument
    return pumpUntil([] {
        const auto looks = otherThreads();
        return std::any_of(looks.begin(), looks.end(), [](const ThreadLook& t) {
            return t.state == 'S' && t.call == PollCall && t.args[1] == 1 &&
                   (t.args[2] & NoTimeout) == NoTimeout;
        });
    });
}

// The error a step must raise; an OS error or text left out is not checked.
struct ComError {
    int code;
    std::optional<std::int64_t> osError = std::nullopt;
    const char* what = nullptr;
};

void expectComError(const std::function<void()>& step, const ComError& want) {
    try {
        step();
        ADD_FAILURE() << "no error " << want.code;
    } catch (const EComPort& e) {
        EXPECT_EQ(e.code(), want.code);
        if (want.osError) {
            EXPECT_EQ(e.osError(), *want.osError);
        }
        if (want.what != nullptr) {
            EXPECT_STREQ(e.what(), want.what);
        }
    }
}

// Reads the `count` announced bytes; returns what the read gave.
std::vector<std::uint8_t> readAnnounced(TComPort& port, int count) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(count));
    buf.resize(static_cast<std::size_t>(std::max(port.Read(buf.data(), count), 0)));
    return buf;
}

termios slaveSettings(const PtyPair& pty) {
    termios tio{};
    ::tcgetattr(pty.slave(), &tio);
    return tio;
}

speed_t slaveSpeed(const PtyPair& pty) {
    const termios tio = slaveSettings(pty);
    return ::cfgetospeed(&tio);
}

class ComPortPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        port.setPort(pty.path());
    }
    PtyPair pty;
    TComPort port;
};

TEST_F(ComPortPty, OpenAppliesTheLineSettings) {
    port.Open();
    ASSERT_TRUE(port.Connected());
    ASSERT_TRUE(port.HasHandle());
    const termios tio = slaveSettings(pty);
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    EXPECT_EQ(::cfgetispeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u) << "no XON/XOFF, bytes untouched";
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u) << "raw mode";
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VSTART], 17);
    EXPECT_EQ(tio.c_cc[VSTOP], 19);
}

TEST_F(ComPortPty, ChangedSettingsAreAppliedToAnOpenPort) {
    port.Open();
    struct Step {
        const char* what;
        std::function<void()> change;
        std::function<bool(const termios&)> check;
    };
    const std::vector<Step> steps = {
        {"baud", [&] { port.setBaudRate(TBaudRate::br19200); },
         [](const termios& t) { return ::cfgetospeed(&t) == B19200; }},
        {"stop bits", [&] { port.setStopBits(TStopBits::sbTwoStopBits); },
         [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }},
        {"xon/xoff", [&] { port.FlowControl().setXonXoffIn(true); },
         [](const termios& t) { return (t.c_iflag & IXOFF) != 0 && (t.c_iflag & IXON) == 0; }},
        {"cts", [&] { port.FlowControl().setOutCTSFlow(true); },
         [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }},
        // A speed without a termios constant still takes effect (no B9600 left behind).
        {"14400", [&] { port.setBaudRate(TBaudRate::br14400); },
         [](const termios& t) {
             return ::cfgetospeed(&t) != B19200 && ::cfgetospeed(&t) != B9600;
         }},
    };
    for (const auto& step : steps) {
        ASSERT_NO_THROW(step.change()) << step.what;
        EXPECT_TRUE(step.check(slaveSettings(pty))) << step.what;
    }
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told; asking for
    // anything else is a failed line setting, not a silent success.
    EXPECT_THROW(port.setDataBits(TDataBits::dbSeven), EComPort);
    port.setDataBits(TDataBits::dbEight);
    expectComError([&] { port.Parity().setBits(TParityBits::prEven); }, {7});
    port.Parity().setBits(TParityBits::prNone);

    // While an update is open nothing is applied; ending it applies everything at once.
    port.BeginUpdate();
    port.setBaudRate(TBaudRate::br9600);
    EXPECT_NE(slaveSpeed(pty), B9600);
    port.EndUpdate();
    EXPECT_EQ(slaveSpeed(pty), B9600);
}

TEST_F(ComPortPty, OpenAndCloseAreIdempotentAndSyncMethodIsLockedWhileOpen) {
    int opens = 0;
    int closes = 0;
    port.OnBeforeOpen = [&](TComPort&) { ++opens; };
    port.OnAfterClose = [&](TComPort&) { ++closes; };
    port.Close();
    EXPECT_EQ(closes, 0);
    port.Open();
    port.Open();
    port.setConnected(true);
    EXPECT_EQ(opens, 1);

    expectComError([&] { port.setSyncMethod(TSyncMethod::smNone); },
                   {14, std::nullopt, "Cannot set property while connected"});
    EXPECT_EQ(port.SyncMethod(), TSyncMethod::smThreadSync);

    port.setConnected(false);
    port.Close();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(port.Connected());
    EXPECT_NO_THROW(port.setSyncMethod(TSyncMethod::smNone));
}

TEST_F(ComPortPty, BytesTravelBothWaysAndEventsRunOnThePortThread) {
    std::vector<int> counts;
    std::vector<std::uint8_t> received;
    bool onPortThread = true;
    port.OnRxChar = [&](TComPort& sender, int count) {
        onPortThread = onPortThread && QThread::currentThread() == sender.thread();
        counts.push_back(count);
        const auto got = readAnnounced(sender, count);
        received.insert(received.end(), got.begin(), got.end());
    };
    port.Open();

    const std::vector<std::uint8_t> frame = {0x01, 0x20, 0x03, 0x40, 0x11, 0x17, 0x01, 0x02, 0x03,
                                             0x04, 0x05, 0x06, 0x07, 0x08, 0x01, 0x05, 0x60};
    EXPECT_EQ(port.Write(frame.data(), static_cast<int>(frame.size())), 17);
    EXPECT_EQ(pty.receive(frame.size()), frame);

    ASSERT_TRUE(pty.send(frame));
    ASSERT_TRUE(pumpUntil([&] { return received.size() >= frame.size(); }));
    EXPECT_EQ(received, frame);
    EXPECT_TRUE(onPortThread);
    for (int c : counts) {
        EXPECT_GT(c, 0) << "OnRxChar is never raised for nothing";
    }
    // Nothing comes of nothing: the next byte is announced alone, and no event came before it.
    const auto eventsSoFar = counts.size();
    ASSERT_TRUE(pty.send({0x42}));
    ASSERT_TRUE(pumpUntil([&] { return received.size() > frame.size(); }));
    EXPECT_EQ(counts.size(), eventsSoFar + 1);
    EXPECT_EQ(counts.back(), 1);
}

TEST_F(ComPortPty, ReceiveEventsAnnounceWhatIsWaitingMergedOrSplit) {
    std::vector<int> counts;
    bool readInHandler = false;
    port.OnRxChar = [&](TComPort& sender, int count) {
        counts.push_back(count);
        if (readInHandler) {
            readAnnounced(sender, count);
        }
    };
    port.Open();

    // Bytes that arrive before the event is handled are announced together.
    ASSERT_TRUE(pty.send({1, 2, 3}));
    ASSERT_TRUE(pty.send({4, 5}));
    ASSERT_TRUE(pumpUntil([&] { return !counts.empty() && counts.back() == 5; }));

    // Unread bytes stay waiting: the next arrival announces old and new together.
    ASSERT_TRUE(pty.send({6}));
    EXPECT_TRUE(pumpUntil([&] { return counts.back() == 6; }));
    ASSERT_EQ(counts.back(), 6) << ::testing::PrintToString(counts) << " in " << port.InputCount();
    EXPECT_EQ(port.InputCount(), 6);

    // Once read, a later arrival announces only itself.
    std::vector<std::uint8_t> sink(6);
    EXPECT_EQ(port.Read(sink.data(), 6), 6);
    EXPECT_EQ(sink, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    readInHandler = true;
    ASSERT_TRUE(pty.send({7, 8}));
    ASSERT_TRUE(pumpUntil([&] { return counts.back() == 2; }));
    EXPECT_EQ(port.InputCount(), 0);
    // A read asks for more than is there: it returns at once with what has arrived.
    EXPECT_EQ(port.Read(sink.data(), 6), 0);
}

TEST_F(ComPortPty, UnreadBytesDoNotMakeTheEventThreadSpin) {
    int events = 0;
    port.OnRxChar = [&](TComPort&, int) { ++events; };
    port.Open();
    ASSERT_TRUE(pty.send({1, 2, 3}));
    ASSERT_TRUE(pumpUntil([&] { return events > 0; }));
    EXPECT_TRUE(otherThreadsSleep());
    // No new bytes, no new event: the next byte's event is the second.
    ASSERT_TRUE(pty.send({4}));
    ASSERT_TRUE(pumpUntil([&] { return port.InputCount() == 4 && events > 1; }));
    EXPECT_EQ(events, 2);
}

// Arrivals reach the host as Events and TriggersOnRxChar say: announced, handed over read, or
// not at all; bytes nobody is told about never make the event thread spin.
TEST_F(ComPortPty, ArrivalsFollowEventsAndTriggersOnRxChar) {
    struct Case {
        const char* what;
        bool watchRx;
        bool triggers;
        std::vector<int> announced; // counts of the OnRxChar events
        std::vector<std::uint8_t> handedOver;
        int leftWaiting;
    };
    // Three bytes, then a fourth: whatever came of the first three came before the fourth.
    const std::vector<std::uint8_t> bytes = {3, 1, 4};
    const std::vector<std::uint8_t> next = {9};
    const std::vector<Case> cases = {
        {"announced", true, true, {3, 4}, {}, 4},
        {"read by the port", true, false, {}, {3, 1, 4, 9}, 0},
        {"not watched", false, true, {}, {}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TComEvents events = TComEvents::all();
        if (!c.watchRx) {
            events -= TComEvent::evRxChar;
        }
        port.setEvents(events);
        port.setTriggersOnRxChar(c.triggers);
        std::vector<int> announced;
        std::vector<std::uint8_t> handedOver;
        port.OnRxChar = [&](TComPort&, int count) { announced.push_back(count); };
        port.OnRxBuf = [&](TComPort&, const void* data, int count) {
            const auto* p = static_cast<const std::uint8_t*>(data);
            handedOver.insert(handedOver.end(), p, p + count);
        };
        port.Open();
        const auto arrived = [&](std::size_t total) {
            const std::size_t got = c.handedOver.empty()
                                        ? static_cast<std::size_t>(std::max(port.InputCount(), 0))
                                        : handedOver.size();
            return got == total &&
                   (c.announced.empty() ||
                    (!announced.empty() && announced.back() == static_cast<int>(total)));
        };
        ASSERT_TRUE(pty.send(bytes));
        ASSERT_TRUE(pumpUntil([&] { return arrived(bytes.size()); }));
        EXPECT_TRUE(otherThreadsSleep());
        ASSERT_TRUE(pty.send(next));
        ASSERT_TRUE(pumpUntil([&] { return arrived(bytes.size() + next.size()); }));
        EXPECT_EQ(announced, c.announced);
        EXPECT_EQ(handedOver, c.handedOver);
        EXPECT_EQ(port.InputCount(), c.leftWaiting);
        port.Close();
    }
}

TEST_F(ComPortPty, TheLargestTimeoutSettingsStillMoveWhatIsThere) {
    constexpr std::uint32_t kLargest = 0xFFFFFFFFu;
    port.Timeouts().setWriteTotalMultiplier(kLargest);
    port.Timeouts().setWriteTotalConstant(kLargest);
    port.Timeouts().setReadTotalMultiplier(kLargest);
    port.Timeouts().setReadTotalConstant(kLargest);
    port.Open();
    // Long enough for the per-byte timeout to leave the clock's range.
    constexpr int kLongWrite = 3000;
    std::vector<std::uint8_t> sent(kLongWrite);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>(i % 253);
    }
    std::vector<std::uint8_t> peerGot;
    {
        std::jthread peer([&] { peerGot = pty.receive(sent.size()); });
        EXPECT_EQ(port.Write(sent.data(), kLongWrite), kLongWrite);
    }
    EXPECT_EQ(peerGot, sent);

    const std::vector<std::uint8_t> bytes = {0x10, 0x20, 0x30, 0x40};
    ASSERT_TRUE(pty.send(bytes));
    ASSERT_TRUE(pumpUntil([&] { return port.InputCount() == 4; }));
    std::vector<std::uint8_t> got(4);
    EXPECT_EQ(port.Read(got.data(), 4), 4);
    EXPECT_EQ(got, bytes);
}

TEST_F(ComPortPty, SettingPortReopensOnlyForANewName) {
    int opens = 0;
    port.OnBeforeOpen = [&](TComPort&) { ++opens; };
    port.Open();
    port.setPort(pty.path());
    EXPECT_EQ(opens, 1);

    PtyPair other;
    ASSERT_TRUE(other.ok());
    port.setPort(other.path());
    EXPECT_EQ(opens, 2);
    EXPECT_TRUE(port.Connected());
    const std::vector<std::uint8_t> bytes = {0xAA, 0x55};
    EXPECT_EQ(port.Write(bytes.data(), 2), 2);
    EXPECT_EQ(other.receive(2), bytes);
    EXPECT_TRUE(pty.receive(1, 50).empty());

    // Closed: the name is only stored.
    port.Close();
    port.setPort(pty.path());
    EXPECT_EQ(opens, 2);
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComPortPty, APortHeldByAnotherInstanceIsAccessDenied) {
    port.Open();
    TComPort second;
    second.setPort(pty.path());
    expectComError([&] { second.Open(); },
                   {1, kOsErrorAccessDenied, "Unable to open com port (Error: 5)"});
    EXPECT_FALSE(second.Connected());

    // Through the hook, the code the window acts on arrives with the system's message.
    std::vector<HookCall> calls;
    recordHook(second, calls);
    second.Open();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().code, 1);
    EXPECT_EQ(calls.front().osError, kOsErrorAccessDenied);
    EXPECT_FALSE(calls.front().osMessage.empty());
    second.Close();

    // Once released it can be taken.
    port.Close();
    second.OnException = nullptr;
    EXPECT_NO_THROW(second.Open());
}

// The far end never reads: every frame is handed to the driver and the write returns, as long as
// the driver has room; once its queue is full the write timeout bounds the wait.
TEST_F(ComPortPty, WritesWaitOnlyForRoomInTheDriver) {
    constexpr std::uint32_t kPatientMs = 60000;
    port.Timeouts().setWriteTotalMultiplier(0);
    port.Timeouts().setWriteTotalConstant(kPatientMs);
    port.Open();
    const std::vector<std::uint8_t> band(17, 0x5A);
    constexpr int kFrames = 100;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_EQ(port.Write(band.data(), 17), 17) << "frame " << i;
    }
    EXPECT_EQ(pty.receive(17 * kFrames).size(), 17u * kFrames) << "all were handed over";

    // More than the pseudo-terminal holds: a short timeout, and what fitted is reported.
    constexpr std::uint32_t kShortMs = 50;
    port.Timeouts().setWriteTotalConstant(kShortMs);
    const std::vector<std::uint8_t> flood(1 << 20, 0x33);
    const int taken = port.Write(flood.data(), static_cast<int>(flood.size()));
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, static_cast<int>(flood.size()));
}

// Whatever SyncMethod says, handlers run on the port's thread, where they may close the port.
TEST_F(ComPortPty, EveryEventMethodDeliversOnThePortThread) {
    for (const TSyncMethod method : {TSyncMethod::smNone, TSyncMethod::smWindowSync}) {
        port.setSyncMethod(method);
        bool onPortThread = false;
        port.OnRxChar = [&](TComPort& sender, int) {
            onPortThread = QThread::currentThread() == sender.thread();
            sender.Close();
        };
        port.Open();
        ASSERT_TRUE(pty.send({1}));
        ASSERT_TRUE(pumpUntil([&] { return !port.Connected(); }));
        EXPECT_TRUE(onPortThread);
    }
}

// A child process that holds the pseudo-terminal's far side (and, as a terminal or a device
// simulator does, perhaps its master) until the test lets it go.
class Holder {
public:
    Holder(const PtyPair& pty, bool withMaster, bool exclusive) {
        std::array<int, 2> ready{-1, -1};
        std::array<int, 2> release{-1, -1};
        const bool piped =
            ::pipe2(ready.data(), O_CLOEXEC) == 0 && ::pipe2(release.data(), O_CLOEXEC) == 0;
        ready_.reset(ready[0]);
        release_.reset(release[1]);
        const tq50r::base::UniqueFd readyWrite(ready[1]);
        const tq50r::base::UniqueFd releaseRead(release[0]);
        if (!piped) {
            return;
        }
        const std::string path = pty.path();
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls from here on. The copies of the test's own handles
            // are the child's to let go.
            if (!withMaster) {
                tq50r::base::UniqueFd(pty.master()).reset();
            }
            tq50r::base::UniqueFd(pty.slave()).reset();
            const int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
            if (slave < 0 || (exclusive && ::ioctl(slave, TIOCEXCL) != 0)) {
                ::_exit(1);
            }
            const char byte = 1;
            (void)!::write(readyWrite.get(), &byte, 1);
            char got = 0;
            (void)!::read(releaseRead.get(), &got, 1);
            ::_exit(0);
        }
    }
    ~Holder() { stop(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    /// Waits (bounded) until the child holds the port.
    bool holding() const {
        pollfd pfd{ready_.get(), POLLIN, 0};
        char byte = 0;
        return pid_ > 0 && ::poll(&pfd, 1, kWaitLimitMs) == 1 &&
               ::read(ready_.get(), &byte, 1) == 1;
    }
    void stop() {
        if (release_) {
            const char byte = 1;
            (void)!::write(release_.get(), &byte, 1);
        }
        release_.reset();
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    static constexpr int kWaitLimitMs = 3000;
    pid_t pid_ = -1;
    tq50r::base::UniqueFd ready_;
    tq50r::base::UniqueFd release_;
};

TEST_F(ComPortPty, APortAnotherProcessHoldsIsAccessDeniedButItsFarEndIsNot) {
    struct Case {
        const char* what;
        bool withMaster;
        bool exclusive;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"held", false, false, true},
        {"held exclusively", false, true, true},
        {"far end holding both sides", true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Holder holder(pty, c.withMaster, c.exclusive);
        ASSERT_TRUE(holder.holding());
        if (c.refused) {
            expectComError([&] { port.Open(); },
                           {1, kOsErrorAccessDenied, "Unable to open com port (Error: 5)"});
            EXPECT_FALSE(port.HasHandle());
        } else {
            EXPECT_NO_THROW(port.Open());
        }
        port.Close();
        holder.stop();
        EXPECT_NO_THROW(port.Open()) << "free once the holder has gone";
        port.Close();
    }
}

TEST(ComPortDescriptors, NoneLeakOnFailingOpensReadsWritesAndCloses) {
    const std::filesystem::path plainFile =
        std::filesystem::temp_directory_path() / ("tq50r-not-a-tty-" + std::to_string(::getpid()));
    std::ofstream(plainFile) << "x";
    PtyPair busy;
    ASSERT_TRUE(busy.ok());
    TComPort holder;
    holder.setPort(busy.path());
    holder.Open();
    const auto ignore = [](TComPort&, int, const std::string&, std::int64_t, const std::string&) {};

    const long leaked = tq50r::testing::descriptorsLeakedBy([&] {
        const std::vector<std::pair<std::string, std::int64_t>> failingOpens = {
            {"/dev/tq50r-no-such-port", 2}, {plainFile.string(), ENOTTY}, {busy.path(), 5}};
        for (const auto& [path, osError] : failingOpens) {
            TComPort port;
            port.setPort(path);
            expectComError([&] { port.Open(); }, {1, osError});
            port.OnException = ignore; // through the hook: open, write, read and close go on
            port.Open();
            std::uint8_t byte = 0;
            EXPECT_EQ(port.Write(&byte, 1), 0);
            EXPECT_EQ(port.Read(&byte, 1), 0);
            port.Close();
        }
        // A line whose far end vanished: writes and the purge at close fail, reads find nothing.
        PtyPair pty;
        TComPort port;
        port.setPort(pty.path());
        port.Open();
        pty.closeMaster();
        std::uint8_t buffer[4] = {};
        expectComError([&] { port.Write(buffer, 4); }, {2});
        EXPECT_EQ(port.Read(buffer, 4), 0);
        expectComError([&] { port.Close(); }, {5});
        EXPECT_FALSE(port.HasHandle());
    });
    EXPECT_EQ(leaked, 0);
    holder.Close();
    std::filesystem::remove(plainFile);
}

TEST(ComPortFailures, AMissingPortIsErrorOneWithFileNotFound) {
    TComPort port;
    port.setPort("/dev/tq50r-no-such-port");
    expectComError([&] { port.Open(); }, {1, 2, "Unable to open com port (Error: 2)"});
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.HasHandle());
}

TEST(ComPortFailures, WithoutHandleWriteAndReadArePortNotOpen) {
    TComPort port;
    const std::uint8_t byte = 0;
    expectComError([&] { port.Write(&byte, 1); }, {24, kOsErrorPortNotOpen, "Port Not Open"});
    std::uint8_t buf[4];
    EXPECT_THROW(port.Read(buf, 4), EComPort);
}

TEST(ComPortFailures, HookPathGoesOnAsIfTheFailedStepHadSucceeded) {
    TComPort port;
    std::vector<HookCall> calls;
    recordHook(port, calls);
    port.setPort("/dev/tq50r-no-such-port");

    port.Open();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().code, 1);
    EXPECT_EQ(calls.front().text, "Unable to open com port");
    EXPECT_EQ(calls.front().osError, 2);
    EXPECT_FALSE(calls.front().osMessage.empty());
    EXPECT_TRUE(port.Connected()) << "a failed open reported to the hook still counts as open";
    EXPECT_FALSE(port.HasHandle());
    for (const auto& call : calls) {
        EXPECT_NE(call.osError, kOsErrorAccessDenied) << "code " << call.code;
    }

    // The event thread has no handle to watch: it waits for stop and does not spin.
    EXPECT_TRUE(eventThreadWaitsForStopOnly());

    // Write and read report the missing port, go on, and fail on the missing handle.
    calls.clear();
    const std::uint8_t frame[9] = {};
    EXPECT_EQ(port.Write(frame, 9), 0);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, 24);
    EXPECT_EQ(calls[0].text, "Port Not Open");
    EXPECT_EQ(calls[0].osError, -24);
    EXPECT_EQ(calls[0].osMessage, "");
    EXPECT_EQ(calls[1].code, 2);
    EXPECT_GT(calls[1].osError, 0);
    EXPECT_NE(calls[1].osError, kOsErrorAccessDenied);
    calls.clear();
    std::uint8_t buf[4];
    EXPECT_EQ(port.Read(buf, 4), 0);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, 24);
    EXPECT_EQ(calls[1].code, 3);

    port.Close();
    EXPECT_FALSE(port.Connected());
}

TEST(ComPortHangUp, AHungUpLineNeitherSpinsNorBlocksClose) {
    for (const bool withHook : {false, true}) {
        SCOPED_TRACE(withHook ? "hook" : "raised");
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        TComPort port;
        port.setPort(pty.path());
        std::vector<std::string> steps;
        if (withHook) {
            port.OnException = [&steps](TComPort&, int code, const std::string&, std::int64_t,
                                        const std::string&) {
                steps.push_back("error " + std::to_string(code));
            };
        }
        port.OnAfterClose = [&steps](TComPort&) { steps.push_back("closed"); };
        int events = 0;
        port.OnRxChar = [&](TComPort&, int) { ++events; };
        port.Open();
        ASSERT_TRUE(pty.send({9, 9}));
        ASSERT_TRUE(pumpUntil([&] { return events > 0; }));
        pty.closeMaster();
        // Once it has seen the hang-up the event thread watches nothing but its stop signal.
        EXPECT_TRUE(eventThreadWaitsForStopOnly());
        // The purge of a vanished line fails and is reported, but the port ends up closed all
        // the same and can be opened again. The hook hears of it before the port is closed.
        try {
            port.Close();
        } catch (const EComPort& e) {
            EXPECT_FALSE(withHook);
            EXPECT_EQ(e.code(), 5);
        }
        if (withHook) {
            EXPECT_EQ(steps, (std::vector<std::string>{"error 5", "closed"}));
        }
        EXPECT_FALSE(port.Connected());
        EXPECT_FALSE(port.HasHandle());
        EXPECT_NO_THROW(port.Close());
    }
}

// ---- closing while an event waits to be delivered ----

// Streams bytes into the master side until stopped or until its time is up.
class Streamer {
public:
    explicit Streamer(int masterFd)
        : thread_([masterFd](std::stop_token stop) {
              const auto end = std::chrono::steady_clock::now() + kStreamLimit;
              const std::uint8_t chunk[7] = {1, 2, 3, 4, 5, 6, 7};
              while (!stop.stop_requested() && std::chrono::steady_clock::now() < end) {
                  (void)!::write(masterFd, chunk, sizeof chunk);
                  // Keep the master's queue short so that a closed slave does not fill it.
                  std::uint8_t drain[256];
                  (void)!::read(masterFd, drain, sizeof drain);
                  std::this_thread::sleep_for(std::chrono::microseconds(200));
              }
          }) {}

private:
    static constexpr auto kStreamLimit = std::chrono::seconds(30);
    std::jthread thread_;
};

constexpr int kStressCycles = 300;

TEST_F(ComPortPty, ClosingFromTheGuiThreadWhileEventsWaitNeverDeadlocks) {
    std::atomic<int> bytes{0};
    port.OnRxChar = [&](TComPort& sender, int count) {
        bytes += static_cast<int>(readAnnounced(sender, count).size());
    };
    Streamer streamer(pty.master());
    for (int cycle = 0; cycle < kStressCycles; ++cycle) {
        port.Open();
        // Close with an event still queued (every other cycle; the pause gives the event thread
        // time to post one, more or less), or after bytes of this opening were handled.
        if (cycle % 2 == 1) {
            const int handled = bytes.load();
            ASSERT_TRUE(pumpUntil([&] { return bytes.load() > handled; })) << "cycle " << cycle;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        port.Close();
    }
    // Events queued for an earlier opening are dropped, not delivered to the closed port.
    const int before = bytes.load();
    QCoreApplication::processEvents();
    EXPECT_EQ(bytes.load(), before);
    EXPECT_GT(before, 0);
}

TEST_F(ComPortPty, ClosingInsideTheReceiveHandlerNeverDeadlocks) {
    int handled = 0;
    port.OnRxChar = [&](TComPort& sender, int) {
        ++handled;
        sender.Close();
    };
    Streamer streamer(pty.master());
    for (int cycle = 0; cycle < kStressCycles / 3; ++cycle) {
        port.Open();
        ASSERT_TRUE(pumpUntil([&] { return !port.Connected(); })) << "cycle " << cycle;
    }
    EXPECT_EQ(handled, kStressCycles / 3);
}

TEST_F(ComPortPty, ClosingFromAWorkerThreadWhileTheGuiHandlesEventsNeverDeadlocks) {
    std::atomic<int> handled{0};
    port.OnRxChar = [&](TComPort& sender, int count) {
        readAnnounced(sender, count);
        ++handled;
    };
    Streamer streamer(pty.master());
    std::atomic<bool> workerDone{false};
    // The probe worker's pattern: open, wait a little, close, from its own thread. The first
    // opening stays until the GUI has handled one of its events.
    std::jthread worker([&] {
        for (int cycle = 0; cycle < kStressCycles / 3; ++cycle) {
            port.Open();
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            do {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            } while (cycle == 0 && handled.load() == 0 && std::chrono::steady_clock::now() < limit);
            port.Close();
        }
        workerDone = true;
    });
    constexpr int kWorkerLimitMs = 20000;
    EXPECT_TRUE(pumpUntil([&] { return workerDone.load(); }, kWorkerLimitMs));
    worker.join();
    EXPECT_GT(handled.load(), 0);
}

// Two threads open, rename and close one port at once, on two pseudo-terminals: the port
// always ends closed, and no call aborts or hangs.
TEST(ComPortThreads, OpenAndCloseFromTwoThreadsAtOnceNeverAbortOrHang) {
    PtyPair first;
    PtyPair second;
    ASSERT_TRUE(first.ok() && second.ok());
    TComPort port;
    port.setPort(first.path());
    // Bytes keep the event thread delivering to this (non-pumping) thread while it is closed.
    Streamer streamFirst(first.master());
    Streamer streamSecond(second.master());
    std::atomic<int> finished{0};
    const auto churn = [&port, &finished](const std::string& path) {
        for (int cycle = 0; cycle < kStressCycles; ++cycle) {
            try {
                port.setPort(path);
                port.Open();
                port.Close();
                port.Close();
            } catch (const EComPort&) {
                // The other thread's port was busy a moment: part of the churn.
            }
        }
        ++finished;
    };
    std::thread a(churn, first.path());
    std::thread b(churn, second.path());
    // A hang would never finish: give up after a bound far above the normal second or two.
    constexpr auto kHangLimit = std::chrono::seconds(60);
    const auto deadline = std::chrono::steady_clock::now() + kHangLimit;
    while (finished.load() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (finished.load() < 2) {
        ADD_FAILURE() << "Open/Close from two threads hung";
        std::fflush(nullptr);
        std::_Exit(EXIT_FAILURE);
    }
    a.join();
    b.join();
    EXPECT_FALSE(port.Connected());
}

} // namespace
