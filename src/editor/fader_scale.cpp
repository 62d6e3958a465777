#include "editor/fader_scale.h"

#include "editor/skin.h"

#include <QPainter>
#include <array>

namespace tq50r::editor {

namespace {

// Ticks from x 20 to x 28, one per three fader positions.
constexpr int TickLeftPx = 20;
constexpr int TickRightPx = 28;
constexpr std::array<int, 9> TickRowsPx = {11, 30, 50, 69, 88, 107, 127, 146, 165};

struct ScaleLabel {
    const char* text;
    int leftPx;
    int topPx;
};
constexpr std::array<ScaleLabel, 9> Labels = {{{"+12", -1, 4},
                                               {"+9", 4, 23},
                                               {"+6", 4, 43},
                                               {"+3", 4, 62},
                                               {"0", 10, 82},
                                               {"-3", 7, 101},
                                               {"-6", 7, 120},
                                               {"-9", 7, 139},
                                               {"-12", 0, 158}}};

constexpr int LabelPixelSize = 10;

} // namespace

FaderScale::FaderScale(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(DefaultWidthPx, DefaultHeightPx);
}

QSize FaderScale::sizeHint() const {
    return {DefaultWidthPx, DefaultHeightPx};
}

void FaderScale::PaintBox2Paint(QPainter& painter, QSize size) {
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), theme::color(theme::PanelRgb));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    painter.setPen(QPen(theme::color(theme::DimTextRgb), 1));
    for (const int y : TickRowsPx) {
        painter.drawLine(TickLeftPx, y, TickRightPx, y);
    }

    // The strips' font: the same size, and one font loaded for both.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(LabelPixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    painter.setFont(font);
    painter.setPen(theme::color(theme::CaptionRgb));
    const int ascent = painter.fontMetrics().ascent();
    for (const ScaleLabel& label : Labels) {
        painter.drawText(label.leftPx, label.topPx + ascent, QString::fromLatin1(label.text));
    }
    painter.restore();
}

void FaderScale::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBox2Paint(painter, size());
}

} // namespace tq50r::editor
