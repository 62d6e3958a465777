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

} // namespace tq50r::editor
