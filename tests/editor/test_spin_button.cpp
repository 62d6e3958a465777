#include "editor/spin_button.h"
#include "support/manual_clock.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using tq50r::editor::SpinLayout;
using tq50r::editor::TCSpinButton;
using tq50r::testing::ManualClock;
using Ms = std::chrono::milliseconds;

namespace {

constexpr QPoint UpPoint(8, 4);
constexpr QPoint DownPoint(8, 20);
constexpr QPoint OutsidePoint(8, 60);

// A spin button the size the editor uses on a clock of its own, with counters on both events.
struct Spin {
    ManualClock clock;
    QWidget window;
    TCSpinButton* spin = new TCSpinButton(&window, &clock);
    QSignalSpy ups{spin, &TCSpinButton::OnUpClick};
    QSignalSpy downs{spin, &TCSpinButton::OnDownClick};

    Spin() {
        window.resize(60, 80);
        spin->setGeometry(0, 0, 17, 25);
    }
    void moveTo(QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), spin->mapToGlobal(QPointF(pos)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(spin, &move);
    }
    void hold(int heldMs) { clock.advance(Ms(heldMs)); }
};

} // namespace

TEST(SpinLayout, SplitsTheHeightWithAOnePixelOverlap) {
    struct Case {
        int w, h;
        int expectedWidth;
        QRect up, down;
    };
    const Case cases[] = {
        {17, 25, 17, QRect(0, 0, 17, 12), QRect(0, 11, 17, 14)},
        {10, 25, 15, QRect(0, 0, 15, 12), QRect(0, 11, 15, 14)},
        {20, 24, 20, QRect(0, 0, 20, 12), QRect(0, 11, 20, 13)},
        {20, 1, 20, QRect(0, 0, 20, 0), QRect(0, 0, 20, 2)},
    };
    for (const Case& c : cases) {
        const SpinLayout l = SpinLayout::forSize(c.w, c.h);
        EXPECT_EQ(l.widthPx, c.expectedWidth) << c.w << "x" << c.h;
        EXPECT_EQ(l.up, c.up) << c.w << "x" << c.h;
        EXPECT_EQ(l.down, c.down) << c.w << "x" << c.h;
    }
}

TEST(SpinButton, NewButtonsAre20By25AndNeverNarrowerThan15) {
    TCSpinButton spin;
    EXPECT_EQ(spin.size(), QSize(20, 25));
    spin.resize(10, 25);
    EXPECT_EQ(spin.width(), 15);
    EXPECT_EQ(spin.layoutModel().up.width(), 15);
    spin.resize(17, 31);
    EXPECT_EQ(spin.layoutModel().down, QRect(0, 14, 17, 17));
}

TEST(SpinButton, HoldingRepeatsAfter400MsThenEvery100Ms) {
    // Held time -> events while held (the release over the button adds one).
    struct Case {
        int heldMs;
        int repeats;
    };
    const Case cases[] = {{0, 0},   {399, 0}, {400, 1},  {450, 1},
                          {499, 1}, {500, 2}, {1000, 7}, {2350, 20}};
    for (const Case& c : cases) {
        Spin s;
        QTest::mousePress(s.spin, Qt::LeftButton, {}, UpPoint);
        s.hold(c.heldMs);
        EXPECT_EQ(s.ups.count(), c.repeats) << c.heldMs;
        QTest::mouseRelease(s.spin, Qt::LeftButton, {}, UpPoint);
        EXPECT_EQ(s.ups.count(), c.repeats + 1) << c.heldMs;
        EXPECT_EQ(s.downs.count(), 0);
        EXPECT_FALSE(s.spin->isRepeatTimerActive());
    }
}

TEST(SpinButton, ReleaseAwayFromTheButtonGivesNoClick) {
    struct Case {
        int heldMs;
        QPoint release;
        int expectedUps;
    };
    const Case cases[] = {
        {250, OutsidePoint, 0},
        {450, OutsidePoint, 1},
        {250, DownPoint, 0}, // over the other button counts as away
    };
    for (const Case& c : cases) {
        Spin s;
        QTest::mousePress(s.spin, Qt::LeftButton, {}, UpPoint);
        s.hold(c.heldMs);
        s.moveTo(c.release);
        QTest::mouseRelease(s.spin, Qt::LeftButton, {}, c.release);
        EXPECT_EQ(s.ups.count(), c.expectedUps) << c.heldMs;
        EXPECT_EQ(s.downs.count(), 0) << c.heldMs;
    }
}

