// How the pictures of the skin lists are painted. The window does not paint them: it shows the
// pictures the build painted with this code and carries in the program (skinPicture), because
// fitting their texts loads a font for every size and narrowing, which cost the start-up more than
// anything else it drew. The painting runs in the build tool that makes those pictures
// (tools/skin-bake) and in the test that holds every carried picture equal to its painting.
#pragma once

#include "editor/skin.h"

namespace tq50r::editor {

// Picture `index` of `list` painted now; a null pixmap for an index outside the list.
QPixmap paintSkinPicture(ImageList list, int index);

// A short text painted as the pictures paint theirs (light, antialiased, into a pixmap of the
// panel colour), in the font of the editor's captions, which the window loads anyway. The build
// carries it beside the pictures, and the window shows the carried pictures only where it paints
// this probe the same (skin.cpp): a desktop that renders fonts with other hinting, sub-pixel
// colours or a scale factor gets the pictures painted as before.
QImage paintSkinProbe();

// Pixels of 32 bits, as the carried pictures hold them.
QImage thirtyTwoBit(QImage image);

} // namespace tq50r::editor
