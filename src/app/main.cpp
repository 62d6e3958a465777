// The tq50r program: the main window over the dark theme.
#include "app/about_box.h"
#include "app/app_info.h"
#include "app/app_options.h"
#include "app/app_style.h"
#include "app/application.h"
#include "app/main_window.h"
#include "app/screenshot.h"
#include "editor/skin.h"
#include "platform/serial_ports.h"
#include "tq50r_version.h"
#include "widgets/first_paint.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Options first, so that --help and mistakes need no display.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const tq50r::app::ParsedOptions parsed = tq50r::app::parseAppOptions(args);
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(parsed.error), qPrintable(parsed.helpText));
        return 2;
    }
    if (parsed.showHelp) {
        std::fputs(qPrintable(parsed.helpText), stdout);
        return 0;
    }
    if (parsed.showVersion) {
        std::fputs("tq50r " TQ50R_VERSION "\n", stdout);
        return 0;
    }

    // Ports named on the command line (simulator pseudo-terminals) join the system's list.
    std::vector<std::string> extraPorts;
    for (const QString& port : parsed.options.extraSerialPorts)
        extraPorts.push_back(port.toStdString());
    tq50r::platform::registerExtraSerialPorts(extraPorts);

    tq50r::app::Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tq50r"));
    // The title lives in the window captions only: an application display name would be
    // appended to every caption by the window system ("TQ50R" would read "TQ50R - TQ50R V1.2.3").
    QApplication::setApplicationVersion(QStringLiteral(TQ50R_VERSION));
    QApplication::setStyle(tq50r::app::makeApplicationStyle());
    QApplication::setPalette(tq50r::editor::theme::darkPalette());
    QApplication::setWindowIcon(tq50r::app::applicationIcon());

    // An exception that escapes the start-up is shown like any other, and ends the program.
    std::unique_ptr<tq50r::app::TForm1> window;
    try {
        window = std::make_unique<tq50r::app::TForm1>(parsed.options);
    } catch (const std::exception& e) {
        tq50r::app::Application::showErrorBox(QString::fromLocal8Bit(e.what()));
        return 1;
    }
    tq50r::app::TForm1& form = *window;
    if (parsed.options.quitAfterFirstPaint)
        new tq50r::widgets::QuitAfterFirstPaint(&form);
    form.show();

    if (!parsed.options.screenshotPath.isEmpty()) {
        // Let the first paint and layout settle, then render and leave normally.
        int status = 0;
        QTimer::singleShot(parsed.options.screenshotDelayMs, &form, [&] {
            // The picture shows the whole layout, also where the screen is smaller (the
            // offscreen platform's screen is).
            form.fitToWorkArea(QRect(0, 0, tq50r::app::WindowWidthPx, tq50r::app::WindowHeightPx));
            QApplication::processEvents();
            status = tq50r::app::saveScreenshot(form, parsed.options.screenshotPath) ? 0 : 1;
            QApplication::quit();
        });
        const int loop = QApplication::exec();
        return status != 0 ? status : loop;
    }
    return QApplication::exec();
}
