// The exception boundary: whatever event handler throws, the error is shown and the next event is
// handled as usual. Runs under the program's own application object.
#include "app/application.h"
#include "base/unique_fd.h"
#include "platform/network_scope.h"
#include "transport/com_port.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace tq50r::app {
namespace {

QStringList shown;

// Runs the event loop until `done` holds; the wait only bounds a broken run.
template <typename Done> bool processUntil(Done done) {
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

TEST(ExceptionBoundary, ThrowingTimerHandlersAreReportedAndTheLoopGoesOn) {
    shown.clear();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] {
        if (++ticks == 1)
            throw std::runtime_error("tick failed");
        if (ticks == 2)
            throw 42;
    });
    timer.start(0);
    ASSERT_TRUE(processUntil([&ticks] { return ticks >= 3; }));
    EXPECT_EQ(shown,
              (QStringList{QStringLiteral("tick failed"), QStringLiteral("Unknown exception")}));
}

TEST(ExceptionBoundary, AThrowingSerialReceiveHandlerLeavesThePortWorking) {
    shown.clear();
    const base::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(master);
    ASSERT_EQ(::grantpt(master.get()), 0);
    ASSERT_EQ(::unlockpt(master.get()), 0);
    transport::TComPort port;
    port.setPort(::ptsname(master.get()));
    int events = 0;
    port.OnRxChar = [&events](transport::TComPort& p, int count) {
        std::vector<char> buffer(static_cast<std::size_t>(count));
        p.Read(buffer.data(), count);
        if (++events == 1)
            throw std::runtime_error("receive failed");
    };
    port.Open();
    ASSERT_TRUE(port.Connected());
    ASSERT_EQ(::write(master.get(), "a", 1), 1);
    ASSERT_TRUE(processUntil([] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown, QStringList{QStringLiteral("receive failed")});
    ASSERT_EQ(::write(master.get(), "b", 1), 1);
    EXPECT_TRUE(processUntil([&events] { return events == 2; }));
    port.Close();
}

} // namespace
} // namespace tq50r::app

int main(int argc, char** argv) {
    tq50r::platform::restrictToLoopback();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tq50r::app::Application app(argc, argv);
    app.setErrorReporter([](const QString& text) { tq50r::app::shown << text; });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
