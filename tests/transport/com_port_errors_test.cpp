#include "transport/com_port.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace tq50r::transport;

namespace {

TEST(ComPortErrors, CodesCarryTheirFixedTexts) {
    // A sample across the table, the typo-prone and the boundary ones included.
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "Unable to open com port"},
        {2, "WriteFile function failed"},
        {5, "PurgeComm function failed"},
        {8, "SetCommTimeouts failed"},
        {14, "Cannot set property while connected"},
        {18, "Link (un)registration failed"},
        {19, "Cannot change led state if ComPort is selected"},
        {22, "A component is linked to OnRxBuf event"},
        {24, "Port Not Open"},
        {0, ""},
        {25, ""},
        {-1, ""},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(comErrorText(code), text) << "code " << code;
    }
    for (int code = kFirstComError; code <= kLastComError; ++code) {
        EXPECT_FALSE(comErrorText(code).empty()) << "code " << code;
    }
}

TEST(ComPortErrors, ExceptionMessageHasTheOsErrorSuffixOnlyAboveZero) {
    struct Case {
        int code;
        std::int64_t osError;
        std::string message;
    };
    const std::vector<Case> cases = {
        {1, 2, "Unable to open com port (Error: 2)"},
        {2, 31, "WriteFile function failed (Error: 31)"},
        {24, kOsErrorPortNotOpen, "Port Not Open"},
        {14, 0, "Cannot set property while connected"},
        {3, 4294967296LL, "ReadFile function failed (Error: 4294967296)"},
    };
    for (const auto& c : cases) {
        const EComPort e(c.code, c.osError);
        EXPECT_EQ(e.what(), c.message);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_EQ(e.osError(), c.osError);
    }
}

TEST(ComPortErrors, PortHeldElsewhereMapsToAccessDeniedAndIoErrorDoesNot) {
    EXPECT_EQ(osErrorFromErrno(EBUSY), kOsErrorAccessDenied);
    EXPECT_EQ(osErrorFromErrno(EACCES), kOsErrorAccessDenied);
    EXPECT_EQ(osErrorFromErrno(EWOULDBLOCK), kOsErrorAccessDenied);
    EXPECT_NE(osErrorFromErrno(EIO), kOsErrorAccessDenied);
    EXPECT_EQ(osErrorFromErrno(ENOENT), 2);
    EXPECT_EQ(osErrorFromErrno(ENXIO), ENXIO);
}

TEST(ComPortSettingsObjects, DefaultsAndOddBufferSizes) {
    TComPort port;
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), TBaudRate::br9600);
    EXPECT_EQ(baudRateToInt(port.BaudRate(), port.CustomBaudRate()), 9600);
    EXPECT_EQ(port.DataBits(), TDataBits::dbEight);
    EXPECT_EQ(port.StopBits(), TStopBits::sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), TParityBits::prNone);
    EXPECT_EQ(port.FlowControl().ControlDTR(), TDTRFlowControl::dtrDisable);
    EXPECT_EQ(port.FlowControl().ControlRTS(), TRTSFlowControl::rtsDisable);
    EXPECT_EQ(port.FlowControl().XonChar(), 17);
    EXPECT_EQ(port.FlowControl().XoffChar(), 19);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 0xFFFFFFFFu);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100u);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000u);
    EXPECT_EQ(port.Events(), TComEvents::all());
    EXPECT_EQ(port.SyncMethod(), TSyncMethod::smThreadSync);

    const std::vector<std::pair<int, int>> sizes = {{1025, 1024}, {1024, 1024}, {7, 6}, {1, 0}};
    for (const auto& [given, stored] : sizes) {
        port.Buffer().setInputSize(given);
        port.Buffer().setOutputSize(given);
        EXPECT_EQ(port.Buffer().InputSize(), stored);
        EXPECT_EQ(port.Buffer().OutputSize(), stored);
    }
    // Settings of a closed port are stored without touching any device.
    EXPECT_NO_THROW(port.setBaudRate(TBaudRate::br115200));
    EXPECT_EQ(port.BaudRate(), TBaudRate::br115200);
    EXPECT_EQ(baudRateToInt(TBaudRate::brCustom, 31250), 31250);
    EXPECT_EQ(baudRateToInt(TBaudRate::br56000, 0), 56000);
}

TEST(ComPortSettingsObjects, PortNamesResolveUnderDev) {
    EXPECT_EQ(TComPort::devicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(TComPort::devicePath("/dev/pts/4"), "/dev/pts/4");
}

} // namespace
