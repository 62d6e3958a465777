// Renders a window to a PNG file (documentation and visual checks).
#pragma once

#include <QString>

class QWidget;

namespace tq50r::app {

// Renders the widget with its menu bar (no window frame) to `path`; false on failure,
// with the reason on stderr.
bool saveScreenshot(QWidget& window, const QString& path);

} // namespace tq50r::app
