// tq50r-skin-sheet OUT.png: renders every skin picture, a few faders with
// their dB scale and the spin button in its states into one contact sheet.
#include "editor/fader.h"
#include "editor/fader_scale.h"
#include "editor/skin.h"
#include "editor/spin_button.h"
#include "widgets/link_label.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <cstdio>
#include <cstring>

using namespace tq50r::editor;

namespace {

constexpr int SheetWidthPx = 1100;
constexpr int SheetHeightPx = 1120;
constexpr int MarginPx = 16;
constexpr int RowGapPx = 14;
constexpr int NameColumnPx = 130;
constexpr int Zoom = 3;
constexpr int CaptionHeightPx = 18;
constexpr int CellGapPx = 8;
constexpr int FaderScaleOffsetPx = 24; // fader left edge within its scale box

void caption(QPainter& painter, int x, int y, const QString& text) {
    painter.setPen(theme::color(theme::TextRgb));
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

// One row per list: the pictures at their size, then enlarged.
int drawLists(QPainter& painter, int top) {
    int y = top;
    for (const ImageList list : AllImageLists) {
        const QSize size = skinPictureSize(list);
        caption(painter, MarginPx, y, QString::fromLatin1(imageListName(list)));
        int x = NameColumnPx;
        for (int i = 0; i < skinPictureCount(list); ++i) {
            painter.drawPixmap(x, y, skinPicture(list, i));
            x += size.width() + CellGapPx / 2;
        }
        y += size.height() + CellGapPx / 2;
        x = NameColumnPx;
        for (int i = 0; i < skinPictureCount(list); ++i) {
            const QPixmap big = skinPicture(list, i).scaled(size * Zoom, Qt::IgnoreAspectRatio,
                                                            Qt::FastTransformation);
            if (x + big.width() > SheetWidthPx - MarginPx) {
                x = NameColumnPx;
                y += big.height() + CellGapPx;
            }
            painter.drawPixmap(x, y, big);
            x += big.width() + CellGapPx;
        }
        y += size.height() * Zoom + RowGapPx;
    }
    return y;
}

QPixmap faderPicture(int position, bool enabled) {
    QWidget panel;
    panel.setAutoFillBackground(true);
    QPalette p = panel.palette();
    p.setColor(QPalette::Window, theme::color(theme::PanelRgb));
    panel.setPalette(p);
    panel.resize(FaderScale::DefaultWidthPx, FaderGeometry::DefaultHeightPx);
    auto* scale = new FaderScale(&panel);
    scale->move(0, 0);
    auto* fader = new TPTrackBar(&panel);
    fader->move(FaderScaleOffsetPx, 0);
    fader->setRange(-12, 12);
    fader->setPosition(position);
    fader->SetThumbBitmap(faderThumbPicture());
    fader->SetChannelBitmap(faderChannelPicture());
    fader->setEnabled(enabled);
    return panel.grab();
}

QPixmap spinPicture(int state) {
    QWidget holder;
    holder.resize(17, 25);
    auto* spin = new TCSpinButton(&holder);
    spin->setGeometry(0, 0, 17, 25);
    holder.show();
    if (state == 1) {
        QTest::mousePress(spin, Qt::LeftButton, {}, QPoint(8, 4));
    } else if (state == 2) {
        QTest::mousePress(spin, Qt::LeftButton, {}, QPoint(8, 20));
    } else if (state == 3) {
        holder.activateWindow();
        if (QTest::qWaitForWindowActive(&holder, 1000)) {
            spin->setFocus();
        }
    } else if (state == 4) {
        spin->setEnabled(false);
    }
    return holder.grab();
}

} // namespace

int main(int argc, char** argv) {
    constexpr const char* usage =
        "usage: tq50r-skin-sheet OUT.png\n"
        "Renders every skin picture, faders with their dB scale and the spin button into one\n"
        "contact sheet.\n"
        "  --help   this text\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "tq50r-skin-sheet: %s\n%s",
                     argc != 2 ? "wrong number of arguments" : "unknown option", usage);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setPalette(theme::darkPalette());

    QPixmap sheet(SheetWidthPx, SheetHeightPx);
    sheet.fill(theme::color(theme::WindowRgb));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::TextAntialiasing);
    int y = drawLists(painter, MarginPx);

    caption(painter, MarginPx, y, QStringLiteral("Faders -12, -6, 0, 7, 12, off"));
    y += CaptionHeightPx;
    int x = NameColumnPx;
    const int positions[] = {-12, -6, 0, 7, 12};
    for (const int position : positions) {
        painter.drawPixmap(x, y, faderPicture(position, true));
        x += FaderScale::DefaultWidthPx + CellGapPx;
    }
    painter.drawPixmap(x, y, faderPicture(0, false));
    x += FaderScale::DefaultWidthPx + 2 * CellGapPx;
    const QPixmap zoomed = faderPicture(3, true);
    painter.drawPixmap(
        x, y, zoomed.scaled(zoomed.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    x += zoomed.width() * 2 + 2 * CellGapPx;

    caption(painter, x, y, QStringLiteral("Spin: plain, up held, down held, focus, disabled"));
    int sx = x;
    for (int state = 0; state < 5; ++state) {
        const QPixmap spin = spinPicture(state);
        painter.drawPixmap(
            sx, y + 20,
            spin.scaled(spin.size() * Zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        sx += spin.width() * Zoom + CellGapPx;
    }
    y += FaderGeometry::DefaultHeightPx * 2 + RowGapPx;

    caption(painter, MarginPx, y, QStringLiteral("Bars"));
    painter.drawPixmap(NameColumnPx, y, topBarBackground(QSize(849, 33)));
    painter.drawPixmap(NameColumnPx + 160, y + 8, skinPicture(ImageList::ConnFlagList, 0));
    y += 33 + RowGapPx;
    painter.drawPixmap(NameColumnPx, y, panelBackground(QSize(505, 60)));
    painter.end();

    if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
