#include "app/app_options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

namespace tq50r::app {

ParsedOptions parseAppOptions(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds TQ50R devices, edits their Master EQ and keeps presets."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    // Not addVersionOption(): that one needs an application object, and --version must
    // answer without a display.
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Print the program's version and quit."));
    const QCommandLineOption loopbackOption(
        QStringLiteral("loopback"),
        QStringLiteral("Confine device discovery to loopback addresses (127.0.0.0/8)."));
    const QCommandLineOption serialOption(
        QStringLiteral("serial-port"),
        QStringLiteral(
            "Also scan this serial port, e.g. a simulator pseudo-terminal (repeatable)."),
        QStringLiteral("PATH"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Render the window after start-up to a PNG file and quit."),
        QStringLiteral("FILE"));
    const QCommandLineOption screenshotDelayOption(
        QStringLiteral("screenshot-delay"),
        QStringLiteral("Wait this long after start-up before the screenshot (default 300; up "
                       "to 60000), e.g. to let devices be found."),
        QStringLiteral("MS"));
    const QCommandLineOption firstPaintOption(
        QStringLiteral("quit-after-first-paint"),
        QStringLiteral("Developers: quit as soon as the window has been painted once, to measure "
                       "the start-up."));
    parser.addOption(versionOption);
    parser.addOption(loopbackOption);
    parser.addOption(serialOption);
    parser.addOption(screenshotOption);
    parser.addOption(screenshotDelayOption);
    parser.addOption(firstPaintOption);

    ParsedOptions result;
    const bool understood = parser.parse(args);
    result.helpText = parser.helpText();
    // Name the program as it was called, with or without an application object.
    if (!args.isEmpty()) {
        const qsizetype lineEnd = result.helpText.indexOf(QLatin1Char('\n'));
        result.helpText.replace(
            0, lineEnd,
            QStringLiteral("Usage: %1 [options]").arg(QFileInfo(args.first()).fileName()));
    }
    if (!understood) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error =
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }
    result.showHelp = parser.isSet(helpOption);
    result.showVersion = parser.isSet(versionOption);
    result.options.loopbackOnly = parser.isSet(loopbackOption);
    result.options.extraSerialPorts = parser.values(serialOption);
    result.options.screenshotPath = parser.value(screenshotOption);
    result.options.quitAfterFirstPaint = parser.isSet(firstPaintOption);
    if (parser.isSet(screenshotOption) && result.options.screenshotPath.isEmpty())
        result.error = QStringLiteral("--screenshot needs a file name");
    if (parser.isSet(screenshotDelayOption)) {
        bool ok = false;
        const int delayMs = parser.value(screenshotDelayOption).toInt(&ok);
        if (!ok || delayMs < 0 || delayMs > MaxScreenshotDelayMs)
            result.error = QStringLiteral("--screenshot-delay takes 0 to %1 milliseconds")
                               .arg(MaxScreenshotDelayMs);
        else
            result.options.screenshotDelayMs = delayMs;
    }
    return result;
}

} // namespace tq50r::app
