#include "editor/fader.h"
#include "editor/fader_scale.h"
#include "editor/skin.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using tq50r::editor::FaderGeometry;
using tq50r::editor::FaderScale;
using tq50r::editor::TPTrackBar;

namespace {

// The scale beside the fader has its ticks at these rows, for the positions -12, -9, ..., 12.
constexpr int TickRows[] = {11, 30, 50, 69, 88, 107, 127, 146, 165};

FaderGeometry editorFader() {
    FaderGeometry g;
    g.min = -12;
    g.max = 12;
    return g;
}

// A fader set up the way the editor uses it.
struct EditorFader {
    TPTrackBar fader;
    EditorFader() {
        fader.setRange(-12, 12);
        fader.setPosition(0);
        fader.SetThumbBitmap(tq50r::editor::faderThumbPicture());
        fader.SetChannelBitmap(tq50r::editor::faderChannelPicture());
    }
    QPoint thumbCentre() const {
        const FaderGeometry g = fader.geometryModel();
        return {g.widthPx / 2, static_cast<int>(g.thumbCentreY(fader.position()))};
    }
};

} // namespace

TEST(FaderGeometry, ThumbLinesUpWithTheScaleTicks) {
    const FaderGeometry g = editorFader();
    for (int i = 0; i < 9; ++i) {
        const int position = -12 + 3 * i;
        EXPECT_EQ(std::lround(g.thumbCentreY(position)), TickRows[i]) << position;
    }
}

TEST(FaderGeometry, RowToPositionRoundTripsAndClamps) {
    const FaderGeometry g = editorFader();
    for (int p = g.min; p <= g.max; ++p) {
        EXPECT_EQ(g.positionAtY(g.thumbCentreY(p)), p);
        // Half a step off still picks the nearest position.
        EXPECT_EQ(g.positionAtY(g.thumbCentreY(p) + 2.0), p);
        EXPECT_EQ(g.positionAtY(g.thumbCentreY(p) - 2.0), p);
    }
    EXPECT_EQ(g.positionAtY(-500.0), -12);
    EXPECT_EQ(g.positionAtY(5000.0), 12);
    EXPECT_EQ(g.thumbCentreY(40), g.thumbCentreY(12));
}

TEST(FaderGeometry, DegenerateRangesAndSizesStayFinite) {
    FaderGeometry flat;
    flat.min = 3;
    flat.max = 3;
    EXPECT_EQ(flat.positionAtY(100.0), 3);
    EXPECT_DOUBLE_EQ(flat.thumbCentreY(3), FaderGeometry::TravelTopPx);
    FaderGeometry tiny = editorFader();
    tiny.heightPx = 5;
    EXPECT_EQ(tiny.positionAtY(3.0), -12);
}

TEST(FaderGeometry, PicturesAreCentredInTheControl) {
    const FaderGeometry g = editorFader();
    EXPECT_EQ(g.channelTopLeft(), QPoint(5, 5));
    EXPECT_EQ(g.thumbRect(-12), QRect(5, 7, 15, 9));
    EXPECT_EQ(g.thumbRect(12).bottom(), 169);
}

TEST(Fader, CreationTakesTheMiddleOfTheDefaultRange) {
    TPTrackBar fader;
    EXPECT_EQ(fader.position(), (fader.min() + fader.max()) / 2);
    EXPECT_EQ(fader.size(), QSize(25, 177));
    EXPECT_TRUE(fader.ThumbBitmap().isNull());
    EXPECT_TRUE(fader.ChannelBitmap().isNull());
}

TEST(Fader, ProgramMadeChangesNotifyOnlyWhenThePositionMoves) {
    struct Case {
        int start;
        int set;
        int expectedPosition;
        int expectedSignals;
    };
    const Case cases[] = {
        {0, 5, 5, 1},     {0, 0, 0, 0},       {0, 15, 12, 1}, {12, 15, 12, 0},
        {0, -40, -12, 1}, {-12, -12, -12, 0}, {3, -3, -3, 1},
    };
    for (const Case& c : cases) {
        EditorFader f;
        f.fader.setPosition(c.start);
        QSignalSpy spy(&f.fader, &TPTrackBar::changed);
        f.fader.setPosition(c.set);
        EXPECT_EQ(f.fader.position(), c.expectedPosition) << c.start << " -> " << c.set;
        ASSERT_EQ(spy.count(), c.expectedSignals) << c.start << " -> " << c.set;
        if (c.expectedSignals == 1) {
            EXPECT_EQ(spy.at(0).at(0).toInt(), c.expectedPosition);
        }
    }
}

