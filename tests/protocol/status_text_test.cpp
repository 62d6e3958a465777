#include "protocol/status_text.h"

#include <gtest/gtest.h>

namespace tq50r::protocol {
namespace {

TEST(StatusText, TemperatureRowsAndTheirBoundaries) {
    struct Row {
        std::uint16_t reading;
        int celsius;
    };
    const Row rows[] = {{0, 80},   {244, 80}, {245, 70}, {367, 70},  {368, 60},
                        {408, 60}, {409, 50}, {510, 50}, {511, 40},  {612, 40},
                        {613, 30}, {641, 30}, {642, 20}, {776, 20},  {777, 10},
                        {858, 10}, {859, 0},  {919, 0},  {920, -10}, {65535, -10}};
    for (const Row& row : rows) {
        EXPECT_EQ(temperatureFromReading(row.reading), row.celsius) << row.reading;
    }
    EXPECT_EQ(temperatureText(244), "Temperature:80\u2103");
    EXPECT_EQ(temperatureText(919), "Temperature:0\u2103");
    EXPECT_EQ(temperatureText(920), "Temperature:-10\xE2\x84\x83");
}

TEST(StatusText, FlagColours) {
    EXPECT_EQ(flagColour(0), 0x0000FF00u); // green, 0x00BBGGRR
    for (std::uint8_t flag : {1, 5, 0x80, 0xFF}) {
        EXPECT_EQ(flagColour(flag), 0x000000FFu); // red
    }
}

TEST(StatusText, BurningReportWordsAndNumbers) {
    EXPECT_EQ(burningReportText(12, 1561),
              "Burning success times:12\nTime:1 day, 2 hours, 1 minute");
    EXPECT_EQ(burningReportText(0, 0), "Burning success times:0\nTime:0 day, 0 hour, 0 minute");
    EXPECT_EQ(burningReportText(1, 2880), "Burning success times:1\nTime:2 days, 0 hour, 0 minute");
    EXPECT_EQ(burningReportText(255, 29999),
              "Burning success times:255\nTime:20 days, 19 hours, 59 minutes");
    // The largest total a reply can carry.
    EXPECT_EQ(burningReportText(3, 655359999),
              "Burning success times:3\nTime:455111 days, 2 hours, 39 minutes");
}

} // namespace
} // namespace tq50r::protocol
