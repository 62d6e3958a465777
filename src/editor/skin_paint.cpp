#include "editor/skin_paint.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <algorithm>
#include <array>

namespace tq50r::editor {

namespace {

// Picture sizes and counts of each list.
struct ListShape {
    QSize size;
    int count;
};

constexpr int TypeCount = 3;
constexpr int BandCount = 5;
constexpr int EqCount = 2 * BandCount;
constexpr int TrimCount = 4;
constexpr int BypassCount = 4;
constexpr int ResetCount = 2;
constexpr int LinkCount = 2;

ListShape shapeOf(ImageList list) {
    switch (list) {
    case ImageList::TypeImageList:
        return {QSize(41, 17), TypeCount};
    case ImageList::EQImageList:
        return {QSize(36, 20), EqCount};
    case ImageList::ADImageList:
        return {QSize(17, 17), TrimCount};
    case ImageList::BPImageList:
        return {QSize(43, 20), BypassCount};
    case ImageList::RstImageList:
        return {QSize(41, 17), ResetCount};
    case ImageList::ConnFlagList:
        return {QSize(33, 17), LinkCount};
    }
    return {QSize(), 0};
}

// The type buttons are too narrow for the whole type name at a readable size: each shows the shape
// of its filter and the word that tells it apart, while the hover line names the type in full.
constexpr std::array<const char*, TypeCount> TypeWords = {"High", "Peak", "Low"};
constexpr int TypeWordPx = 10;
constexpr double TypeIconWidthPx = 11.0;
constexpr double TypeIconHeightPx = 7.0;
constexpr double TypeIconLeftPx = 3.0;
constexpr double TypeIconGapPx = 2.0;

// Text sizes in pixels.
constexpr int ButtonTextPx = 9;
constexpr int NumberTextPx = 11;
constexpr int MinStretchPercent = 60; // narrowest a text is squeezed to fit
constexpr int StretchStepPercent = 2;

constexpr double CornerRadiusPx = 2.5;
constexpr int ProbeWidthPx = 60;
constexpr int ProbeHeightPx = 16;
constexpr int LedDiameterPx = 6;

QFont skinFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QPixmap blank(QSize size, QRgb fill = theme::PanelRgb) {
    QPixmap pixmap(size);
    pixmap.fill(theme::color(fill));
    return pixmap;
}

void setupPainter(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
}

// A rounded button face; pressed faces are darker and lit from below.
void drawFace(QPainter& painter, QRectF area, bool pressed, QRgb border = theme::ButtonEdgeRgb,
              QRgb fill = 0) {
    const QRectF r = area.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    if (fill != 0) {
        const QColor base = theme::color(fill);
        gradient.setColorAt(0.0, pressed ? base.darker(130) : base.lighter(115));
        gradient.setColorAt(1.0, pressed ? base.darker(110) : base.darker(115));
    } else if (pressed) {
        gradient.setColorAt(0.0, theme::color(theme::ButtonPressedRgb).darker(120));
        gradient.setColorAt(1.0, theme::color(theme::ButtonPressedRgb));
    } else {
        gradient.setColorAt(0.0, theme::color(theme::ButtonRgb).lighter(125));
        gradient.setColorAt(1.0, theme::color(theme::ButtonRgb).darker(110));
    }
    painter.setPen(QPen(theme::color(pressed ? theme::PanelShadowRgb : border), 1.0));
    painter.setBrush(gradient);
    painter.drawRoundedRect(r, CornerRadiusPx, CornerRadiusPx);
}

// The narrowing (font stretch, 100 down to MinStretchPercent in steps) at which a text fits a
// width: the widest that fits, or the narrowest when none does. A text grows with the stretch, so
// the search starts at the stretch that its full width suggests and walks to the boundary from
// there; each stretch tried loads a font of its own, which costs far more than the arithmetic.
int fittingStretch(QFont font, const QString& text, double widthPx) {
    const auto fits = [&](int stretch) {
        font.setStretch(stretch);
        return QFontMetricsF(font).horizontalAdvance(text) <= widthPx;
    };
    if (fits(QFont::Unstretched)) {
        return QFont::Unstretched;
    }
    font.setStretch(QFont::Unstretched);
    const double fullPx = QFontMetricsF(font).horizontalAdvance(text);
    const int guess = static_cast<int>(static_cast<int>(QFont::Unstretched) * widthPx / fullPx);
    int stretch = std::clamp(guess - guess % StretchStepPercent, MinStretchPercent,
                             QFont::Unstretched - StretchStepPercent);
    if (fits(stretch)) {
        while (stretch + StretchStepPercent < QFont::Unstretched &&
               fits(stretch + StretchStepPercent)) {
            stretch += StretchStepPercent;
        }
        return stretch;
    }
    while (stretch > MinStretchPercent && !fits(stretch)) {
        stretch -= StretchStepPercent;
    }
    return stretch;
}

// Draws text centred in a rectangle, squeezing it horizontally when it is
// wider than the rectangle.
void drawFittedText(QPainter& painter, const QRectF& area, const QString& text, QFont font,
                    QRgb colour) {
    font.setStretch(fittingStretch(font, text, area.width()));
    painter.setFont(font);
    painter.setPen(theme::color(colour));
    painter.drawText(area, Qt::AlignCenter, text);
}

void drawLed(QPainter& painter, QPointF centre, QRgb colour, bool lit) {
    const double radius = LedDiameterPx / 2.0;
    if (lit) {
        QColor glow = theme::color(colour);
        glow.setAlpha(70);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius + 1.5, radius + 1.5);
        painter.setBrush(theme::color(colour));
    } else {
        painter.setBrush(theme::color(colour).darker(300));
    }
    painter.setPen(QPen(theme::color(theme::PanelShadowRgb), 0.8));
    painter.drawEllipse(centre, radius, radius);
}

// The response shape of a filter type in a small box: a raised top end, a bump or a raised low end.
QPainterPath typeIcon(int index, const QRectF& box) {
    const double low = box.bottom();
    const double high = box.top();
    const double mid = (low + high) / 2.0;
    QPainterPath path;
    switch (index) {
    case 0: // HighShelf
        path.moveTo(box.left(), low);
        path.lineTo(box.left() + box.width() * 0.35, low);
        path.cubicTo(box.center().x(), low, box.center().x(), high, box.right() - 2.0, high);
        path.lineTo(box.right(), high);
        break;
    case 2: // LowShelf
        path.moveTo(box.left(), high);
        path.lineTo(box.left() + 2.0, high);
        path.cubicTo(box.center().x(), high, box.center().x(), low,
                     box.right() - box.width() * 0.35, low);
        path.lineTo(box.right(), low);
        break;
    default: // Peak
        path.moveTo(box.left(), mid + 1.5);
        path.cubicTo(box.center().x() - 1.0, mid + 1.5, box.center().x() - 1.5, high,
                     box.center().x(), high);
        path.cubicTo(box.center().x() + 1.5, high, box.center().x() + 1.0, mid + 1.5, box.right(),
                     mid + 1.5);
        break;
    }
    return path;
}

QPixmap typePicture(QSize size, int index) {
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    setupPainter(painter);
    drawFace(painter, QRectF(QPointF(0, 0), size), false);
    const QRectF icon(TypeIconLeftPx, (size.height() - TypeIconHeightPx) / 2.0, TypeIconWidthPx,
                      TypeIconHeightPx);
    painter.setPen(QPen(theme::color(theme::AccentRgb), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(typeIcon(index, icon));
    const double textLeft = icon.right() + TypeIconGapPx;
    drawFittedText(painter, QRectF(textLeft, 0, size.width() - textLeft - 1, size.height()),
                   QString::fromLatin1(TypeWords[static_cast<std::size_t>(index)]),
                   skinFont(TypeWordPx, true), theme::TextRgb);
    return pixmap;
}

QPixmap bandPicture(QSize size, int index) {
    const bool on = index < EqOffFirstIndex;
    const int band = (on ? index - EqOnFirstIndex : index - EqOffFirstIndex) + 1;
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    setupPainter(painter);
    drawFace(painter, QRectF(QPointF(0, 0), size), !on,
             on ? theme::AccentRgb : theme::ButtonEdgeRgb);
    const double ledX = 9.0;
    drawLed(painter, QPointF(ledX, size.height() / 2.0), theme::AccentRgb, on);
    const QRectF textArea(ledX + LedDiameterPx / 2.0 + 2, 0, size.width() - ledX - 6,
                          size.height());
    drawFittedText(painter, textArea, QString::number(band), skinFont(NumberTextPx, true),
                   on ? theme::TextRgb : theme::DimTextRgb);
    return pixmap;
}

QPixmap trimPicture(QSize size, int index) {
    const bool plus = index == TrimAddReleased || index == TrimAddPressed;
    const bool pressed = index == TrimAddPressed || index == TrimDecPressed;
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    setupPainter(painter);
    drawFace(painter, QRectF(QPointF(0, 0), size), pressed);
    // A crisp sign made of whole-pixel strokes.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int shift = pressed ? 1 : 0;
    const int cx = size.width() / 2 + shift;
    const int cy = size.height() / 2 + shift;
    const int arm = 4;
    const QColor ink = theme::color(pressed ? theme::AccentRgb : theme::TextRgb);
    painter.fillRect(cx - arm, cy - 1, 2 * arm + 1, 2, ink);
    if (plus) {
        painter.fillRect(cx - 1, cy - arm, 2, 2 * arm + 1, ink);
    }
    return pixmap;
}

QPixmap bypassPicture(QSize size, int index) {
    const bool bypassed = index == BypassOnSetting || index == BypassOnChange;
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    setupPainter(painter);
    if (bypassed) {
        drawFace(painter, QRectF(QPointF(0, 0), size), false, theme::BypassRgb, theme::BypassRgb);
    } else {
        drawFace(painter, QRectF(QPointF(0, 0), size), false);
    }
    drawFittedText(painter, QRectF(2, 0, size.width() - 4, size.height()), QStringLiteral("BYPASS"),
                   skinFont(ButtonTextPx, true), bypassed ? theme::WindowRgb : theme::TextRgb);
    return pixmap;
}

QPixmap resetPicture(QSize size, int index) {
    const bool pressed = index == ResetPressed;
    QPixmap pixmap = blank(size, theme::PanelShadowRgb);
    QPainter painter(&pixmap);
    setupPainter(painter);
    drawFace(painter, QRectF(QPointF(0, 0), size), pressed);
    QRectF area(2, 0, size.width() - 4, size.height());
    if (pressed) {
        area.translate(1, 1);
    }
    drawFittedText(painter, area, QStringLiteral("RESET"), skinFont(ButtonTextPx, true),
                   pressed ? theme::AccentRgb : theme::TextRgb);
    return pixmap;
}

QPixmap linkPicture(QSize size, int index) {
    const bool connected = index == LinkConnected;
    QPixmap pixmap = blank(size, theme::PanelShadowRgb);
    QPainter painter(&pixmap);
    setupPainter(painter);
    painter.setPen(QPen(theme::color(connected ? theme::AccentRgb : theme::ButtonEdgeRgb), 1.0));
    painter.setBrush(theme::color(theme::PanelShadowRgb));
    painter.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), CornerRadiusPx,
                            CornerRadiusPx);
    const double ledX = 6.5;
    drawLed(painter, QPointF(ledX, size.height() / 2.0),
            connected ? theme::AccentRgb : theme::AlertRgb, true);
    const QRectF textArea(ledX + LedDiameterPx / 2.0 + 1, 0, size.width() - ledX - 5,
                          size.height());
    drawFittedText(painter, textArea, QStringLiteral("LINK"), skinFont(ButtonTextPx - 1, true),
                   connected ? theme::TextRgb : theme::DimTextRgb);
    return pixmap;
}

constexpr int SpinGlyphWidthPx = 7;
constexpr int SpinGlyphHeightPx = 4;

QPixmap spinGlyph(bool up) {
    QPixmap pixmap(SpinGlyphWidthPx, SpinGlyphHeightPx);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    const QColor ink = theme::color(theme::TextRgb);
    // Rows of a solid triangle, widest at the base.
    for (int row = 0; row < SpinGlyphHeightPx; ++row) {
        const int half = up ? row : SpinGlyphHeightPx - 1 - row;
        painter.fillRect(SpinGlyphWidthPx / 2 - half, row, 2 * half + 1, 1, ink);
    }
    return pixmap;
}

} // namespace

