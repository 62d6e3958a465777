#include "protocol/frame_parser.h"
#include "protocol/frames.h"
#include "sim_device.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tq50r::sim {
namespace {

using protocol::CommandCode;
using protocol::FrameBytes;

template <std::size_t N> Bytes bytesOf(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

FrameBytes view(const Bytes& b) {
    return FrameBytes(b.data(), b.size());
}

// Exactly one answer frame, or a failed test.
Bytes onlyAnswer(SimDevice& device, const Bytes& request) {
    const auto answers = device.answer(view(request));
    EXPECT_EQ(answers.size(), 1U);
    return answers.empty() ? Bytes{} : answers.front();
}

TEST(SimDeviceRequests, AnswersEveryRequestWithItsOwnCommand) {
    struct Case {
        CommandCode request;
        CommandCode reply;
        std::size_t minSize; // the application reads fields up to this size
    };
    const Case cases[] = {
        {CommandCode::Poll, CommandCode::Poll, protocol::RequestFrameSize},
        {CommandCode::Connect, CommandCode::Connect, protocol::layoutSize(0x1F)},
        {CommandCode::Recall, CommandCode::Setting, protocol::ParameterBlockSize},
        {CommandCode::ReadState, CommandCode::ReadState, protocol::layoutSize(0x23)},
        {CommandCode::Burning, CommandCode::Burning, protocol::layoutSize(0x24)},
    };
    for (const Case& c : cases) {
        SimDevice device;
        const Bytes reply = onlyAnswer(device, bytesOf(protocol::buildRequest(c.request)));
        ASSERT_GE(reply.size(), c.minSize) << int(c.request);
        EXPECT_TRUE(
            std::equal(protocol::FrameHeader.begin(), protocol::FrameHeader.end(), reply.begin()));
        EXPECT_EQ(reply[protocol::LengthOffset], reply.size()) << "length byte counts the frame";
        EXPECT_EQ(reply[protocol::CommandOffset], static_cast<std::uint8_t>(c.reply));
        EXPECT_TRUE(std::equal(protocol::FrameTrailer.begin(), protocol::FrameTrailer.end(),
                               reply.end() - 3));
    }
}

TEST(SimDeviceRequests, ConnectReplyCarriesNameAndRevision) {
    SimDevice device;
    device.setName("Stage Left");
    device.revision = 16;
    const Bytes reply = onlyAnswer(device, bytesOf(protocol::buildRequest(CommandCode::Connect)));
    const auto read = protocol::readConnectReply(view(reply));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, "Stage Left");
    EXPECT_EQ(read->revision, 16);
}

TEST(SimDeviceRequests, StatusAndBurnInRepliesReadBackAsSet) {
    SimDevice device;
    device.status.temperatureReading = 0x0399; // 921: both bytes matter
    device.status.flags = {0, 1, 0, 5};
    device.burnIn = BurnIn{3, 29999};

    const auto state = protocol::readDeviceState(
        view(onlyAnswer(device, bytesOf(protocol::buildRequest(CommandCode::ReadState)))));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->temperatureReading, 0x0399);
    EXPECT_EQ(state->protection, 0);
    EXPECT_EQ(state->overTemperature, 1);
    EXPECT_EQ(state->voltage, 0);
    EXPECT_EQ(state->standby, 5);

    const Bytes burning = onlyAnswer(device, bytesOf(protocol::buildRequest(CommandCode::Burning)));
    // count 3, minutes below 10000 = 9999 (0F 27), tens of thousands = 2 (02 00)
    EXPECT_EQ(burning[7], 3);
    EXPECT_EQ(Bytes(burning.begin() + 9, burning.begin() + 13), (Bytes{0x0F, 0x27, 0x02, 0x00}));
    const auto report = protocol::readBurningReport(view(burning));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->count, 3);
    EXPECT_EQ(report->totalMinutes, 29999U);
}

TEST(SimDeviceRequests, BurnInBeyondTheHighWordSaturates) {
    SimDevice device;
    device.burnIn = BurnIn{1, 0xFFFFFFFFU};
    const auto report = protocol::readBurningReport(view(device.burningReply()));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->totalMinutes, 0xFFFFU * 10000U + 0xFFFFFFFFU % 10000U);
}

TEST(SimDeviceSetting, StartsFromTheResetBlockAndRecallsIt) {
    SimDevice device;
    const Bytes reply = onlyAnswer(device, bytesOf(protocol::buildRequest(CommandCode::Recall)));
    EXPECT_EQ(reply, bytesOf(protocol::ResetBlock));
    EXPECT_EQ(device.setting().band(3).freqIndex, 100);
    EXPECT_EQ(device.setting().band(3).gainIndex, eq::ZeroGainIndex);
}

