// Test entry point for suites that need widgets: one QApplication per process.
#include "platform/network_scope.h"

#include <QApplication>
#include <QByteArray>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

#ifndef TQ50R_TEST_SCALE
#define TQ50R_TEST_SCALE "1"
#endif

// The offscreen screen of the tests: a 1920 x 1080 desktop, so that the window opens at its full
// size (tests of smaller work areas give theirs to the window). A suite may scale it
// (TQ50R_TEST_SCALE).
QByteArray offscreenPlatform() {
    const QByteArray scale(TQ50R_TEST_SCALE);
    const std::filesystem::path config = std::filesystem::temp_directory_path() /
                                         ("tq50r-screen-" + std::to_string(getpid()) + ".json");
    std::ofstream(config) << R"({"screens":[{"name":"test","x":0,"y":0,"width":1920,)"
                          << R"("height":1080,"logicalDpi":96,"logicalBaseDpi":96,"dpr":)"
                          << scale.toStdString() << "}]}";
    return "offscreen:configfile=" + QByteArray::fromStdString(config.string());
}

} // namespace

int main(int argc, char** argv) {
    // No test ever searches a real network.
    tq50r::platform::restrictToLoopback();
    // Widget tests never need a display, also when listed or run outside ctest.
    std::filesystem::path config;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const QByteArray platform = offscreenPlatform();
        config = platform.mid(platform.indexOf('=') + 1).toStdString();
        qputenv("QT_QPA_PLATFORM", platform);
    }
    QApplication app(argc, argv);
    if (!config.empty())
        std::filesystem::remove(config); // read when the application started
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
