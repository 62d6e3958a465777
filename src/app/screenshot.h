// Renders a window to a PNG file (documentation and visual checks).
#pragma once

#include <QString>

class QWidget;

namespace tq50r::app {

// Time given to the first layout and paint before the picture is taken.
inline constexpr int ScreenshotDelayMs = 300;

// Renders the widget with its menu bar (no window frame) to `path`; false on failure,
// with the reason on stderr.
bool saveScreenshot(QWidget& window, const QString& path);

} // namespace tq50r::app