TEST(Fader, NarrowingTheRangePullsThePositionInAndReportsIt) {
    EditorFader f;
    f.fader.setPosition(10);
    QSignalSpy spy(&f.fader, &TPTrackBar::changed);
    f.fader.setMax(4);
    EXPECT_EQ(f.fader.position(), 4);
    ASSERT_EQ(spy.count(), 1);
    f.fader.setMin(6); // a minimum above the maximum lifts both
    EXPECT_EQ(f.fader.min(), 6);
    EXPECT_EQ(f.fader.max(), 6);
    EXPECT_EQ(f.fader.position(), 6);
    EXPECT_EQ(spy.count(), 2);
    f.fader.setRange(-12, 12); // widening leaves the position alone
    EXPECT_EQ(spy.count(), 2);
}

TEST(Fader, KeysStepByLineAndPageAndStopAtTheEnds) {
    EditorFader f;
    f.fader.setPageSize(2);
    struct Step {
        Qt::Key key;
        int expected;
    };
    const Step steps[] = {{Qt::Key_Up, -1},      {Qt::Key_Down, 0},     {Qt::Key_PageUp, -2},
                          {Qt::Key_PageDown, 0}, {Qt::Key_Home, -12},   {Qt::Key_Up, -12},
                          {Qt::Key_End, 12},     {Qt::Key_PageDown, 12}};
    QSignalSpy spy(&f.fader, &TPTrackBar::changed);
    int expectedSignals = 0;
    int last = f.fader.position();
    for (const Step& s : steps) {
        QTest::keyClick(&f.fader, s.key);
        EXPECT_EQ(f.fader.position(), s.expected) << s.key;
        expectedSignals += (s.expected != last) ? 1 : 0;
        last = s.expected;
    }
    EXPECT_EQ(spy.count(), expectedSignals);
}

TEST(Fader, WheelMovesOneLinePerNotchAndCollectsSmallDeltas) {
    EditorFader f;
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(12, 80), f.fader.mapToGlobal(QPointF(12, 80)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&f.fader, &event);
    };
    wheel(120); // away from the user: the thumb goes up
    EXPECT_EQ(f.fader.position(), -1);
    wheel(-240);
    EXPECT_EQ(f.fader.position(), 1);
    wheel(60);
    EXPECT_EQ(f.fader.position(), 1);
    wheel(60);
    EXPECT_EQ(f.fader.position(), 0);
}

