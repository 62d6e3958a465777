// Test entry point for suites that need widgets: one QApplication per process.
#include "platform/network_scope.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // No test ever searches a real network.
    tq50r::platform::restrictToLoopback();
    // Widget tests never need a display, also when listed or run outside ctest.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
