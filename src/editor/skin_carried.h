// The pictures of the skin lists as the build painted them (tools/skin-bake writes the source
// that defines carriedSkinPicture).
#pragma once

#include "editor/skin.h"

#include <cstdint>

namespace tq50r::editor {

// A picture of 32-bit pixels, row after row without gaps.
struct CarriedPicture {
    int width;
    int height;
    int format; // a QImage::Format of 32 bits per pixel
    const std::uint32_t* pixels;
};

// Picture `index` of `list`, or nullptr for an index outside the list.
const CarriedPicture* carriedSkinPicture(ImageList list, int index);

} // namespace tq50r::editor
