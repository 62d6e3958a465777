#include "app/app_options.h"

#include <gtest/gtest.h>

namespace tq50r::app {
namespace {

TEST(AppOptions, CommandLinesAreUnderstood) {
    struct Case {
        QStringList args;
        bool loopback;
        QStringList ports;
        QString screenshot;
        bool help;
        bool error;
    };
    const Case cases[] = {
        {{"tq50r"}, false, {}, {}, false, false},
        {{"tq50r", "--loopback"}, true, {}, {}, false, false},
        {{"tq50r", "--serial-port", "/dev/pts/3", "--serial-port=/dev/pts/7"},
         false,
         {"/dev/pts/3", "/dev/pts/7"},
         {},
         false,
         false},
        {{"tq50r", "--loopback", "--screenshot", "/tmp/w.png"},
         true,
         {},
         "/tmp/w.png",
         false,
         false},
        {{"tq50r", "--help"}, false, {}, {}, true, false},
        {{"tq50r", "--version"}, false, {}, {}, false, false},
        {{"tq50r", "--bogus"}, false, {}, {}, false, true},
        {{"tq50r", "--serial-port"}, false, {}, {}, false, true},
        {{"tq50r", "stray"}, false, {}, {}, false, true},
        {{"tq50r", "--screenshot-delay", "-1"}, false, {}, {}, false, true},
        {{"tq50r", "--screenshot-delay", "60001"}, false, {}, {}, false, true},
        {{"tq50r", "--screenshot-delay", "soon"}, false, {}, {}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ParsedOptions parsed = parseAppOptions(c.args);
        EXPECT_EQ(!parsed.error.isEmpty(), c.error) << parsed.error.toStdString();
        if (c.error)
            continue;
        EXPECT_EQ(parsed.showHelp, c.help);
        EXPECT_EQ(parsed.showVersion, c.args.contains(QStringLiteral("--version")));
        EXPECT_EQ(parsed.options.loopbackOnly, c.loopback);
        EXPECT_EQ(parsed.options.extraSerialPorts, c.ports);
        EXPECT_EQ(parsed.options.screenshotPath, c.screenshot);
    }
    EXPECT_EQ(parseAppOptions({"tq50r", "--screenshot-delay", "2500"}).options.screenshotDelayMs,
              2500);
    EXPECT_FALSE(parseAppOptions({"tq50r"}).options.quitAfterFirstPaint);
    EXPECT_TRUE(parseAppOptions({"tq50r", "--quit-after-first-paint"}).options.quitAfterFirstPaint);
}

TEST(AppOptions, HelpNamesEveryOption) {
    const QString help = parseAppOptions({"tq50r", "--help"}).helpText;
    for (const char* option : {"--loopback", "--serial-port", "--screenshot", "--help", "--version",
                               "--quit-after-first-paint"})
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: tq50r "))) << help.toStdString();
    // A mistake comes with the help text as well.
    EXPECT_FALSE(parseAppOptions({"/usr/bin/tq50r", "--bogus"}).helpText.isEmpty());
}

} // namespace
} // namespace tq50r::app
