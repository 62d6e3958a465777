#include "protocol/frames.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace tq50r::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N> Bytes bytesOf(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

// A received frame of `size` bytes with a proper header, length and command; payload zero.
Bytes receivedFrame(CommandCode code, std::size_t size) {
    Bytes f = {
        0x01, 0x20, 0x03, 0x40, static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(code)};
    f.resize(size, 0);
    return f;
}

TEST(FrameBuilders, RequestsAreNineBytesWithoutPayload) {
    EXPECT_EQ(bytesOf(buildRequest(CommandCode::Connect)), (Bytes{
                                                               0x01, 0x20, 0x03, 0x40, // header
                                                               0x09, // length: whole frame
                                                               0x1F, // Connect
                                                               0x01, 0x05, 0x60, // trailer
                                                           }));
    EXPECT_EQ(bytesOf(buildRequest(CommandCode::ReadState)),
              (Bytes{0x01, 0x20, 0x03, 0x40, 0x09, /* ReadState '#' */ 0x23, 0x01, 0x05, 0x60}));
    for (auto code : {CommandCode::Poll, CommandCode::Recall, CommandCode::Burning}) {
        const auto frame = buildRequest(code);
        EXPECT_EQ(frame[5], static_cast<std::uint8_t>(code));
        EXPECT_EQ(frame[4], 9);
    }
}

TEST(FrameBuilders, BandTrimAndBypassFrames) {
    eq::EqBand band;
    band.type = 1 + 3 * 4; // a grown counter is still Peak
    band.freqIndex = 170;
    band.gainIndex = 24;
    band.qIndex = 35;
    band.off = false;
    band.deviceOff = true; // the Band frame carries the PC's own off flag
    EXPECT_EQ(bytesOf(buildBandFrame(3, band)), (Bytes{
                                                    0x01, 0x20, 0x03, 0x40, // header
                                                    0x11,                   // length 17
                                                    0x11,                   // Band
                                                    0x0A,                   // fixed
                                                    0x03,                   // band 3
                                                    0x01,                   // Peak
                                                    0x01, 0x46,             // freqIndex 170 = 1, 70
                                                    0x18,                   // gainIndex 24
                                                    0x23,                   // qIndex 35
                                                    0x00,                   // on
                                                    0x01, 0x05, 0x60,       // trailer
                                                }));
    EXPECT_EQ(bytesOf(buildTrimFrame(-5)), (Bytes{
                                               0x01, 0x20, 0x03, 0x40, // header
                                               0x0B, 0x0E,             // length 11, Trim
                                               0x6F,                   // 121 + 2 * -5 = 111
                                               0x48,                   // fixed
                                               0x01, 0x05, 0x60,       // trailer
                                           }));
    EXPECT_EQ(bytesOf(buildBypassFrame(true)),
              (Bytes{0x01, 0x20, 0x03, 0x40, 0x0B, 0x13, 0x00, 0x01, 0x01, 0x05, 0x60}));
    EXPECT_EQ(buildBypassFrame(false)[7], 0);
}

