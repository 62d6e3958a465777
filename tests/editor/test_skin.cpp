#include "editor/skin.h"
#include "editor/skin_carried.h"
#include "editor/skin_paint.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace tq50r::editor;

namespace {

bool allOpaque(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 255) {
                return false;
            }
        }
    }
    return true;
}

// Relative luminance contrast of two colours (1 .. 21).
double contrast(QRgb a, QRgb b) {
    auto luminance = [](QRgb c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The face colour of a button picture (its most common colour) and its text ink (the pixel that
// stands out most from the face), measured on the rendered picture.
struct TextOnFace {
    QRgb face = 0;
    double contrast = 1.0; // of the ink against the face
    int inkRows = 0;       // rows holding text ink (contrast 3 or more)
};

TextOnFace measure(const QPixmap& picture) {
    const QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    // The outer two rows and columns are the button's edge, not its face.
    const QRect inner = image.rect().adjusted(2, 2, -2, -2);
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x) {
            ++counts[image.pixel(x, y)];
        }
    }
    TextOnFace m;
    m.face = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                 return a.second < b.second;
             })->first;
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        bool ink = false;
        for (int x = inner.left(); x <= inner.right(); ++x) {
            const double c = contrast(image.pixel(x, y), m.face);
            m.contrast = std::max(m.contrast, c);
            ink = ink || c >= 3.0;
        }
        m.inkRows += ink ? 1 : 0;
    }
    return m;
}

} // namespace

// Text on the buttons meets the WCAG AA contrast of 4.5 : 1, and the type names are drawn at least
// 8 pixels tall, measured on what is painted.
TEST(Skin, ButtonTextIsLegibleAtItsSize) {
    for (const int i : {BypassPassingSetting, BypassPassingChange, BypassOnSetting}) {
        EXPECT_GE(measure(skinPicture(ImageList::BPImageList, i)).contrast, 4.5) << "bypass " << i;
    }
    for (int i = 0; i < skinPictureCount(ImageList::TypeImageList); ++i) {
        const TextOnFace m = measure(skinPicture(ImageList::TypeImageList, i));
        EXPECT_GE(m.contrast, 4.5) << "type " << i;
        EXPECT_GE(m.inkRows, 8) << "type " << i;
    }
}

// Pictures that stand for different states must be told apart; the two passing and the two
// bypassed pictures mean the same to the user.
TEST(Skin, ListsHaveTheirSizesCountsAndDistinctStates) {
    struct Case {
        ImageList list;
        QSize size;
        int count;
        std::vector<int> distinct;
    };
    const Case cases[] = {
        {ImageList::TypeImageList, QSize(41, 17), 3, {0, 1, 2}},
        {ImageList::EQImageList, QSize(36, 20), 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {ImageList::ADImageList, QSize(17, 17), 4, {0, 1, 2, 3}},
        {ImageList::BPImageList, QSize(43, 20), 4, {0, 2}},
        {ImageList::RstImageList, QSize(41, 17), 2, {0, 1}},
        {ImageList::ConnFlagList, QSize(33, 17), 2, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(imageListName(c.list));
        EXPECT_EQ(skinPictureSize(c.list), c.size);
        ASSERT_EQ(skinPictureCount(c.list), c.count);
        for (int i = 0; i < c.count; ++i) {
            const QPixmap picture = skinPicture(c.list, i);
            ASSERT_FALSE(picture.isNull()) << i;
            EXPECT_EQ(picture.size(), c.size) << i;
            EXPECT_TRUE(allOpaque(picture.toImage())) << i;
        }
        EXPECT_TRUE(skinPicture(c.list, -1).isNull());
        EXPECT_TRUE(skinPicture(c.list, c.count).isNull());
        std::set<QByteArray> seen;
        for (const int i : c.distinct) {
            const QImage image =
                skinPicture(c.list, i).toImage().convertToFormat(QImage::Format_RGB32);
            const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()),
                                   static_cast<qsizetype>(image.sizeInBytes()));
            EXPECT_TRUE(seen.insert(bytes).second) << "picture " << i << " repeats another";
        }
    }
}

