// Command-line options of the tq50r program.
#pragma once

#include "devices/discovery.h"
#include "devices/serial_scan.h"

#include <QString>
#include <QStringList>

namespace tq50r::app {

// How long after start-up the screenshot is taken, unless the command line says otherwise.
inline constexpr int DefaultScreenshotDelayMs = 300;
inline constexpr int MaxScreenshotDelayMs = 60000;

struct AppOptions {
    // Keep every discovery datagram inside 127.0.0.0/8.
    bool loopbackOnly = false;
    // Serial ports to scan besides those the system lists (simulator pseudo-terminals).
    QStringList extraSerialPorts;
    // Render the window after start-up to this PNG file, then quit.
    QString screenshotPath;
    int screenshotDelayMs = DefaultScreenshotDelayMs;
    // Developers: quit as soon as the window has been painted once (start-up measurements).
    bool quitAfterFirstPaint = false;
    // Not on the command line: tests move the discovery ports and choose the serial ports.
    devices::DiscoveryOptions discovery;
    devices::SerialScan::PortLister serialPortLister;
};

struct ParsedOptions {
    AppOptions options;
    bool showHelp = false;
    bool showVersion = false;
    QString helpText;
    QString error; // empty when the command line was understood
};

// args includes the program name as its first element, like QCoreApplication::arguments().
ParsedOptions parseAppOptions(const QStringList& args);

} // namespace tq50r::app