TEST(FrameBuilders, RenameFieldKeepsPaddingAndFinalZero) {
    const auto frame = buildRenameFrame("Stage L");
    EXPECT_EQ(frame.size(), 26u);
    EXPECT_EQ((Bytes{frame.begin(), frame.begin() + 7}),
              (Bytes{0x01, 0x20, 0x03, 0x40, 0x1A, 0x1E, 0x01}));
    EXPECT_EQ(std::string(frame.begin() + 7, frame.begin() + 14), "Stage L");
    for (std::size_t i = 14; i <= 21; ++i) {
        EXPECT_EQ(frame[i], 0x20) << i;
    }
    EXPECT_EQ(frame[22], 0x00);
    EXPECT_EQ((Bytes{frame.begin() + 23, frame.end()}), (Bytes{0x01, 0x05, 0x60}));

    // A name longer than the field never overwrites the final 0x00 or the trailer.
    const auto longName = buildRenameFrame("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(std::string(longName.begin() + 7, longName.begin() + 22), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(longName[22], 0x00);
    EXPECT_EQ(longName[23], 0x01);
    EXPECT_EQ(buildRenameFrame("")[7], 0x20);

    // A two-byte character that ends exactly at the field's last name byte is kept; one that
    // would cross it is left out whole, and a space stands in its place.
    EXPECT_EQ(nameFieldLength("ABCDEFGHIJKLM\xC3\xA9"), 15u);
    const auto cut = buildRenameFrame("ABCDEFGHIJKLMN\xC3\xA9");
    EXPECT_EQ(std::string(cut.begin() + 7, cut.begin() + 22), "ABCDEFGHIJKLMN ");
    EXPECT_EQ(nameFieldLength("\xE2\x84\x83\xE2\x84\x83\xE2\x84\x83\xE2\x84\x83\xE2\x84\x83X"),
              15u);
    EXPECT_EQ(nameFieldLength("X\xE2\x84\x83\xE2\x84\x83\xE2\x84\x83\xE2\x84\x83\xE2\x84\x83"),
              13u);
}

TEST(MacText, ConversionsRoundTrip) {
    const MacBytes mac = {0x00, 0xA1, 0xB0, 0x12, 0x3A, 0xBC};
    EXPECT_EQ(macText(mac), "00A1B0123ABC");
    EXPECT_EQ(macDisplayText("00A1B0123ABC"), "00:A1:B0:12:3A:BC");
    EXPECT_EQ(macBytesFromText("00A1B0123ABC"), mac);
    EXPECT_EQ(macBytesFromText("00a1b0123abc"), mac);

    const auto frame = buildMacFrame("00A1B0123ABC");
    ASSERT_TRUE(frame);
    EXPECT_EQ(bytesOf(*frame), (Bytes{
                                   0x01, 0x20, 0x03, 0x40, 0x10, 0x20, // header, length 16, SetMac
                                   0x00,                               // fixed
                                   0x00, 0xA1, 0xB0, 0x12, 0x3A, 0xBC, // MAC
                                   0x01, 0x05, 0x60,                   // trailer
                               }));
}

TEST(MacText, MalformedTextGivesNoBytesAndNoFrame) {
    // ':' .. '@' lie between '0' and 'F' in character code, so the MAC dialog lets them through.
    for (const char* text : {"", "00A1B0", "00A1B0123AB", "00A1B0123ABCD", "00A1B0:;<=>?",
                             "00A1B0 23ABC", "GGA1B0123ABC"}) {
        EXPECT_FALSE(macBytesFromText(text)) << text;
        EXPECT_FALSE(buildMacFrame(text)) << text;
    }
    EXPECT_EQ(macDisplayText("FFF"), "FFF");
    EXPECT_EQ(macDisplayText("FFFFFFFFFFFF"), "FF:FF:FF:FF:FF:FF");
}

TEST(ParameterBlock, BuiltFromStartSetting) {
    eq::EqSetting setting = eq::startSetting();
    setting.bands[1].off = true;
    setting.bands[2].deviceOff = true;
    const ParameterBlock offline = buildParameterBlock(setting, false);
    const Bytes expectedStart = {
        0x01, 0x20, 0x03, 0x40, 0x4A, 0x14, // header, length 74, Setting
        0x01,                               // built here
        0x79, 0x00, 0x00,                   // trim 0 dB, fixed 0, bypass off
        0x01, 0x1E, 0x00, 0x63, 0x30, 0x01, // fixed bytes 10..15
        0x01, 0x00, 0x00, 0x18, 0x23, 0x00, // band 1: Peak, 0/0, gain 24, Q 35, on
        0x01, 0x00, 0x32, 0x18, 0x23, 0x01, // band 2: freq 50, off (PC flag)
        0x01, 0x01, 0x00, 0x18, 0x23, 0x00, // band 3: freq 100; device flag ignored offline
    };
    EXPECT_EQ((Bytes{offline.begin(), offline.begin() + 34}), expectedStart);
    for (std::size_t i = block::ReservedOffset; i < block::TrailerOffset; ++i) {
        EXPECT_EQ(offline[i], 0) << i;
    }
    EXPECT_EQ((Bytes{offline.end() - 3, offline.end()}), (Bytes{0x01, 0x05, 0x60}));

    const ParameterBlock online = buildParameterBlock(setting, true);
    EXPECT_EQ(online[16 + 6 + 5], 0);  // band 2: deviceOff
    EXPECT_EQ(online[16 + 12 + 5], 1); // band 3: deviceOff
}

TEST(ParameterBlock, ResetBlockReadsAsPeakBandsAtStartFrequencies) {
    const eq::BlockFields fields = readParameterBlock(ResetBlock);
    EXPECT_EQ(fields.trim, 121);
    EXPECT_EQ(fields.bypass, 0);
    const int freqIndex[] = {0, 50, 100, 150, 200};
    for (std::size_t i = 0; i < 5; ++i) {
        const eq::BandBytes& b = fields.bands[i];
        EXPECT_EQ(b.typeCode, 1);
        EXPECT_EQ(b.freqHigh * 100 + b.freqLow, freqIndex[i]);
        EXPECT_EQ(b.gainIndex, 24);
        EXPECT_EQ(b.qIndex, 0);
        EXPECT_EQ(b.off, 0);
    }
    const auto fromWire = readParameterBlock(FrameBytes(ResetBlock));
    ASSERT_TRUE(fromWire);
    EXPECT_EQ(fromWire->bands[4].freqHigh, 2);
}

TEST(FrameReaders, ReadTheirFields) {
    Bytes burning = receivedFrame(CommandCode::Burning, 16);
    burning[7] = 3;
    burning[9] = 0x0F; // 9999, low byte first
    burning[10] = 0x27;
    burning[11] = 0x02; // 2 x 10000
    burning[12] = 0x00;
    const auto report = readBurningReport(burning);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->count, 3);
    EXPECT_EQ(report->totalMinutes, 29999u);

    Bytes state = receivedFrame(CommandCode::ReadState, 24);
    state[9] = 0x98; // 920 = 0x0398
    state[10] = 0x03;
    state[18] = 1;
    state[20] = 5;
    const auto status = readDeviceState(state);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->temperatureReading, 920);
    EXPECT_EQ(status->protection, 0);
    EXPECT_EQ(status->overTemperature, 1);
    EXPECT_EQ(status->voltage, 0);
    EXPECT_EQ(status->standby, 5);

    Bytes mac = receivedFrame(CommandCode::MacReport, 16);
    const Bytes macBytes = {0x00, 0xA1, 0xB0, 0x12, 0x3A, 0xBC};
    std::copy(macBytes.begin(), macBytes.end(), mac.begin() + 7);
    EXPECT_EQ(macText(*readMacReport(mac)), "00A1B0123ABC");

    Bytes band = bytesOf(buildBandFrame(4, eq::startSetting().bands[3]));
    const auto bandReport = readBandReport(band);
    ASSERT_TRUE(bandReport);
    EXPECT_EQ(bandReport->bandNumber, 4);
    EXPECT_EQ(bandReport->bytes.freqHigh * 100 + bandReport->bytes.freqLow, 150);
    EXPECT_EQ(readTrimByte(bytesOf(buildTrimFrame(-18))), 85);
    EXPECT_EQ(readBypassByte(bytesOf(buildBypassFrame(true))), 1);
}