int skinPictureCount(ImageList list) {
    return shapeOf(list).count;
}

QSize skinPictureSize(ImageList list) {
    return shapeOf(list).size;
}

const char* imageListName(ImageList list) {
    switch (list) {
    case ImageList::TypeImageList:
        return "TypeImageList";
    case ImageList::EQImageList:
        return "EQImageList";
    case ImageList::ADImageList:
        return "ADImageList";
    case ImageList::BPImageList:
        return "BPImageList";
    case ImageList::RstImageList:
        return "RstImageList";
    case ImageList::ConnFlagList:
        return "ConnFlagList";
    }
    return "";
}

namespace {

QPixmap paintPicture(ImageList list, QSize size, int index) {
    switch (list) {
    case ImageList::TypeImageList:
        return typePicture(size, index);
    case ImageList::EQImageList:
        return bandPicture(size, index);
    case ImageList::ADImageList:
        return trimPicture(size, index);
    case ImageList::BPImageList:
        return bypassPicture(size, index);
    case ImageList::RstImageList:
        return resetPicture(size, index);
    case ImageList::ConnFlagList:
        return linkPicture(size, index);
    }
    return {};
}

} // namespace

QImage paintSkinProbe() {
    // The captions' font (eq_editor.cpp): bold DejaVu Sans of 11 pixels, antialiased.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    QPixmap pixmap = blank(QSize(ProbeWidthPx, ProbeHeightPx));
    {
        QPainter painter(&pixmap);
        setupPainter(painter);
        painter.setFont(font);
        painter.setPen(theme::color(theme::TextRgb));
        painter.drawText(QRectF(0, 0, ProbeWidthPx, ProbeHeightPx), Qt::AlignCenter,
                         QStringLiteral("RESET 8"));
    }
    return pixmap.toImage();
}

