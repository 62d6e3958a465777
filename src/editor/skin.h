// The window's skin: every button, type and band picture, the panel
// backgrounds and the fader's thumb and channel, painted in code, plus the
// colours of the dark theme the whole window uses. The pictures of the lists
// are painted by the build and carried in the program (skin_paint.h).
#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace tq50r::editor {

// The picture lists of the window. Picture indices:
//   TypeImageList  0 "High Shelf", 1 "Peak", 2 "Low Shelf"
//   EQImageList    0..4 band 1..5 on, 5..9 band 1..5 off
//   ADImageList    0 trim + released, 1 trim + pressed,
//                  2 trim - released, 3 trim - pressed
//   BPImageList    0 passing, 1 passing, 2 bypassed, 3 bypassed
//                  (0 and 2 shown after a full setting, 1 and 3 after a bypass change)
//   RstImageList   0 released, 1 pressed
//   ConnFlagList   0 connected, 1 not connected
enum class ImageList {
    TypeImageList,
    EQImageList,
    ADImageList,
    BPImageList,
    RstImageList,
    ConnFlagList
};

inline constexpr ImageList AllImageLists[] = {ImageList::TypeImageList, ImageList::EQImageList,
                                              ImageList::ADImageList,   ImageList::BPImageList,
                                              ImageList::RstImageList,  ImageList::ConnFlagList};

// Named picture indices.
inline constexpr int EqOnFirstIndex = 0;  // band n on: n - 1
inline constexpr int EqOffFirstIndex = 5; // band n off: n + 4
inline constexpr int TrimAddReleased = 0;
inline constexpr int TrimAddPressed = 1;
inline constexpr int TrimDecReleased = 2;
inline constexpr int TrimDecPressed = 3;
inline constexpr int BypassPassingSetting = 0;
inline constexpr int BypassPassingChange = 1;
inline constexpr int BypassOnSetting = 2;
inline constexpr int BypassOnChange = 3;
inline constexpr int ResetReleased = 0;
inline constexpr int ResetPressed = 1;
inline constexpr int LinkConnected = 0;
inline constexpr int LinkNotConnected = 1;

int skinPictureCount(ImageList list);
QSize skinPictureSize(ImageList list);
// The carried picture; a null pixmap for an index outside the list.
QPixmap skinPicture(ImageList list, int index);
const char* imageListName(ImageList list);

// Fader pictures (thumb 15 x 9, channel 15 x 167) and the spin button arrows.
QPixmap faderThumbPicture();
QPixmap faderChannelPicture();
QPixmap spinUpGlyph();
QPixmap spinDownGlyph();

// Backgrounds: the bar above the plot and the grey panels.
QPixmap topBarBackground(QSize size);
QPixmap panelBackground(QSize size);

// The dark theme.
namespace theme {
inline constexpr QRgb WindowRgb = 0xff000000;      // window and device box: black
inline constexpr QRgb PanelRgb = 0xff282828;       // panels and scale strips (40, 40, 40)
inline constexpr QRgb PanelEdgeRgb = 0xff3c3c3c;   // panel border, light side
inline constexpr QRgb PanelShadowRgb = 0xff141414; // panel border, dark side
inline constexpr QRgb ButtonRgb = 0xff343434;      // button face
inline constexpr QRgb ButtonPressedRgb = 0xff1e1e1e;
inline constexpr QRgb ButtonEdgeRgb = 0xff555555;
inline constexpr QRgb TextRgb = 0xffd8d8d8;    // light grey text
inline constexpr QRgb DimTextRgb = 0xff808080; // text of switched-off things
inline constexpr QRgb CaptionRgb = 0xffffffff; // row captions, scale labels
inline constexpr QRgb AccentRgb = 0xff2fc9c0;  // "on"
inline constexpr QRgb BypassRgb = 0xffffa020;  // bypass engaged (amber)
inline constexpr QRgb AlertRgb = 0xffe53935;   // red: link down, warnings
inline constexpr QRgb ValueRgb = 0xffffff00;   // hover line value (yellow)
inline constexpr QRgb EditRgb = 0xff101010;    // edit box background

inline QColor color(QRgb rgb) {
    return QColor::fromRgba(rgb);
}
// A palette for the whole window built from the colours above.
QPalette darkPalette();
// Style sheet rules that give menus the dark look: the menu bar's menus, the window's own and the
// context menus of its controls and dialogs. They reach a menu through the style sheet of the
// menu or of a widget it belongs to.
QString menuStyleSheet();
} // namespace theme

} // namespace tq50r::editor