TEST(SimDeviceSetting, EchoesStoredBandTrimAndBypass) {
    SimDevice device;
    eq::EqBand band;
    band.type = static_cast<int>(eq::EqBandType::LowShelf);
    band.freqIndex = 170;
    band.gainIndex = 30;
    band.qIndex = 35;
    band.off = true;

    for (const Bytes& frame :
         {bytesOf(protocol::buildBandFrame(3, band)), bytesOf(protocol::buildTrimFrame(-5)),
          bytesOf(protocol::buildBypassFrame(true))}) {
        EXPECT_EQ(onlyAnswer(device, frame), frame) << int(frame[protocol::CommandOffset]);
    }

    // The recalled block holds what was stored, at its block positions.
    const Bytes block = onlyAnswer(device, bytesOf(protocol::buildRequest(CommandCode::Recall)));
    const auto fields = protocol::readParameterBlock(view(block));
    ASSERT_TRUE(fields);
    EXPECT_EQ(eq::decodeTrim(fields->trim), -5);
    EXPECT_EQ(fields->bypass, 1);
    const eq::BandBytes& b3 = fields->bands[2];
    EXPECT_EQ(b3.typeCode, 5);
    EXPECT_EQ(b3.freqHigh, 1);
    EXPECT_EQ(b3.freqLow, 70);
    EXPECT_EQ(b3.gainIndex, 30);
    EXPECT_EQ(b3.qIndex, 35);
    EXPECT_EQ(b3.off, 1);
    EXPECT_EQ(fields->bands[1].freqLow, 50) << "other bands unchanged";
}

TEST(SimDeviceSetting, BandValuesOutsideTheirRangesAreStoredClampedAndReportedSo) {
    SimDevice device;
    // band 2: type code 9, frequency digits 3,50 (350), gain 60, Q 200, off byte 7
    const Bytes request = {0x01, 0x20, 0x03, 0x40, 0x11, 0x11, 0x0A, 2,   9,
                           3,    50,   60,   200,  7,    0x01, 0x05, 0x60};
    const auto report = protocol::readBandReport(view(onlyAnswer(device, request)));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->bandNumber, 2);
    EXPECT_EQ(report->bytes.typeCode, 1);
    EXPECT_EQ(report->bytes.freqHigh, 3);
    EXPECT_EQ(report->bytes.freqLow, 0);
    EXPECT_EQ(report->bytes.gainIndex, eq::MaxGainIndex);
    EXPECT_EQ(report->bytes.qIndex, eq::MaxQIndex);
    EXPECT_EQ(report->bytes.off, 1);
}

TEST(SimDeviceSetting, IgnoresFramesItCannotRead) {
    const Bytes badBand = [] {
        Bytes b = bytesOf(protocol::buildBandFrame(1, eq::EqBand{}));
        b[7] = 6; // no band 6
        return b;
    }();
    const std::vector<Bytes> ignored = {
        badBand,
        {0x01, 0x20, 0x03, 0x40, 0x09, 0x11, 0x01, 0x05, 0x60}, // Band without payload
        {0x01, 0x20, 0x03, 0x40, 0x06, 0x0E},                   // Trim cut after its command
        {0x01, 0x20, 0x03, 0x40, 0x09, 0x14, 0x01, 0x05, 0x60}, // Setting without block
        {0x01, 0x20, 0x03, 0x40, 0x09, 0x21, 0x01, 0x05, 0x60}, // MacReport: not a request
        {0x01, 0x20, 0x03, 0x40, 0x09, 0x7E, 0x01, 0x05, 0x60}, // unknown command
        bytesOf(protocol::buildRenameFrame("Quiet")),           // stored, not answered
    };
    for (const Bytes& frame : ignored) {
        SimDevice device;
        EXPECT_TRUE(device.answer(view(frame)).empty()) << int(frame[5]);
        EXPECT_EQ(device.block(), protocol::ResetBlock) << int(frame[5]);
    }
}