QImage thirtyTwoBit(QImage image) {
    if (image.isNull() || image.depth() == 32) {
        return image;
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QPixmap paintSkinPicture(ImageList list, int index) {
    const ListShape shape = shapeOf(list);
    if (index < 0 || index >= shape.count) {
        return {};
    }
    return paintPicture(list, shape.size, index);
}

QPixmap faderThumbPicture() {
    constexpr int w = 15;
    constexpr int h = 9;
    QPixmap pixmap = blank(QSize(w, h));
    QPainter painter(&pixmap);
    setupPainter(painter);
    QLinearGradient gradient(0, 0, 0, h);
    gradient.setColorAt(0.0, QColor(0xe6, 0xe6, 0xe6));
    gradient.setColorAt(0.45, QColor(0xb4, 0xb4, 0xb4));
    gradient.setColorAt(0.55, QColor(0x9a, 0x9a, 0x9a));
    gradient.setColorAt(1.0, QColor(0x70, 0x70, 0x70));
    painter.setPen(QPen(theme::color(theme::PanelShadowRgb), 1.0));
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 1.5, 1.5);
    // The index line across the middle of the cap.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(2, h / 2, w - 4, 1, theme::color(theme::WindowRgb));
    return pixmap;
}

QPixmap faderChannelPicture() {
    constexpr int w = 15;
    constexpr int h = 167;
    constexpr int slotWidth = 3;
    constexpr int slotMarginPx = 2;
    QPixmap pixmap = blank(QSize(w, h));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int x = (w - slotWidth) / 2;
    const QRect slot(x, slotMarginPx, slotWidth, h - 2 * slotMarginPx);
    painter.fillRect(slot, theme::color(theme::WindowRgb));
    // A faint bevel: dark above-left, light below-right.
    painter.setPen(theme::color(theme::PanelShadowRgb));
    painter.drawLine(slot.left() - 1, slot.top() - 1, slot.right() + 1, slot.top() - 1);
    painter.drawLine(slot.left() - 1, slot.top(), slot.left() - 1, slot.bottom());
    painter.setPen(theme::color(theme::PanelEdgeRgb));
    painter.drawLine(slot.right() + 1, slot.top(), slot.right() + 1, slot.bottom() + 1);
    painter.drawLine(slot.left() - 1, slot.bottom() + 1, slot.right() + 1, slot.bottom() + 1);
    return pixmap;
}

namespace {

// Every spin button draws the arrows at every paint: each is painted once.
QPixmap cachedSpinGlyph(bool up) {
    const QString key = up ? QStringLiteral("tq50r-spin-up") : QStringLiteral("tq50r-spin-down");
    QPixmap glyph;
    if (!QPixmapCache::find(key, &glyph)) {
        glyph = spinGlyph(up);
        QPixmapCache::insert(key, glyph);
    }
    return glyph;
}

} // namespace

QPixmap spinUpGlyph() {
    return cachedSpinGlyph(true);
}

QPixmap spinDownGlyph() {
    return cachedSpinGlyph(false);
}

QPixmap topBarBackground(QSize size) {
    if (size.isEmpty()) {
        return {};
    }
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0.0, theme::color(theme::PanelEdgeRgb));
    gradient.setColorAt(1.0, theme::color(theme::PanelShadowRgb));
    painter.fillRect(pixmap.rect(), gradient);
    painter.setPen(theme::color(theme::ButtonEdgeRgb));
    painter.drawLine(0, 0, size.width() - 1, 0);
    painter.setPen(theme::color(theme::WindowRgb));
    painter.drawLine(0, size.height() - 1, size.width() - 1, size.height() - 1);
    return pixmap;
}