TEST(SpinButton, RepeatsPauseWhileThePointerIsOffTheButton) {
    Spin s;
    QTest::mousePress(s.spin, Qt::LeftButton, {}, DownPoint);
    EXPECT_EQ(s.spin->heldButton(), TCSpinButton::Button::Down);
    s.hold(450); // the repeat at 400 ms
    s.moveTo(OutsidePoint);
    EXPECT_FALSE(s.spin->isHeldButtonDown());
    s.hold(200); // 500 and 600 ms, off the button
    EXPECT_EQ(s.downs.count(), 1);
    s.moveTo(DownPoint);
    s.hold(100); // 700 ms, back on it
    EXPECT_EQ(s.downs.count(), 2);
    QTest::mouseRelease(s.spin, Qt::LeftButton, {}, DownPoint);
    EXPECT_EQ(s.downs.count(), 3);
    EXPECT_EQ(s.ups.count(), 0);
}

TEST(SpinButton, TheSharedRowBelongsToTheDownButton) {
    Spin s;
    QTest::mouseClick(s.spin, Qt::LeftButton, {}, QPoint(8, 11));
    EXPECT_EQ(s.downs.count(), 1);
    QTest::mouseClick(s.spin, Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_EQ(s.ups.count(), 1);
}

TEST(SpinButton, LosingThePressStopsTheRepeat) {
    for (const bool hide : {true, false}) {
        Spin s;
        s.window.show();
        QTest::mousePress(s.spin, Qt::LeftButton, {}, UpPoint);
        if (hide) {
            s.spin->hide();
        } else {
            s.spin->setEnabled(false);
        }
        EXPECT_FALSE(s.spin->isRepeatTimerActive());
        s.hold(1000);
        QTest::mouseRelease(s.spin, Qt::LeftButton, {}, UpPoint);
        EXPECT_EQ(s.ups.count(), 0) << hide;
    }
}

TEST(SpinButton, OtherMouseButtonsDoNothing) {
    Spin s;
    QTest::mouseClick(s.spin, Qt::RightButton, {}, UpPoint);
    QTest::mouseClick(s.spin, Qt::MiddleButton, {}, DownPoint);
    EXPECT_FALSE(s.spin->isRepeatTimerActive());
    EXPECT_EQ(s.ups.count() + s.downs.count(), 0);
}

TEST(SpinButton, ArrowKeysAndSpaceClickTheFocusedButton) {
    Spin s;
    EXPECT_EQ(s.spin->focusedButton(), TCSpinButton::Button::Up);
    QTest::keyClick(s.spin, Qt::Key_Space);
    EXPECT_EQ(s.ups.count(), 1);
    QTest::keyClick(s.spin, Qt::Key_Down);
    EXPECT_EQ(s.downs.count(), 1);
    EXPECT_EQ(s.spin->focusedButton(), TCSpinButton::Button::Down);
    QTest::keyClick(s.spin, Qt::Key_Space);
    EXPECT_EQ(s.downs.count(), 2);
    QTest::keyClick(s.spin, Qt::Key_Up);
    QTest::keyClick(s.spin, Qt::Key_Left); // not a spin key
    EXPECT_EQ(s.ups.count(), 2);
    EXPECT_EQ(s.downs.count(), 2);
}

TEST(SpinButton, APressFocusesTheFocusControlOrTheButtonItself) {
    Spin s;
    auto* edit = new QLineEdit(&s.window);
    edit->move(20, 0);
    s.window.show();
    s.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.window, 2000));

    QTest::mouseClick(s.spin, Qt::LeftButton, {}, DownPoint);
    EXPECT_TRUE(s.spin->hasFocus());
    EXPECT_EQ(s.spin->focusedButton(), TCSpinButton::Button::Down);

    s.spin->setFocusControl(edit);
    QTest::mouseClick(s.spin, Qt::LeftButton, {}, UpPoint);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(s.spin->focusedButton(), TCSpinButton::Button::Up);

    // A control that cannot take the focus is passed over.
    edit->setEnabled(false);
    s.spin->setFocusPolicy(Qt::NoFocus);
    s.window.setFocus();
    QTest::mouseClick(s.spin, Qt::LeftButton, {}, UpPoint);
    EXPECT_FALSE(s.spin->hasFocus());
    EXPECT_EQ(s.ups.count(), 2);
}
