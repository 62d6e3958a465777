// Entry point for suites that need an event loop but no display: one QCoreApplication.
#include "platform/network_scope.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // No test ever searches a real network.
    tq50r::platform::restrictToLoopback();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