QPixmap panelBackground(QSize size) {
    if (size.isEmpty()) {
        return {};
    }
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    painter.setPen(theme::color(theme::PanelEdgeRgb));
    painter.drawLine(0, 0, size.width() - 1, 0);
    painter.drawLine(0, 0, 0, size.height() - 1);
    painter.setPen(theme::color(theme::PanelShadowRgb));
    painter.drawLine(size.width() - 1, 0, size.width() - 1, size.height() - 1);
    painter.drawLine(0, size.height() - 1, size.width() - 1, size.height() - 1);
    return pixmap;
}

namespace theme {

QString menuStyleSheet() {
    const auto hex = [](QRgb rgb) { return color(rgb).name(); };
    return QStringLiteral("QMenu { background: %1; color: %2; border: 1px solid %3; }"
                          "QMenu::item { padding: 4px 24px 4px 16px; }"
                          "QMenu::item:selected { background: %4; color: %5; }"
                          "QMenu::separator { height: 1px; background: %3; margin: 3px 6px; }")
        .arg(hex(PanelRgb), hex(TextRgb), hex(PanelEdgeRgb), hex(ButtonRgb), hex(CaptionRgb));
}

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, color(WindowRgb));
    p.setColor(QPalette::WindowText, color(TextRgb));
    p.setColor(QPalette::Base, color(EditRgb));
    p.setColor(QPalette::AlternateBase, color(PanelRgb));
    p.setColor(QPalette::Text, color(TextRgb));
    p.setColor(QPalette::Button, color(ButtonRgb));
    p.setColor(QPalette::ButtonText, color(TextRgb));
    p.setColor(QPalette::BrightText, color(CaptionRgb));
    p.setColor(QPalette::Light, color(ButtonEdgeRgb));
    p.setColor(QPalette::Midlight, color(PanelEdgeRgb));
    p.setColor(QPalette::Mid, color(ButtonRgb));
    p.setColor(QPalette::Dark, color(PanelShadowRgb));
    p.setColor(QPalette::Shadow, color(WindowRgb));
    p.setColor(QPalette::Highlight, color(AccentRgb));
    p.setColor(QPalette::HighlightedText, color(WindowRgb));
    p.setColor(QPalette::ToolTipBase, color(PanelRgb));
    p.setColor(QPalette::ToolTipText, color(TextRgb));
    p.setColor(QPalette::PlaceholderText, color(DimTextRgb));
    p.setColor(QPalette::Link, color(AccentRgb));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, color(DimTextRgb));
    }
    return p;
}

} // namespace theme

} // namespace tq50r::editor
