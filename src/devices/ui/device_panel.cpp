#include "devices/ui/device_panel.h"

#include "editor/skin.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tq50r::devices::ui {

namespace {

namespace theme = editor::theme;

struct LabelPlace {
    const char* name;
    const char* text;
    QRect rect;
    bool caption;
};

// Child labels of a tile: place, size and first text.
constexpr LabelPlace NameCaption{"NameCaption", "Name:", {8, 8, 31, 13}, true};
constexpr LabelPlace AddressCaption{"AddressCaption", "IP:", {8, 32, 13, 13}, true};
constexpr LabelPlace MacCaption{"MACCaption", "MAC:", {8, 56, 28, 13}, true};
constexpr LabelPlace NameValue{"NameLabel", "Device", {43, 8, 40, 13}, false};
constexpr LabelPlace AddressValue{"IPLabel", "192.168.1.1", {43, 32, 75, 13}, false};
constexpr LabelPlace MacValue{"MACLabel", "FF:FF:FF:FF:FF:FF", {43, 56, 90, 13}, false};

constexpr int TileFontPx = 10;
constexpr int TileMarginPx = 4; // labels end this far inside the tile's right edge
constexpr int CaptionGapPx = 2; // between a caption and its value
constexpr int KindStripPx = 3;
constexpr int FocusPenPx = 2;
constexpr double FocusInsetPx = 2.0;     // coloured strip on the tile's left edge
constexpr QRgb UsbStripRgb = 0xffffa020; // amber: reached over a serial port

constexpr QRgb TileTopRgb = 0xff323232;
constexpr QRgb TileBottomRgb = 0xff242424;
constexpr QRgb TileHighlightRgb = 0xff5a5a5a;
constexpr QRgb TileShadowRgb = 0xff0c0c0c;
constexpr QRgb CrossRgb = 0xffff0000;
constexpr QRgb FrameRgb = 0xff00ff00;

// Labels grow with their text as far as the next column ("Port:" is wider than "IP:", and a MAC
// in this font is wider than its box), so no text is ever cut.
void fitWidth(QLabel* label, bool caption) {
    const int end = caption ? NameValue.rect.left() - CaptionGapPx : tile::Width - TileMarginPx;
    label->resize(std::max(label->width(), end - label->x()), label->height());
}

QLabel* makeLabel(const LabelPlace& place, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(place.text), parent);
    label->setObjectName(QString::fromLatin1(place.name));
    label->setGeometry(place.rect);
    fitWidth(label, place.caption);
    label->setProperty("role", place.caption ? "caption" : "value");
    // Presses, clicks and the menu on any label act on the tile.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

RedCrossBox::RedCrossBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RedCross"));
    setGeometry(Place);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void RedCrossBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(theme::color(CrossRgb), PenWidthPx));
    const int w = width();
    const int h = height();
    // (4, 4) to (width - 4, height - 4), the far corner outside the ellipse's box.
    p.drawEllipse(QRect(InsetPx, InsetPx, w - 2 * InsetPx - 1, h - 2 * InsetPx - 1));
    const int cx = w / 2;
    const int cy = h / 2;
    const int arm = (w - 2 * InsetPx) / 4;
    p.drawLine(cx - arm, cy - arm, cx + arm, cy + arm);
    p.drawLine(cx - arm, cy + arm, cx + arm, cy - arm);
}

DevicePaintBox::DevicePaintBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DevicePaintBox"));
    resize(tile::FrameWidth, tile::FrameHeight);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void DevicePaintBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(theme::color(FrameRgb));
    // (i, i) to (width - i, height - i), right and bottom edges exclusive: a stroked QRect
    // covers one pixel more than its right() and bottom().
    for (int i = 0; i < ThicknessPx; ++i)
        p.drawRect(QRect(QPoint(i, i), QPoint(width() - i - 2, height() - i - 2)));
}

