// Fixed texts and sizes of the application shell.
#pragma once

#include "tq50r_version.h"

#include <QString>

namespace tq50r::app {

// The application title; the window caption and the About box's version text come from it.
inline const QString ApplicationTitle = QStringLiteral("TQ50R V" TQ50R_VERSION);
// Caption of the yes/no question box.
inline const QString QuestionCaption = QStringLiteral("TQ50R");
// Put between the title and the preset file name in the window caption.
inline const QString CaptionFileSeparator = QStringLiteral("    --");

inline constexpr int WindowWidthPx = 1070;
inline constexpr int WindowHeightPx = 768;

} // namespace tq50r::app
