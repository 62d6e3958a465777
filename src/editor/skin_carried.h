// The pictures of the skin lists as the build painted them, with the probe painted beside them
// (tools/skin-bake writes the source that defines carriedSkinPicture and carriedSkinProbe).
#pragma once

#include "editor/skin.h"

#include <QImage>
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
const CarriedPicture& carriedSkinProbe();

// The carried picture as an image over the carried pixels.
QImage carriedImage(const CarriedPicture& picture);
// Whether `probe` (paintSkinProbe() here) is the carried probe, pixel for pixel: then the carried
// pictures are what this desktop would paint.
bool carriedSkinFits(const QImage& probe);

} // namespace tq50r::editor