TEST(Fader, DraggingTheThumbFollowsThePointerInStepsOfOne) {
    EditorFader f;
    QSignalSpy spy(&f.fader, &TPTrackBar::changed);
    const QPoint grip = f.thumbCentre();
    QTest::mousePress(&f.fader, Qt::LeftButton, {}, grip);
    EXPECT_TRUE(f.fader.isDragging());
    const FaderGeometry g = f.fader.geometryModel();
    QMouseEvent move(QEvent::MouseMove, QPointF(grip.x(), g.thumbCentreY(-5)),
                     f.fader.mapToGlobal(QPointF(grip.x(), g.thumbCentreY(-5))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.fader, &move);
    EXPECT_EQ(f.fader.position(), -5);
    QMouseEvent far(QEvent::MouseMove, QPointF(grip.x(), 1000), f.fader.mapToGlobal(QPointF(0, 0)),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.fader, &far);
    EXPECT_EQ(f.fader.position(), 12);
    QTest::mouseRelease(&f.fader, Qt::LeftButton, {}, QPoint(grip.x(), 1000));
    EXPECT_FALSE(f.fader.isDragging());
    EXPECT_EQ(spy.count(), 2);
}

TEST(Fader, PressOnTheChannelMovesOnePageTowardsThePointer) {
    EditorFader f;
    f.fader.setPageSize(2);
    QTest::mouseClick(&f.fader, Qt::LeftButton, {}, QPoint(12, 170));
    EXPECT_EQ(f.fader.position(), 2);
    EXPECT_FALSE(f.fader.isDragging());
    QTest::mouseClick(&f.fader, Qt::LeftButton, {}, QPoint(12, 10));
    EXPECT_EQ(f.fader.position(), 0);
    // Other buttons only report the press.
    QSignalSpy downs(&f.fader, &TPTrackBar::mouseDown);
    QTest::mouseClick(&f.fader, Qt::RightButton, {}, QPoint(12, 170));
    EXPECT_EQ(f.fader.position(), 0);
    EXPECT_EQ(downs.count(), 1);
}

// Held on the channel, the fader pages on like an ordinary slider until the thumb is under the
// pointer; the whole hold is one user gesture.
TEST(Fader, HoldingTheChannelRepeatsUntilTheThumbReachesThePointer) {
    EditorFader f;
    f.fader.setPageSize(2);
    QSignalSpy started(&f.fader, &TPTrackBar::editStarted);
    QSignalSpy finished(&f.fader, &TPTrackBar::editFinished);
    QSignalSpy user(&f.fader, &TPTrackBar::userChanged);
    const QPoint held(12, static_cast<int>(f.fader.geometryModel().thumbCentreY(9)));
    QTest::mousePress(&f.fader, Qt::LeftButton, {}, held);
    EXPECT_EQ(f.fader.position(), 2);
    ASSERT_TRUE(f.fader.isRepeating());
    for (int tick = 0; tick < 10; ++tick) {
        f.fader.RepeatTimerTimer();
    }
    EXPECT_EQ(f.fader.position(), 9); // pages of 2, the last one shortened to stop at the pointer
    EXPECT_EQ(user.count(), 5);
    QTest::mouseRelease(&f.fader, Qt::LeftButton, {}, held);
    EXPECT_FALSE(f.fader.isRepeating());
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(finished.count(), 1);
    QTest::keyClick(&f.fader, Qt::Key_Up); // one key step is one gesture of its own
    EXPECT_EQ(finished.count(), 2);
}

TEST(Fader, DrawsThumbAtItsPositionAndNothingWithoutPictures) {
    EditorFader f;
    f.fader.setPosition(-12);
    const QImage top = f.fader.grab().toImage();
    f.fader.setPosition(12);
    const QImage bottom = f.fader.grab().toImage();
    const FaderGeometry g = f.fader.geometryModel();
    // The thumb's middle row is its dark index line.
    const int topRow = static_cast<int>(std::lround(g.thumbCentreY(-12)));
    const int bottomRow = static_cast<int>(std::lround(g.thumbCentreY(12)));
    constexpr int beside = 7; // on the thumb, left of the channel's slot
    EXPECT_NE(top.pixel(beside, topRow), bottom.pixel(beside, topRow));
    EXPECT_NE(top.pixel(beside, bottomRow), bottom.pixel(beside, bottomRow));
    EXPECT_EQ(top.pixel(beside, topRow), bottom.pixel(beside, bottomRow));

    TPTrackBar empty;
    empty.setRange(-12, 12);
    empty.SetThumbBitmap(QPixmap());
    QSignalSpy spy(&empty, &TPTrackBar::changed);
    empty.setPosition(4);
    EXPECT_FALSE(empty.grab().isNull());
    EXPECT_EQ(spy.count(), 1);
}

TEST(Fader, PicturesAreCopiedOnSet) {
    QPixmap source(15, 9);
    source.fill(Qt::red);
    TPTrackBar fader;
    fader.SetThumbBitmap(source);
    source.fill(Qt::blue);
    EXPECT_EQ(fader.ThumbBitmap().toImage().pixelColor(0, 0), QColor(Qt::red));
}

TEST(FaderScale, TicksAndLabelsSitInTheirRows) {
    QImage image(65, 169, QImage::Format_RGB32);
    QPainter painter(&image);
    FaderScale::PaintBox2Paint(painter, image.size());
    painter.end();
    const QColor background = tq50r::editor::theme::color(tq50r::editor::theme::PanelRgb);
    for (const int row : TickRows) {
        EXPECT_NE(image.pixelColor(24, row), background) << row;
        EXPECT_EQ(image.pixelColor(24, row + 2), background) << row;
        EXPECT_EQ(image.pixelColor(40, row), background) << row;
    }
    // Some label ink left of every tick.
    for (const int row : {11, 88, 165}) {
        bool ink = false;
        for (int y = row - 5; y <= row + 5 && !ink; ++y) {
            for (int x = 0; x < 20 && !ink; ++x) {
                ink = image.pixelColor(x, y) != background;
            }
        }
        EXPECT_TRUE(ink) << row;
    }
}