TEST(FrameReaders, ConnectReplyNameRule) {
    struct Case {
        std::string field; // 16 bytes
        std::string name;
    };
    const Case cases[] = {
        {std::string("Amp01") + std::string(11, ' '), "Amp01"},
        {std::string(16, '\0'), ""},
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},        // no 0x00: all sixteen
        {std::string("\t  Left\0Right   ", 16), "Left"}, // stops at 0x00, trims controls
        {std::string(" Hall 2 \x01\x1F") + std::string(6, ' '), "Hall 2"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.field.size(), 16u);
        Bytes reply = receivedFrame(CommandCode::Connect, 27);
        std::copy(c.field.begin(), c.field.end(), reply.begin() + 7);
        reply[23] = 17;
        const auto parsed = readConnectReply(reply);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->name, c.name);
        EXPECT_EQ(parsed->revision, 17);
    }
}

// A frame whose length byte is shorter than its command's layout must read as
// absent, never as whatever lies beyond its end.
TEST(FrameReaders, ShortFramesReadAsAbsent) {
    // Whether the command's reader finds its fields in a frame.
    using Reads = bool (*)(FrameBytes);
    const std::pair<CommandCode, Reads> readers[] = {
        {CommandCode::Trim, [](FrameBytes f) { return readTrimByte(f).has_value(); }},
        {CommandCode::Band, [](FrameBytes f) { return readBandReport(f).has_value(); }},
        {CommandCode::Bypass, [](FrameBytes f) { return readBypassByte(f).has_value(); }},
        {CommandCode::Setting, [](FrameBytes f) { return readParameterBlock(f).has_value(); }},
        {CommandCode::Connect, [](FrameBytes f) { return readConnectReply(f).has_value(); }},
        {CommandCode::MacReport, [](FrameBytes f) { return readMacReport(f).has_value(); }},
        {CommandCode::ReadState, [](FrameBytes f) { return readDeviceState(f).has_value(); }},
        {CommandCode::Burning, [](FrameBytes f) { return readBurningReport(f).has_value(); }},
    };
    for (const auto& [code, reads] : readers) {
        const std::size_t need = layoutSize(static_cast<std::uint8_t>(code));
        ASSERT_GT(need, MinFrameSize);
        for (std::size_t size : {MinFrameSize, need - 1, need}) {
            const Bytes frame = receivedFrame(code, size);
            const bool expected = size >= need;
            EXPECT_EQ(frameCoversLayout(static_cast<std::uint8_t>(code), size), expected);
            EXPECT_EQ(reads(frame), expected) << "command " << int(code) << " size " << size;
        }
    }
    // A reader never takes a frame of another command.
    EXPECT_FALSE(readTrimByte(bytesOf(buildBypassFrame(true))));
    EXPECT_FALSE(commandByte(Bytes{0x01, 0x20, 0x03, 0x40, 0x09}));
    EXPECT_TRUE(frameCoversLayout(static_cast<std::uint8_t>(CommandCode::Poll), MinFrameSize));
}

} // namespace
} // namespace tq50r::protocol
