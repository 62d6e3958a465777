#include "widgets/icon_on_demand.h"

#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

namespace tq50r::widgets {
namespace {

QIcon redSquares() {
    QIcon icon;
    for (const int side : {16, 32}) {
        QPixmap picture(side, side);
        picture.fill(Qt::red);
        icon.addPixmap(picture);
    }
    return icon;
}

// Nothing is read until a picture or a size is asked for; then once, and the answers are the
// read icon's.
TEST(IconOnDemand, ReadsOnceWhenFirstAskedAndAnswersAsTheReadIcon) {
    int reads = 0;
    const QIcon icon(new IconOnDemand(
        [&] {
            ++reads;
            return redSquares();
        },
        false));
    EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(icon.availableSizes(), redSquares().availableSizes());
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(icon.actualSize(QSize(64, 64)), QSize(32, 32));
    const QImage picture = icon.pixmap(QSize(16, 16)).toImage();
    ASSERT_EQ(picture.size(), QSize(16, 16));
    EXPECT_EQ(picture.pixel(8, 8), QColor(Qt::red).rgb());
    EXPECT_EQ(reads, 1);
}

TEST(IconOnDemand, AnIconWithNothingToReadIsNull) {
    int reads = 0;
    const QIcon none(new IconOnDemand(
        [&] {
            ++reads;
            return QIcon();
        },
        true));
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(reads, 0);
    // A copy that is changed gets an engine of its own, which reads for itself.
    QIcon copy(new IconOnDemand(redSquares, false));
    QIcon changed = copy;
    changed.addPixmap(QPixmap(8, 8));
    EXPECT_FALSE(copy.pixmap(QSize(16, 16)).isNull());
    EXPECT_FALSE(changed.availableSizes().isEmpty());
}

} // namespace
} // namespace tq50r::widgets