TDevicePanel::TDevicePanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("TDevicePanel"));
    resize(tile::Width, tile::Height);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab from the UPDATE button, one tile after the other.
    setFocusPolicy(Qt::TabFocus);
    // The tile's own font, set where the window's style sheet cannot override it.
    setStyleSheet(
        QStringLiteral("QLabel { font-size: %3px; }"
                       "QLabel[role=\"caption\"] { color: %1; }"
                       "QLabel[role=\"value\"] { color: %2; }")
            .arg(theme::color(theme::DimTextRgb).name(), theme::color(theme::CaptionRgb).name())
            .arg(TileFontPx));
    makeLabel(NameCaption, this);
    addressCaption = makeLabel(AddressCaption, this);
    makeLabel(MacCaption, this);
    NameLabel = makeLabel(NameValue, this);
    IPLabel = makeLabel(AddressValue, this);
    MACLabel = makeLabel(MacValue, this);
    RedCross = new RedCrossBox(this);
    RedCross->hide();
    setAccessibleName(QStringLiteral("Device"));
}

void TDevicePanel::show(const DeviceTile& t, std::int32_t kind) {
    tag_ = t.tag;
    if (kind_ != kind) {
        kind_ = kind;
        update();
    }
    move(t.left, t.top);
    NameLabel->setText(t.nameText);
    addressCaption->setText(t.addressCaption);
    IPLabel->setText(t.addressText);
    MACLabel->setText(t.macText);
    RedCross->setVisible(t.redCross);
    setToolTip(QStringLiteral("%1\n%2 %3\nMAC %4")
                   .arg(t.nameText, t.addressCaption, t.addressText, t.macText));
    setAccessibleDescription(t.nameText + QLatin1Char(' ') + t.addressText);
    if (lowered_ != t.lowered) {
        lowered_ = t.lowered;
        update();
    }
    QWidget::show();
}

void TDevicePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    face.setColorAt(0, theme::color(lowered_ ? TileBottomRgb : TileTopRgb));
    face.setColorAt(1, theme::color(lowered_ ? TileTopRgb : TileBottomRgb));
    p.fillRect(r, face);
    // Single border with the outer bevel: light top-left when raised, dark when pressed.
    const QColor light = theme::color(lowered_ ? TileShadowRgb : TileHighlightRgb);
    const QColor dark = theme::color(lowered_ ? TileHighlightRgb : TileShadowRgb);
    p.setPen(light);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(dark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.fillRect(QRect(1, 1, KindStripPx, r.height() - 2),
               theme::color(kind_ == KindUsb ? UsbStripRgb : theme::AccentRgb));
    if (hasFocus()) {
        // The focus mark: the editor's accent frame, inside the bevel.
        p.setPen(QPen(theme::color(theme::AccentRgb), FocusPenPx));
        p.drawRect(QRectF(r).adjusted(FocusInsetPx, FocusInsetPx, -FocusInsetPx, -FocusInsetPx));
    }
}

void TDevicePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        leftDown_ = true;
    emit mouseDown(tag_, event->button());
}

void TDevicePanel::mouseReleaseEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    const bool click =
        button == Qt::LeftButton && leftDown_ && rect().contains(event->position().toPoint());
    if (button == Qt::LeftButton)
        leftDown_ = false;
    // The tile may be gone once its click was handled: take the tag first.
    const int tag = tag_;
    emit mouseUp(tag, button);
    if (click)
        emit clicked(tag);
}

void TDevicePanel::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click is two presses; the second acts like the first.
    mousePressEvent(event);
}

void TDevicePanel::contextMenuEvent(QContextMenuEvent* event) {
    emit menuRequested(tag_, event->globalPos());
}

void TDevicePanel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter) {
        QFrame::keyPressEvent(event);
        return;
    }
    // As a left click: press (the tile becomes the click's target), release, click.
    const int tag = tag_;
    emit mouseDown(tag, Qt::LeftButton);
    emit mouseUp(tag, Qt::LeftButton);
    emit clicked(tag);
}

void TDevicePanel::focusInEvent(QFocusEvent* event) {
    QFrame::focusInEvent(event);
    update();
}

void TDevicePanel::focusOutEvent(QFocusEvent* event) {
    QFrame::focusOutEvent(event);
    update();
}

} // namespace tq50r::devices::ui
