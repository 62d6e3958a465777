#include "devices/ui/device_box_view.h"
#include "devices/ui/device_panel.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace tq50r::devices::ui {
namespace {

struct BoxFixture : ::testing::Test {
    DeviceList list;
    QWidget window;
    QScrollArea* box = new QScrollArea(&window);
    QWidget* content = new QWidget;
    DevicePaintBox* frame = new DevicePaintBox(content);
    QMenu* menu = new QMenu(&window);
    QLabel* count = new QLabel(&window);
    std::unique_ptr<DeviceBoxView> view;

    BoxFixture() {
        box->setGeometry(0, 0, tile::BoxWidth, 625);
        content->setFixedWidth(tile::BoxWidth - 2);
        box->setWidget(content);
        frame->hide();
        view = std::make_unique<DeviceBoxView>(list, box, content, frame, menu, count);
        window.resize(200, 640);
        window.show();
    }

    void add(const QString& key, std::int32_t kind = KindNetwork) {
        ASSERT_TRUE(list.addDevice(key, UnknownMac, kind));
        list.DeviceTimerTimer();
    }
};

TEST_F(BoxFixture, TilesFollowTheListAndTheFrameFollowsTheConnectedTile) {
    add(QStringLiteral("127.0.0.2"));
    add(QStringLiteral("/dev/pts/3"), KindUsb);
    add(QStringLiteral("127.0.0.4"), KindModule);
    ASSERT_EQ(view->tileCount(), 3);
    EXPECT_EQ(view->tileAt(0)->geometry(), QRect(7, 10, 150, 81));
    EXPECT_EQ(view->tileAt(1)->pos(), QPoint(7, 101));
    EXPECT_EQ(view->tileAt(2)->pos(), QPoint(7, 192));
    EXPECT_EQ(view->tileAt(1)->addressCaption->text(), QStringLiteral("Port:"));
    EXPECT_EQ(view->tileAt(1)->IPLabel->text(), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(view->tileAt(2)->MACLabel->text(), QStringLiteral("FF:FF:FF:FF:FF:FF"));
    EXPECT_EQ(count->text(), QStringLiteral("3"));

    list.setConnectedIndex(2);
    list.markConnected(QStringLiteral("Stage left"));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->pos(), QPoint(2, 187));

    list.removeDevice(1);
    ASSERT_EQ(view->tileCount(), 2);
    EXPECT_EQ(view->tileAt(1)->pos(), QPoint(7, 101));
    EXPECT_EQ(view->tileAt(1)->NameLabel->text(), QStringLiteral("Stage left"));
    EXPECT_EQ(view->tileAt(1)->tag(), 1);
    EXPECT_EQ(frame->pos(), QPoint(2, 96));
    EXPECT_EQ(count->text(), QStringLiteral("2"));

    list.removeDevice(1);
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(BoxFixture, PressesOnTheTileOrItsLabelsLowerItAndAClickConnects) {
    add(QStringLiteral("127.0.0.2"));
    add(QStringLiteral("127.0.0.3"));
    TDevicePanel* second = view->tileAt(1);
    QSignalSpy clicks(view.get(), &DeviceBoxView::DevicePanelClick);

    const QPoint onLabel = second->MACLabel->geometry().center();
    QTest::mousePress(second, Qt::LeftButton, {}, onLabel);
    EXPECT_TRUE(second->isLowered());
    EXPECT_EQ(list.pressedIndex(), 1);
    QTest::mouseRelease(second, Qt::LeftButton, {}, onLabel);
    EXPECT_FALSE(second->isLowered());
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].toInt(), 1);

    // The right button picks the target of the tile menu, without a click.
    QTest::mousePress(view->tileAt(0), Qt::RightButton, {}, QPoint(4, 60));
    EXPECT_EQ(list.menuIndex(), 0);
    QTest::mouseRelease(view->tileAt(0), Qt::RightButton, {}, QPoint(4, 60));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(BoxFixture, FiftyDevicesMakeTheBoxScroll) {
    for (int i = 0; i < 50; ++i)
        add(QStringLiteral("127.0.1.%1").arg(i + 2));
    EXPECT_EQ(content->height(), 91 * 50 + 10);
    EXPECT_GT(box->verticalScrollBar()->maximum(), 0);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    EXPECT_EQ(view->tileAt(49)->mapTo(box->viewport(), QPoint(0, 81)).y(),
              box->viewport()->height() - 10);
}

QImage render(QWidget& w) {
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TEST(DevicePaint, RedCrossAndGreenFrameAreDrawnWhereTheyBelong) {
    RedCrossBox cross;
    const QImage c = render(cross);
    const auto red = [&c](int x, int y) { return qRed(c.pixel(x, y)) > 128; };
    EXPECT_TRUE(red(12, 12));                             // centre of both lines
    EXPECT_TRUE(red(9, 9) && red(15, 9));                 // on the lines
    EXPECT_FALSE(red(12, 9) || red(9, 12));               // between them
    EXPECT_TRUE(red(12, 4) && red(4, 12) && red(20, 12)); // the ring
    EXPECT_FALSE(red(1, 1) || red(23, 23));

    DevicePaintBox frame;
    const QImage f = render(frame);
    const auto green = [&f](int x, int y) { return qGreen(f.pixel(x, y)) > 128; };
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(green(i, 40) && green(159 - i, 40) && green(80, i) && green(80, 88 - i)) << i;
    EXPECT_FALSE(green(3, 40) || green(156, 40) || green(80, 85));
}

TEST_F(BoxFixture, TabReachesEveryTileInListOrderAndSpaceConnects) {
    add(QStringLiteral("127.0.0.2"));
    add(QStringLiteral("127.0.0.3"));
    add(QStringLiteral("/dev/pts/3"), KindUsb);
    QSignalSpy clicks(view.get(), &DeviceBoxView::DevicePanelClick);
    QWidget* w = box;
    for (int i = 0; i < 3; ++i) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
        EXPECT_EQ(w, view->tileAt(i)) << i;
    }
    view->tileAt(1)->setFocus();
    QTest::keyClick(view->tileAt(1), Qt::Key_Space);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toInt(), 1);
    EXPECT_EQ(list.pressedIndex(), 1);
    EXPECT_FALSE(view->tileAt(1)->isLowered());
    QTest::keyClick(view->tileAt(1), Qt::Key_A); // other keys do nothing
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
} // namespace tq50r::devices::ui