// The build carries the list pictures; each must be the picture the painting code gives here,
// pixel for pixel, with the same transparency.
TEST(Skin, CarriedPicturesAreThePaintedOnes) {
    int compared = 0;
    for (const ImageList list : AllImageLists) {
        SCOPED_TRACE(imageListName(list));
        for (int i = -1; i <= skinPictureCount(list); ++i) {
            const CarriedPicture* carried = carriedSkinPicture(list, i);
            const QPixmap painted = paintSkinPicture(list, i);
            ASSERT_EQ(carried == nullptr, painted.isNull()) << i;
            if (carried == nullptr) {
                continue;
            }
            const QImage a = carriedImage(*carried).convertToFormat(QImage::Format_ARGB32);
            const QImage b = painted.toImage().convertToFormat(QImage::Format_ARGB32);
            EXPECT_EQ(carriedImage(*carried).hasAlphaChannel(), painted.hasAlphaChannel()) << i;
            ASSERT_EQ(a.size(), b.size()) << i;
            int differing = 0;
            for (int y = 0; y < a.height(); ++y) {
                for (int x = 0; x < a.width(); ++x) {
                    differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
                }
            }
            EXPECT_EQ(differing, 0) << "picture " << i << " differs from its painting";
            ++compared;
        }
    }
    EXPECT_EQ(compared, 3 + 10 + 4 + 4 + 2 + 2);
}

// The window shows the carried pictures where it paints the probe as the build did, and paints
// the pictures itself where anything of the probe differs.
TEST(Skin, TheCarriedPicturesShowWhereTheProbeIsPaintedAsAtBuildTime) {
    const QImage probe = paintSkinProbe();
    ASSERT_FALSE(probe.isNull());
    EXPECT_TRUE(carriedSkinFits(probe));
    QImage changed = probe.convertToFormat(QImage::Format_RGB32);
    changed.setPixel(changed.width() / 2, changed.height() / 2, qRgb(1, 2, 3));
    EXPECT_FALSE(carriedSkinFits(changed));
    EXPECT_FALSE(carriedSkinFits(probe.copy(0, 0, probe.width() - 1, probe.height())));
    EXPECT_FALSE(carriedSkinFits(QImage()));
    // A desktop with 16-bit pixels paints other pictures.
    EXPECT_FALSE(carriedSkinFits(probe.convertToFormat(QImage::Format_RGB16)));
    // Here they are shown: the window's pictures are the carried ones.
    const QImage shown = skinPicture(ImageList::RstImageList, ResetReleased).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              carriedImage(*carriedSkinPicture(ImageList::RstImageList, ResetReleased))
                  .convertToFormat(QImage::Format_ARGB32));
}

TEST(Skin, FaderAndSpinPictures) {
    EXPECT_EQ(faderThumbPicture().size(), QSize(15, 9));
    EXPECT_EQ(faderChannelPicture().size(), QSize(15, 167));
    EXPECT_TRUE(allOpaque(faderThumbPicture().toImage()));
    EXPECT_TRUE(allOpaque(faderChannelPicture().toImage()));
    const QImage up = spinUpGlyph().toImage();
    const QImage down = spinDownGlyph().toImage();
    ASSERT_EQ(up.size(), down.size());
    // The arrows are mirror images of each other.
    EXPECT_EQ(up.mirrored(false, true), down);
}

TEST(Skin, Backgrounds) {
    EXPECT_TRUE(topBarBackground(QSize()).isNull());
    EXPECT_TRUE(panelBackground(QSize(0, 10)).isNull());
    EXPECT_EQ(topBarBackground(QSize(849, 33)).size(), QSize(849, 33));
    EXPECT_EQ(panelBackground(QSize(505, 353)).size(), QSize(505, 353));
}

TEST(Skin, ThemeTextStaysLegible) {
    using namespace theme;
    const QPalette p = darkPalette();
    struct Pair {
        QPalette::ColorRole text;
        QPalette::ColorRole background;
    };
    for (const Pair pair :
         {Pair{QPalette::WindowText, QPalette::Window}, Pair{QPalette::Text, QPalette::Base},
          Pair{QPalette::ButtonText, QPalette::Button}}) {
        EXPECT_GE(contrast(p.color(pair.text).rgb(), p.color(pair.background).rgb()), 7.0)
            << pair.text;
    }
    EXPECT_GE(contrast(CaptionRgb, PanelRgb), 7.0);
    EXPECT_GE(contrast(AccentRgb, PanelRgb), 4.5);
    EXPECT_GE(contrast(BypassRgb, PanelRgb), 4.5);
    EXPECT_GE(contrast(WindowRgb, BypassRgb), 4.5); // text on the lit bypass button
}