TEST(SimDeviceSetting, KeepsAWholeBlockByteForByte) {
    SimDevice device;
    eq::EqSetting setting = eq::startSetting();
    setting.trimDb = -7;
    setting.bypass = true;
    setting.band(5).gainIndex = 41;
    protocol::ParameterBlock block = protocol::buildParameterBlock(setting, false);
    // Bytes the device does not interpret: they must come back unchanged.
    block[6] = 0x5A;
    block[8] = 0x77;
    for (std::size_t i = 10; i < 16; ++i) {
        block[i] = static_cast<std::uint8_t>(0xC0 + i);
    }
    for (std::size_t i = 46; i < 71; ++i) {
        block[i] = static_cast<std::uint8_t>(i * 3);
    }
    const Bytes sent = bytesOf(block);
    EXPECT_EQ(onlyAnswer(device, sent), sent);
    EXPECT_EQ(onlyAnswer(device, bytesOf(protocol::buildRequest(CommandCode::Recall))), sent);
    EXPECT_EQ(device.setting().trimDb, -7);
    EXPECT_TRUE(device.setting().bypass);
    EXPECT_EQ(device.setting().band(5).gainIndex, 41);
}

TEST(SimDeviceIdentity, RenameAndSetMacAreStored) {
    SimDevice device;
    device.setName("Old");
    EXPECT_TRUE(device.answer(view(bytesOf(protocol::buildRenameFrame("Balcony")))).empty());
    EXPECT_EQ(device.name(), "Balcony");
    const auto macFrame = protocol::buildMacFrame("00A1B0123ABC");
    ASSERT_TRUE(macFrame);
    EXPECT_TRUE(device.answer(view(bytesOf(*macFrame))).empty());
    EXPECT_EQ(protocol::macText(device.mac), "00A1B0123ABC");
    const auto report = protocol::readMacReport(view(device.macReport()));
    ASSERT_TRUE(report);
    EXPECT_EQ(protocol::macText(*report), "00A1B0123ABC");
}

TEST(SimDeviceIdentity, LongNamesAreCutAndTheFieldKeepsItsFinalZero) {
    SimDevice device;
    device.setName("A name that is far too long");
    EXPECT_EQ(device.nameField().back(), 0x00);
    EXPECT_EQ(device.name(), "A name that is");
    EXPECT_EQ(device.name().size(), protocol::RenameMaxNameBytes - 1) << "trailing blank trimmed";
}

TEST(SimDeviceStream, IgnoresTheZeroPreambleAndAssemblesSplitFrames) {
    SimDevice device;
    Bytes stream(protocol::ZeroPreambleSize, 0x00);
    const auto connect = protocol::buildRequest(CommandCode::Connect);
    const auto poll = protocol::buildRequest(CommandCode::Poll);
    stream.insert(stream.end(), connect.begin(), connect.end());
    stream.insert(stream.end(), poll.begin(), poll.end());

    std::vector<std::uint8_t> seen;
    std::vector<Bytes> answers;
    // Fed in pieces of 7 bytes: frames cross piece boundaries.
    for (std::size_t at = 0; at < stream.size(); at += 7) {
        const std::size_t n = std::min<std::size_t>(7, stream.size() - at);
        auto part = device.receive(std::span(stream.data() + at, n),
                                   [&](FrameBytes f) { seen.push_back(f[5]); });
        answers.insert(answers.end(), part.begin(), part.end());
    }
    EXPECT_EQ(seen, (std::vector<std::uint8_t>{0x1F, 0x0B}));
    ASSERT_EQ(answers.size(), 2U);
    EXPECT_EQ(answers[0][5], 0x1F);
    EXPECT_EQ(answers[1], bytesOf(poll));
}

TEST(SimDeviceStream, ResetReceiverDropsAPartialFrame) {
    SimDevice device;
    const auto connect = protocol::buildRequest(CommandCode::Connect);
    EXPECT_TRUE(device.receive(std::span(connect.data(), 5)).empty());
    device.resetReceiver();
    // The rest of the old frame is noise; the next whole frame is answered.
    EXPECT_TRUE(device.receive(std::span(connect.data() + 5, 4)).empty());
    EXPECT_EQ(device.receive(connect).size(), 1U);
}

TEST(SimDeviceStatus, DriftStaysWithinItsSpread) {
    SimDevice device;
    device.status.temperatureReading = 620;
    for (int i = 0; i < 100; ++i) {
        device.driftReading(+1, 620, 12);
    }
    EXPECT_EQ(device.status.temperatureReading, 632);
    for (int i = 0; i < 100; ++i) {
        device.driftReading(-1, 620, 12);
    }
    EXPECT_EQ(device.status.temperatureReading, 608);
    device.status.temperatureReading = 3;
    device.driftReading(-1, 5, 12);
    EXPECT_EQ(device.status.temperatureReading, 2) << "no wrap below zero";
    device.driftReading(-5, 5, 12);
    EXPECT_EQ(device.status.temperatureReading, 0);
}

} // namespace
} // namespace tq50r::sim
